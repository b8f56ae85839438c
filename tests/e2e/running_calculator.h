// The demo firmware on one running calculator, driven the way the window drives it:
// the emulation thread, the 50 ms tick from the test thread, the keypad and the link.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "e2e/firmware_machine.h"
#include "machine/thread_control.h"
#include "session/calculator/calculator.h"
#include "session/keys/key_table.h"
#include "support/scripted_front_end.h"

namespace vantrel::test {

class RunningCalculator {
public:
    // A cold start, or the given state file.
    explicit RunningCalculator(const std::string& statePath = "/nonexistent/vantrel-e2e-state.bin")
        : calculator(front) {
        front.saveName.reset();
        EXPECT_TRUE(calculator.load(VANTREL_FIRMWARE_ROM, statePath, true).usable(true));
        calculator.start();
    }
    ~RunningCalculator() { stop(); }

    void stop() {
        if (calculator.running()) {
            EXPECT_TRUE(calculator.stop());
        }
    }

    template <class Reader>
    auto read(Reader&& reader) {
        HoldGuard hold(calculator.machine().control);
        return reader(static_cast<const Machine&>(calculator.machine()));
    }

    void tick() {
        calculator.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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

    bool asleep() const { return calculator.asleep(); }

    // Ticks until the firmware sleeps with nothing left to deliver.
    bool settle() {
        return tickUntil([this](const Machine&) { return calculator.asleep(); });
    }

    std::string row(int r) {
        return read([r](const Machine& mm) { return trimmedRow(mm, r); });
    }

    // A click on the skin key with this code, released at once.
    void click(uint8_t keyCode) {
        const auto index = keyIndexOfCode(keyCode);
        ASSERT_TRUE(index) << "no skin key with code " << int(keyCode);
        calculator.pressKey(*index);
        calculator.releaseMouse();
        ASSERT_TRUE(settle()) << "key " << int(keyCode) << " was not taken";
    }

    // A character typed on the PC keyboard.
    void type(char32_t character) {
        calculator.pcKeyDown(0, PcKey::other, character);
        calculator.pcKeyUp(0);
        ASSERT_TRUE(settle());
    }

    ScriptedFrontEnd front;
    Calculator calculator;
};

}  // namespace vantrel::test
