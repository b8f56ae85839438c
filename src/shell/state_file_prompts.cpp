#include "shell/state_file_prompts.h"

#include <QMessageBox>
#include <QPushButton>

#include "session/calculator/calculator.h"
#include "session/calculator/messages.h"
#include "session/settings/settings.h"

namespace vantrel {

namespace {

QString title() { return QString::fromStdString(programTitle()); }
QString text(const std::string& s) { return QString::fromStdString(s); }

QString notAStateFileLine(const Calculator& calculator) {
    return QStringLiteral("The file \"%1\" is not a state file.\n%2")
        .arg(text(calculator.ramPath()), text(stateFileProblemText(calculator.stateLoad())));
}

}  // namespace

void tellNotAStateFile(QWidget* owner, const Calculator& calculator) {
    QMessageBox::warning(owner, title(),
                         notAStateFileLine(calculator) +
                             QStringLiteral("\nThe calculator starts cold. The file is left as "
                                            "it is; you are asked before it is replaced."));
}

bool askReplaceNotAStateFile(QWidget* owner, Calculator& calculator) {
    QMessageBox box(QMessageBox::Warning, title(),
                    QStringLiteral("Replace \"%1\" with the calculator's state?")
                        .arg(text(calculator.ramPath())),
                    QMessageBox::NoButton, owner);
    box.setInformativeText(notAStateFileLine(calculator) +
                           QStringLiteral("\nWhat it holds now is lost if it is replaced."));
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::DestructiveRole);
    QPushButton* keep = box.addButton(QStringLiteral("&Keep the File"), QMessageBox::RejectRole);
    box.setDefaultButton(keep);
    box.exec();
    if (box.clickedButton() != replace) return false;
    calculator.allowReplacingStateFile();
    return true;
}

bool askRunWithoutSaving(QWidget* owner, const Calculator& calculator) {
    QMessageBox box(QMessageBox::Warning, title(),
                    text(stateFileInUseLine(calculator.ramPath(), calculator.stateFileHolder())),
                    QMessageBox::NoButton, owner);
    box.setInformativeText(
        QStringLiteral("A state file belongs to one running calculator at a time: whichever "
                       "closed last would write over the other's work. This window can run "
                       "on what the file holds without ever saving it."));
    QPushButton* run =
        box.addButton(QStringLiteral("&Run Without Saving"), QMessageBox::AcceptRole);
    QPushButton* quit = box.addButton(QStringLiteral("&Quit"), QMessageBox::RejectRole);
    box.setDefaultButton(quit);
    box.exec();
    return box.clickedButton() == run;
}

void tellStateFileSwitch(QWidget* owner, const Calculator& calculator, Settings& live,
                         const std::string& oldRamSetting) {
    if (calculator.reloadRefused()) {
        const std::string chosen = resolvePath(live, live.ramPath);
        live.ramPath = oldRamSetting;
        QMessageBox::warning(owner, title(),
                             text(stateFileInUseLine(chosen, 0)) +
                                 QStringLiteral("\nThe calculator keeps its state file %1.")
                                     .arg(text(calculator.ramPath())));
    } else if (calculator.stateLoad().notAStateFile()) {
        tellNotAStateFile(owner, calculator);
    }
}

void tellSettingsNotSaved(QWidget* owner, const std::string& iniPath, const std::string& why) {
    QMessageBox::warning(owner, title(),
                         QStringLiteral("The settings could not be saved to \"%1\".\n%2\nThe "
                                        "changes made in this session are lost.")
                             .arg(text(iniPath), text(why)));
}

}  // namespace vantrel
