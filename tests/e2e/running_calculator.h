// The whole machine on the demo firmware as the window runs it: the emulation
// thread, a 50 ms timer tick from the test thread, the keypad and the link engine.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "cpu/emulation_thread.h"
#include "e2e/firmware_machine.h"
#include "hardware/keypad.h"
#include "hardware/timer.h"
#include "support/scripted_host.h"

namespace vantrel::test {

// The window's side of the link-active post: the flag the timer reads.
class WindowHost : public ScriptedHost {
public:
    explicit WindowHost(Machine& m) : m_(m) {}
    void postLinkActive(uint32_t value) override {
        ScriptedHost::postLinkActive(value);
        m_.linkActive.store(value);
    }

private:
    Machine& m_;
};

class RunningCalculator {
public:
    explicit RunningCalculator(std::unique_ptr<Machine> machine = bootFirmware())
        : m(std::move(machine)), host(*m), keypad(*m) {
        m->setHost(&host);
        thread = std::make_unique<EmulationThread>(*m);
    }
    ~RunningCalculator() { stop(); }

    void stop() {
        if (thread) {
            EXPECT_TRUE(thread->stop());
            thread.reset();
        }
    }

    template <class Reader>
    auto read(Reader&& reader) {
        HoldGuard hold(m->control);
        return reader(static_cast<const Machine&>(*m));
    }

    void tick() {
        timerTick(*m, keypad);
        std::this_thread::sleep_for(std::chrono::milliseconds(timerPeriodMs));
    }

    // Ticks until the predicate, read while the loop is held, holds; at most about
    // ten seconds.
    bool tickUntil(const std::function<bool(const Machine&)>& done, int maxTicks = 200) {
        for (int i = 0; i < maxTicks; ++i) {
            tick();
            if (read(done)) return true;
        }
        return false;
    }

    bool asleep() const { return m->control.pendingCode() == code(EmuRequest::Pause); }

    // Ticks until the firmware sleeps with nothing left to deliver.
    bool settle() {
        return tickUntil([this](const Machine&) { return asleep() && !keypad.keyPending(); });
    }

    std::string row(int r) {
        return read([r](const Machine& mm) { return trimmedRow(mm, r); });
    }

    // A click on the skin key with this code, released at once.
    void click(uint8_t keyCode) {
        for (const KeyRect& rect : keyRects) {
            if (rect.code != keyCode) continue;
            keypad.pressAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, nullptr);
            keypad.releaseMouse(nullptr);
            ASSERT_TRUE(settle()) << "key " << int(keyCode) << " was not taken";
            return;
        }
        FAIL() << "no skin key with code " << int(keyCode);
    }

    // A character typed on the PC keyboard.
    void type(char32_t character) {
        keypad.keyboardPress(nullptr, 0, PcKey::other, character);
        keypad.keyboardRelease(nullptr, 0);
        ASSERT_TRUE(settle());
    }

    std::unique_ptr<Machine> m;
    WindowHost host;
    Keypad keypad;
    std::unique_ptr<EmulationThread> thread;
};

}  // namespace vantrel::test
