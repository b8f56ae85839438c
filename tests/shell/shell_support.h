// Helpers of the window tests: a synthesized ROM, temporary folders, the event loop
// run until a condition holds, and answers to modal dialogs.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace vantrel::test {

// A 131072-byte ROM that passes the version test. Its program turns the display on,
// lights the top-left LCD pixel, then sleeps in HALT with interrupts on; every
// interrupt counts itself at RAM 0x8000. extraProgram, when given, runs before the
// HALT loop (at 0x0020 onwards).
std::vector<uint8_t> makeTestRom(const std::vector<uint8_t>& extraProgram = {});
QString writeTestRom(const QTemporaryDir& dir, const std::vector<uint8_t>& extraProgram = {});

// Runs the event loop until done() or the generous limit passes.
bool waitUntil(const std::function<bool()>& done, int limitMs = 10000);

// The next modal dialog that opens is handed to answer() from the event loop.
void answerNextModal(std::function<void(QWidget*)> answer);
// Drops answers still waiting (a test that failed before its dialog came).
void cancelModalAnswers();
// Clicks the child button with that object name.
void clickButton(QWidget* dialog, const QString& objectName);

}  // namespace vantrel::test
