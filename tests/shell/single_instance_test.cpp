// One calculator per user: a second start brings the first to the front and ends;
// the first ends cleanly on SIGTERM and keeps the calculator's state.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

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

    void prepare(QProcess& process) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The instance socket lives in the temporary folder: this test's alone.
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.setProgram(program);
        process.setArguments({QStringLiteral("--rom=") + rom, QStringLiteral("/ram:") + dir.filePath(QStringLiteral("state.bin"))});
    }

    QString socketPath() const {
        return dir.filePath(QStringLiteral("VantrelCalculator-%1").arg(static_cast<qulonglong>(::getuid())));
    }

    QTemporaryDir dir;
    QString program;
    QString rom;
};

TEST_F(SingleInstance, SecondStartEndsAtOnceAndTheFirstSurvivesUntilSigterm) {
    QProcess first;
    prepare(first);
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(socketPath()) || first.state() == QProcess::NotRunning; }))
        << "the first instance never listened";
    ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();

    QProcess second;
    prepare(second);
    second.start();
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // SIGTERM: no questions; with "ShowDialog" and the calculator on, the state is kept.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("state.bin"))).size(), 32800);
}

}  // namespace
}  // namespace vantrel::test
