// The start without a usable ROM image: the system's message, the file it looked at
// and what is wrong with it, and the ways on: "Choose ROM...", "Start the demo" (with
// "Start the demo next time too") and "Quit".
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "session/calculator/machine_files.h"
#include "text/failure.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace vantrel {

// The dialog's results.
enum class FirstRunChoice { quit = 0, romChosen = 1, demo = 2 };

class FirstRunDialog : public QDialog {
    Q_OBJECT
public:
    // Starts the calculator on a chosen file: nothing when it runs, else what went wrong.
    using TryRom = std::function<std::optional<RomLoadResult>(const std::string& path)>;
    // Starts the demo, remembered for the next starts when nextTimeToo; fails when it
    // does not run.
    using TryDemo = std::function<Result<>(bool nextTimeToo)>;

    // demoAvailable: whether the demo firmware was found.
    FirstRunDialog(QWidget* parent, const std::string& romPath, const RomLoadResult& result,
                   bool demoAvailable, TryRom tryRom, TryDemo tryDemo);

    void showProblem(const std::string& romPath, const RomLoadResult& result);
    void reject() override { done(static_cast<int>(FirstRunChoice::quit)); }

    static FirstRunChoice ask(QWidget* parent, const std::string& romPath,
                              const RomLoadResult& result, bool demoAvailable, TryRom tryRom,
                              TryDemo tryDemo);

private:
    void chooseRom();
    void startDemo();

    std::string romPath_;
    TryRom tryRom_;
    TryDemo tryDemo_;
    QLabel* headline_ = nullptr;
    QLabel* path_ = nullptr;
    QLabel* reason_ = nullptr;
    QCheckBox* demoNextTime_ = nullptr;
};

}  // namespace vantrel
