#include "shell_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QPointer>
#include <QTimer>

namespace vantrel::test {

namespace {

// Every window test needs the one application object; it lives for the whole run.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::vector<uint8_t> makeTestRom(const std::vector<uint8_t>& extraProgram) {
    std::vector<uint8_t> rom(0x20000, 0x00);
    const std::vector<uint8_t> start = {
        0xF3,              // DI
        0x31, 0x00, 0xF0,  // LD SP,0xF000
        0x3E, 0x0B,        // LD A,0x0B
        0xD3, 0x03,        // OUT (3),A      display on
        0x3E, 0x80,        // LD A,0x80
        0x32, 0x00, 0xFC,  // LD (0xFC00),A  top-left pixel
        0xED, 0x56,        // IM 1
        0xC3, 0x20, 0x00,  // JP 0x0020
    };
    std::copy(start.begin(), start.end(), rom.begin());
    std::size_t at = 0x20;
    for (uint8_t byte : extraProgram) rom[at++] = byte;
    const std::vector<uint8_t> sleep = {0xFB, 0x76, 0x18, 0xFC};  // EI; HALT; JR back to EI
    for (uint8_t byte : sleep) rom[at++] = byte;
    const std::vector<uint8_t> handler = {
        0xF5,              // PUSH AF
        0x3A, 0x00, 0x80,  // LD A,(0x8000)
        0x3C,              // INC A
        0x32, 0x00, 0x80,  // LD (0x8000),A
        0xF1,              // POP AF
        0xFB, 0xC9,        // EI; RET
    };
    std::copy(handler.begin(), handler.end(), rom.begin() + 0x38);
    const char version[] = "10.0";
    std::copy(version, version + 4, rom.begin() + 0x328A);
    rom[0x0158] = 0x46;
    rom[0x0141] = 0x05;
    rom[0x0149] = 0x0E;
    return rom;
}

QString writeTestRom(const QTemporaryDir& dir, const std::vector<uint8_t>& extraProgram) {
    const std::vector<uint8_t> rom = makeTestRom(extraProgram);
    const QString path = dir.filePath(QStringLiteral("TI85Rom.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(reinterpret_cast<const char*>(rom.data()), static_cast<qint64>(rom.size()));
    return path;
}

bool waitUntil(const std::function<bool()>& done, int limitMs) {
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

namespace {
std::vector<QPointer<QTimer>> waitingAnswers;
}

void cancelModalAnswers() {
    for (const QPointer<QTimer>& poll : waitingAnswers) delete poll.data();
    waitingAnswers.clear();
}

void answerNextModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    waitingAnswers.emplace_back(poll);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
        }
    });
    poll->start();
}

void clickButton(QWidget* dialog, const QString& objectName) {
    auto* button = dialog->findChild<QAbstractButton*>(objectName);
    ASSERT_NE(button, nullptr) << objectName.toStdString();
    button->click();
}

}  // namespace vantrel::test
