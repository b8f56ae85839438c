#include "machine/thread_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace vantrel {
namespace {

// A resume given to the running loop does not cut its next pause short; one that
// comes after the loop took Pause, or a request that replaced the Pause, does.
TEST(ThreadControlTest, OnlyAResumeAfterPauseWasTakenWakesThePausedLoop) {
    ThreadControl control;
    control.resume();
    std::thread loop([&] {
        control.waitForStart();
        control.resume();
        for (int round = 0; round < 3; ++round) {
            control.dropWakeToken();  // the loop takes Pause from the word
            control.repostPause();
            if (round == 1) control.resume();
            if (round == 2) control.post(EmuRequest::Stop);
            control.suspendSelf();  // only the first round sleeps
        }
        control.loopEnded();
    });
    for (int i = 0; i < 5000 && control.state() != LoopState::paused; ++i)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(control.state(), LoopState::paused);
    control.resume();
    loop.join();
}

TEST(ThreadControlTest, HoldGrantedAtOnceBeforeStartAndKeepsLoopWaiting) {
    ThreadControl control;
    control.hold();
    std::atomic<bool> started{false};
    std::thread loop([&] {
        control.waitForStart();
        started = true;
        control.loopEnded();
    });
    control.resume();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(started);
    control.release();
    loop.join();
    EXPECT_TRUE(started);
}

TEST(ThreadControlTest, PostKeepsHoldBitAndRepostPauseKeepsNewerRequest) {
    ThreadControl control;
    control.emuRequest = holdRequestBit;
    control.post(EmuRequest::Redraw);
    EXPECT_EQ(control.emuRequest.load(), holdRequestBit | code(EmuRequest::Redraw));
    control.emuRequest = code(EmuRequest::Interrupt);
    control.repostPause();
    EXPECT_EQ(control.pendingCode(), code(EmuRequest::Interrupt));
    control.emuRequest = 0;
    control.repostPause();
    EXPECT_EQ(control.pendingCode(), code(EmuRequest::Pause));
}

TEST(ThreadControlTest, HaltEventPulseWakesOnlyCurrentWaiters) {
    HaltEvent event;
    event.pulse();  // nobody waits: the event stays unsignalled
    EXPECT_FALSE(event.waitFor(10ms));
    std::atomic<bool> woken{false};
    std::thread waiter([&] {
        EXPECT_TRUE(event.waitFor(10s));
        woken = true;
    });
    // The waiter may not be waiting yet when a pulse comes; keep pulsing until it wakes.
    for (int i = 0; i < 2000 && !woken; ++i) {
        event.pulse();
        std::this_thread::sleep_for(5ms);
    }
    waiter.join();
    EXPECT_TRUE(woken);
}

}  // namespace
}  // namespace vantrel
