// The Preferences dialog: the pages "Misc", "Colors", "Files" and "Keyboard" over a
// copy of the settings record, and the window's application of an edited copy.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "session/settings/settings.h"

class QScrollArea;
class QTabBar;
class QVBoxLayout;

namespace vantrel {

class Calculator;

using ColourFunction = std::function<void(uint32_t foreground, uint32_t background)>;

// The dialog's results, by the ids of its buttons.
enum class PreferencesAnswer { ok = 1, cancel = 2 };

// A page of the dialog. It reads its fields from the copy when it is made and gives
// them back in store(), called just before it goes away.
class PreferencesPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void store(Settings& copy) const = 0;
};

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { miscPage = 0, colorsPage = 1, filesPage = 2, keyboardPage = 3, machinePage = 4 };

    // romInUse: the ROM image the running calculator was loaded from, if any.
    PreferencesDialog(QWidget* owner, Settings& copy, bool romLoadFailed,
                      ColourFunction testColours, std::string romInUse = {});
    ~PreferencesDialog() override;

    void done(int result) override;

private:
    void showPage(int index);
    static QScrollArea* makePageScroll(QWidget* parent, const Settings& copy);
    // Beside the owner window, clear of the LCD it is testing (placeBesideOwner).
    void placeBesideOwner();
    // False, after telling the user, when the state file is the ROM image.
    bool stateFileAcceptable();

    Settings& copy_;
    std::string romInUse_;
    uint32_t shownForeground_;  // the LCD's colours when the dialog opened
    uint32_t shownBackground_;
    ColourFunction applyColours_;
    ColourFunction testColours_;  // applyColours_, remembering that it was used
    bool tested_ = false;
    QTabBar* tabs_ = nullptr;
    QVBoxLayout* pageArea_ = nullptr;
    QScrollArea* pageScroll_ = nullptr;
    PreferencesPage* page_ = nullptr;
};

// Runs the dialog on the copy: 1 for OK, 2 for Cancel. With romLoadFailed the
// "Files" page comes first and the copy's ROM path is cleared. "&Test" applies the
// colours through testColours at once; Cancel gives the LCD back the copy's colours
// (those it showed) through the same function. OK is refused while the state file
// names the ROM image (the copy's, or romInUse). Relative paths in the copy mean
// its data folder (resolvePath).
PreferencesAnswer runPreferences(QWidget* owner, Settings& copy, bool romLoadFailed,
                                 ColourFunction testColours, const std::string& romInUse = {});

// The message for a state file that names the ROM image.
QString stateFileIsRomText(const std::string& ramPath);

// What OK means for the running program. A changed state-file path loads that file
// into the machine while the emulation thread is held (machine may be null when no
// machine runs); changed colours go to the LCD through applyColours; then the edited
// record replaces the live one. A changed ROM path counts from the next start.
void applyPreferences(Calculator* calculator, Settings& live, const Settings& edited,
                      const ColourFunction& applyColours);

}  // namespace vantrel
