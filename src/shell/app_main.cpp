#include "shell/app_main.h"

#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "session/calculator/calculator.h"
#include "session/calculator/end_signals.h"
#include "session/calculator/messages.h"
#include "session/settings/command_line.h"
#include "session/settings/demo_firmware.h"
#include "session/settings/settings.h"
#include "session/settings/user_dirs.h"
#include "shell/exit_dialog.h"
#include "shell/icons.h"
#include "shell/main_window.h"
#include "shell/single_instance.h"
#include "shell/state_file_prompts.h"

namespace vantrel {

namespace {

constexpr int uploadStartDelayMs = 250;
// How long a start waits for the running instance's answer.
constexpr int handOverWaitMs = 2000;

void printLines(std::FILE* to, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fprintf(to, "vantrel: %s\n", line.c_str());
}

// What a start that handed over to the running window tells its caller.
std::string handOverLine(const CommandLine& line, const QString& uploadPath) {
    std::string text =
        "vantrel: Vantrel already runs on this display; its window was brought to the front";
    if (!uploadPath.isEmpty()) text += " and takes the upload of " + uploadPath.toStdString();
    if (line.romPath && line.ramPath)
        text += " (--rom and --ram were not applied)";
    else if (line.romPath)
        text += " (--rom was not applied)";
    else if (line.ramPath)
        text += " (--ram was not applied)";
    return text + "\n";
}

// The start's answer to a state path that names the ROM image: the calculator runs
// without a state file, and nothing is ever written there.
void tellStateFileIsRomImage(const std::string& ramPath) {
    QMessageBox::warning(
        nullptr, titleText(),
        QStringLiteral("The state file \"%1\" is the ROM image.\n"
                       "The calculator starts without a state file, and its state is not "
                       "saved there. Choose another state file in Preferences (F8).")
            .arg(QString::fromStdString(ramPath)));
}

}  // namespace

int appMain(int argc, char** argv) {
    // Answered before the toolkit starts, so that they work without a display.
    {
        const CommandLine early = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (early.help) {
            std::fputs(usageText().c_str(), stdout);
            return 0;
        }
        if (early.version) {
            std::puts(programTitle().c_str());
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(programName));
    QApplication::setApplicationVersion(QString::fromLatin1(programVersion));
    QApplication::setWindowIcon(appIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    std::vector<std::string> args;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    const CommandLine line = parseCommandLine(args);
    printLines(stderr, line.warnings);
    if (!line.errors.empty()) {
        printLines(stderr, line.errors);
        std::fputs("Try 'vantrel --help'.\n", stderr);
        return 2;
    }

    const std::string programDir = programDirectory(argv[0]);
    Settings settings;
    if (line.demo) {
        // The demo's own settings: the user's are neither read nor written.
        auto demo = prepareDemo(findDemoFirmware(programDir));
        if (!demo) {
            std::fprintf(stderr, "vantrel: the demo cannot start. %s\n",
                         demo.failure().reason.c_str());
            return 1;
        }
        settings = std::move(*demo);
    } else {
        (void)readSettings(settings, programDir);  // without a file, every default
    }
    const Settings stored = settings;
    applyCommandLine(line, settings);
    // A ROM image named on the command line is tried, and told about, even where the
    // demo would start in its place.
    if (line.romPath) settings.startDemo = false;

    // Another process may take the file over: it needs a name that does not depend on
    // this process's current directory.
    const QString uploadPath =
        line.uploadPath ? QFileInfo(QString::fromStdString(*line.uploadPath)).absoluteFilePath()
                        : QString();
    const QString serverName = instanceServerName();
    // The demo runs beside the user's own calculator: it neither hands over nor answers.
    if (!settings.allowMultipleInstances && !line.demo) {
        const HandOver handOver = askRunningInstanceToRaise(serverName, handOverWaitMs, uploadPath);
        if (handOver == HandOver::raised) {
            std::fputs(handOverLine(line, uploadPath).c_str(), stderr);
            return 0;
        }
        // A stopped or hung one keeps its state file, which this start then finds in
        // use: the user is asked there, and nothing is written over.
        if (handOver == HandOver::noAnswer)
            std::fputs(
                "vantrel: the running Vantrel on this display does not answer; this start "
                "runs a window of its own\n",
                stderr);
    }
    InstanceServer instanceServer(serverName);
    if (!line.demo) instanceServer.listen();

    MainWindow window(settings);
    window.placeOnScreen();
    // A later start that hands over to this window: it comes to the front and takes the
    // upload (queued, so that the other process gets its answer before the upload
    // blocks this thread).
    auto answerLaterStarts = [&window](InstanceServer& server) {
        QObject::connect(&server, &InstanceServer::raiseRequested, &window,
                         &MainWindow::bringToFront);
        QObject::connect(
            &server, &InstanceServer::uploadRequested, &window,
            [&window](const QString& path) { window.uploadGivenFile(path.toStdString()); },
            Qt::QueuedConnection);
    };
    answerLaterStarts(instanceServer);
    QObject::connect(&window, &MainWindow::windowGone, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&window, &MainWindow::demoStarted, &instanceServer, &InstanceServer::close);
    // Back on the user's own calculator, the window answers later starts again.
    QObject::connect(&window, &MainWindow::demoEnded, &instanceServer, [&] {
        if (!settings.allowMultipleInstances) instanceServer.listen();
    });

    // A termination request or a closed terminal closes the window as Kill does;
    // without them caught, they end the program as they always would.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (catchEndSignals({SIGTERM, SIGINT, SIGHUP})) {
        signalNotifier =
            std::make_unique<QSocketNotifier>(endSignalDescriptor(), QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&window] {
            char byte;
            [[maybe_unused]] const auto got = ::read(endSignalDescriptor(), &byte, 1);
            window.closeWithoutDialogs();
        });
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         if (manager.allowsInteraction()) {
                             const bool gone = window.closeMainWindow();
                             manager.release();
                             if (!gone) manager.cancel();
                         } else {
                             window.closeWithoutDialogs();
                         }
                     });

    if (line.demo) {
        if (const Result<> ran = window.runDemo(settings); !ran) {
            std::fprintf(stderr, "vantrel: the demo cannot start. %s\n",
                         oneLine(ran.failure().reason).c_str());
            return 1;
        }
    } else {
        window.startEmulation();
    }
    if (window.romMissing()) {
        if (line.grabPath) {
            std::fprintf(stderr, "vantrel: %s\n",
                         romProblemLines(window.romLoad(), window.romLookedAt(), " ").c_str());
            return 1;
        }
        // Quit there, or a signal meanwhile, ends the run with nothing chosen to keep.
        window.show();
        if (!window.offerFirstRun()) return 0;
    }
    Calculator& calculator = window.calculator();
    // A state file that another running Vantrel has: that window takes the start over,
    // or this one runs without saving, or ends.
    InstanceServer stateServer(stateServerName(calculator.claimedStateFile()));
    answerLaterStarts(stateServer);
    if (calculator.stateFileInUse() && !window.closed()) {
        const std::string ram = calculator.ramPath();
        // The demo's own allowance is for running beside the user's calculator.
        const bool handOver = !settings.allowMultipleInstances || window.runningDemo();
        if (handOver && askRunningInstanceToRaise(stateServerName(calculator.stateFileIdentity()),
                                                  handOverWaitMs, uploadPath) == HandOver::raised) {
            std::string said = "vantrel: the Vantrel window that has the state file " + ram +
                               " was brought to the front";
            if (!uploadPath.isEmpty())
                said += " and takes the upload of " + uploadPath.toStdString();
            std::fputs((said + "\n").c_str(), stderr);
            return 0;
        }
        if (!askRunWithoutSaving(window.isVisible() ? &window : nullptr, calculator)) return 0;
        window.setWindowTitle(window.windowTitle() + QStringLiteral(" (without saving)"));
    } else if (!calculator.claimedStateFile().empty()) {
        stateServer.listen();
    }
    const bool stateRefused = calculator.stateFileIsRomImage();
    if (stateRefused && !window.closed()) tellStateFileIsRomImage(calculator.ramPath());
    if (calculator.stateLoad().notAStateFile() && !window.closed())
        tellNotAStateFile(window.isVisible() ? &window : nullptr, calculator);
    // Paths from the command line that did not work are not kept for the next start
    // (unless the user has chosen them again meanwhile, or chose to replace the file).
    bool settingsWritten = false;
    auto writeWorkingSettings = [&] {
        settingsWritten = true;
        Settings kept = settings;
        const bool unused = stateRefused || calculator.stateFileKept();
        if (!window.runningDemo() && line.ramPath && unused &&
            kept.ramPath == absoluteFromHere(*line.ramPath))
            kept.ramPath = stored.ramPath;
        return writeSettings(kept);
    };
    // Written while the window is still there to say that they could not be.
    QObject::connect(&window, &MainWindow::closing, &window, [&] {
        if (const Result<> written = writeWorkingSettings(); !written)
            tellSettingsNotSaved(&window, settings.iniPath, written.failure().reason);
    });
    // Otherwise (a signal, Kill) once it has gone; a failure is told on the terminal.
    auto writeSettingsAtEnd = [&] {
        if (settingsWritten) return;
        if (const Result<> written = writeWorkingSettings(); !written)
            std::fprintf(stderr, "vantrel: the settings could not be saved to %s: %s\n",
                         settings.iniPath.c_str(), written.failure().reason.c_str());
    };
    if (window.closed()) {
        writeSettingsAtEnd();
        return 0;
    }

    window.show();
    if (line.grabPath) {
        const QString path = QString::fromStdString(*line.grabPath);
        QTimer::singleShot(1500, &window, [&window, path] {
            const bool saved = window.grab().save(path, "PNG");
            if (!saved)
                std::fprintf(stderr, "vantrel: cannot write %s\n", path.toLocal8Bit().constData());
            window.kill();
        });
        QApplication::exec();
        return 0;  // a picture run leaves the settings file alone
    }
    if (!uploadPath.isEmpty()) {
        // Once the calculator has run a few ticks from its restored state.
        QTimer::singleShot(uploadStartDelayMs, &window, [&window, uploadPath] {
            window.uploadGivenFile(uploadPath.toStdString());
        });
    }
    const int code = QApplication::exec();
    writeSettingsAtEnd();
    return code;
}

}  // namespace vantrel
