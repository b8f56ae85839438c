// What the window says and asks about its state file and its settings file: a file at
// the state path that is no state file, a state file that another running Vantrel has,
// and settings that could not be saved.
#pragma once

#include <string>

class QWidget;

namespace vantrel {

class Calculator;
struct Settings;

// At the start: the file at the state path is no state file; the calculator starts
// cold and the file is kept.
void tellNotAStateFile(QWidget* owner, const Calculator& calculator);

// At closing, before the state is saved over a file that was no state file: true
// (and the calculator allowed to write it) when the user chooses to replace it.
bool askReplaceNotAStateFile(QWidget* owner, Calculator& calculator);

// At the start, when another running Vantrel has the state file and does not take the
// start over: true to run without saving, false to quit.
bool askRunWithoutSaving(QWidget* owner, const Calculator& calculator);

// After Preferences chose another state file: tells what became of it. A file in use
// elsewhere was refused; the setting then goes back to oldRamSetting.
void tellStateFileSwitch(QWidget* owner, const Calculator& calculator, Settings& live,
                         const std::string& oldRamSetting);

// The settings file could not be written; why: the system's reason.
void tellSettingsNotSaved(QWidget* owner, const std::string& iniPath, const std::string& why);

}  // namespace vantrel
