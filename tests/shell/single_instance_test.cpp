// One calculator per user and display: a second start on the same display brings the
// first to the front, says so and ends; one on another display runs its own window;
// the first ends cleanly on SIGTERM and keeps the calculator's state.
#include "shell/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "shell_support.h"

namespace vantrel::test {
namespace {

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        program = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/shell/vantrel");
        if (!QFileInfo(program).isExecutable()) GTEST_SKIP() << "vantrel not built";
        ASSERT_TRUE(dir.isValid());
        rom = writeTestRom(dir);
        // An empty settings file in the working folder keeps the run away from the
        // one beside the program.
        QFile ini(dir.filePath(QStringLiteral("Vantrel.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.close();
    }

    void prepare(QProcess& process, const QString& display = QStringLiteral(":7.0")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), display);
        // The instance socket lives in the temporary folder: this test's alone.
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.setProgram(program);
        process.setArguments({QStringLiteral("--rom=") + rom,
                              QStringLiteral("/ram:") + dir.filePath(QStringLiteral("state.bin"))});
    }

    QString socketPath(const QString& display = QStringLiteral("7")) const {
        return dir.filePath(QStringLiteral("VantrelCalculator-%1-x11-%2")
                                .arg(static_cast<qulonglong>(::getuid()))
                                .arg(display));
    }

    void startListening(QProcess& process, const QString& display, const QString& key) {
        prepare(process, display);
        process.start();
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(waitUntil([&] {
            return QFileInfo::exists(socketPath(key)) || process.state() == QProcess::NotRunning;
        })) << "the instance never listened";
        ASSERT_EQ(process.state(), QProcess::Running)
            << process.readAllStandardError().toStdString();
    }

    QTemporaryDir dir;
    QString program;
    QString rom;
};

TEST_F(SingleInstance, SecondStartEndsAtOnceAndTheFirstSurvivesUntilSigterm) {
    QProcess first;
    startListening(first, QStringLiteral(":7.0"), QStringLiteral("7"));
    if (HasFatalFailure()) return;

    QProcess second;
    prepare(second);
    second.start();
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    // One line tells the caller where the start went, and what it did not apply.
    const QStringList said = QString::fromLocal8Bit(second.readAllStandardError())
                                 .split('\n', Qt::SkipEmptyParts)
                                 .filter(QRegularExpression(QStringLiteral("^vantrel: ")));
    ASSERT_EQ(said.size(), 1) << said.join('|').toStdString();
    EXPECT_TRUE(said[0].startsWith("vantrel: Vantrel already runs on this display"))
        << said[0].toStdString();
    EXPECT_TRUE(said[0].endsWith("(--rom and --ram were not applied)")) << said[0].toStdString();

    // SIGTERM: no questions; with "ShowDialog" and the calculator on, the state is kept.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("state.bin"))).size(), 32800);
}

TEST_F(SingleInstance, AStartOnAnotherDisplayRunsItsOwnWindow) {
    QProcess first;
    startListening(first, QStringLiteral(":7"), QStringLiteral("7"));
    if (HasFatalFailure()) return;
    QProcess second;
    startListening(second, QStringLiteral(":8"), QStringLiteral("8"));
    if (HasFatalFailure()) return;
    EXPECT_EQ(first.state(), QProcess::Running);
    for (QProcess* process : {&second, &first}) {
        process->terminate();
        EXPECT_TRUE(process->waitForFinished(15000));
    }
}

// A running instance that is stopped (SIGSTOP) still takes the connection but never
// answers: the second start says so and runs a window of its own, which finds the state
// file in use, asks whether to run without saving, and never writes it.
TEST_F(SingleInstance, AStoppedFirstIsNotTakenForOneThatCameToTheFront) {
    QProcess first;
    startListening(first, QStringLiteral(":7.0"), QStringLiteral("7"));
    if (HasFatalFailure()) return;
    // Stopped once it has its state file.
    const QString stateSocket =
        dir.filePath(stateServerName(dir.filePath(QStringLiteral("state.bin")).toStdString()));
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(stateSocket); }));
    ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);

    QProcess second;
    prepare(second);
    second.start();
    QString said;
    EXPECT_TRUE(waitUntil(
        [&] {
            said += QString::fromLocal8Bit(second.readAllStandardError());
            return said.contains(QStringLiteral("does not answer")) ||
                   second.state() == QProcess::NotRunning;
        },
        15000));
    EXPECT_EQ(second.state(), QProcess::Running) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral(
        "vantrel: the running Vantrel on this display does not answer; this start runs a "
        "window of its own")))
        << said.toStdString();
    QThread::msleep(2500);  // the state file's holder does not answer either: the question
    second.terminate();
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("state.bin"))));

    ::kill(static_cast<pid_t>(first.processId()), SIGCONT);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("state.bin"))).size(), 32800);
}

// The demo allows a window beside the user's own, but a second demo would share the
// first's state file: it brings the first to the front instead.
TEST_F(SingleInstance, ASecondDemoHandsOverToTheFirst) {
    const QString data = dir.filePath(QStringLiteral("data"));
    const std::string state = data.toStdString() + "/vantrel/demo/TI85Stat.bin";
    auto demo = [&](QProcess& process) {
        prepare(process);
        QProcessEnvironment env = process.processEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        process.setProcessEnvironment(env);
        process.setArguments({QStringLiteral("--demo")});
        process.start();
        ASSERT_TRUE(process.waitForStarted());
    };
    QProcess first;
    ASSERT_NO_FATAL_FAILURE(demo(first));
    const QString socket = dir.filePath(stateServerName(state));
    ASSERT_TRUE(waitUntil([&] {
        return QFileInfo::exists(socket) || first.state() == QProcess::NotRunning;
    })) << "the demo never answered for its state file";
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    QProcess second;
    ASSERT_NO_FATAL_FAILURE(demo(second));
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_TRUE(
        said.contains(QStringLiteral("vantrel: the Vantrel window that has the state file ") +
                      QString::fromStdString(state) + QStringLiteral(" was brought to the front")))
        << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(15000));
}

// Starts of the program as a user makes them, on the same fixture.
using ProgramStart = SingleInstance;

TEST_F(ProgramStart, HelpAndVersionNeedNoDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProgram(program);
    for (const char* option : {"--help", "--version"}) {
        process.setArguments({QString::fromLatin1(option)});
        process.start();
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(process.exitCode(), 0) << option;
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        EXPECT_TRUE(
            out.startsWith(option == std::string("--help") ? "Usage: vantrel" : "Vantrel 2.0"))
            << option;
    }
}

TEST_F(ProgramStart, PathsThatDoNotWorkAreNotKeptForTheNextStart) {
    const QString ini = dir.filePath(QStringLiteral("Vantrel.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("[Directories]\nROMFile=" + rom + "\nRAMFile=" + dir.filePath("state.bin") + "\n")
                   .toUtf8());
    file.close();
    QFile romFile(rom);
    ASSERT_TRUE(romFile.open(QIODevice::ReadOnly));
    const QByteArray romBytes = romFile.readAll();
    romFile.close();
    ASSERT_TRUE(QFile::link(rom, dir.filePath(QStringLiteral("rom-link.bin"))));

    // Each start waits in its message box ("Loading romfile failed.", then the state
    // file that is the ROM image) until SIGTERM ends it the way a logout does.
    const QStringList starts[] = {
        {QStringLiteral("--rom=") + dir.filePath(QStringLiteral("missing.bin"))},
        {QStringLiteral("--rom=") + rom,
         QStringLiteral("--ram=") + dir.filePath(QStringLiteral("rom-link.bin"))},
    };
    for (const QStringList& arguments : starts) {
        QProcess process;
        prepare(process);
        process.setArguments(arguments);
        process.start();
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(socketPath()); }));
        QThread::msleep(500);  // the window and its message box come up
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitCode(), 0) << arguments.join(' ').toStdString();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString kept = QString::fromUtf8(file.readAll());
        file.close();
        EXPECT_TRUE(kept.contains("ROMFile=" + rom + "\n")) << kept.toStdString();
        EXPECT_TRUE(kept.contains("RAMFile=" + dir.filePath("state.bin") + "\n"))
            << kept.toStdString();
    }
    // The state was never written over the ROM image.
    ASSERT_TRUE(romFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(romFile.readAll(), romBytes);
}

}  // namespace
}  // namespace vantrel::test
