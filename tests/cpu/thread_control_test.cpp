#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cpu/thread_control.h"

using namespace std::chrono_literals;

namespace vantrel {
namespace {

TEST(ThreadControlTest, ResumeBeforeSuspendIsKept) {
    ThreadControl control;
    control.resume();
    std::thread loop([&] {
        control.waitForStart();
        control.resume();       // a resume that comes before the suspension
        control.suspendSelf();  // consumes it and goes on at once
        control.loopEnded();
    });
    loop.join();
    EXPECT_EQ(control.state(), LoopState::ended);
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
    // Pulse until the waiter has been woken: on a busy machine it may start waiting
    // only after several pulses.
    std::atomic<bool> woken{false};
    std::thread waiter([&] {
        EXPECT_TRUE(event.waitFor(5s));
        woken = true;
    });
    while (!woken) {
        std::this_thread::sleep_for(5ms);
        event.pulse();
    }
    waiter.join();
}

TEST(ThreadControlTest, RequestsThatMustNotBeLostSurviveLaterPosts) {
    ThreadControl control;
    // HALT's Pause leaves a pending interrupt to be taken, and replaces a repaint.
    for (EmuRequest pending : {EmuRequest::Interrupt, EmuRequest::InterruptAlias}) {
        control.emuRequest = code(pending);
        control.post(EmuRequest::Pause);
        EXPECT_EQ(control.pendingCode(), code(pending));
    }
    control.emuRequest = code(EmuRequest::Redraw);
    control.post(EmuRequest::Pause);
    EXPECT_EQ(control.pendingCode(), code(EmuRequest::Pause));
    control.post(EmuRequest::Interrupt);  // a key wakes a paused machine
    EXPECT_EQ(control.pendingCode(), code(EmuRequest::Interrupt));

    // Stop and Abort end the loop whatever is posted after them.
    for (EmuRequest ending : {EmuRequest::Stop, EmuRequest::Abort}) {
        control.emuRequest = holdRequestBit | code(ending);
        for (EmuRequest later : {EmuRequest::Redraw, EmuRequest::Pause, EmuRequest::Interrupt,
                                 EmuRequest::Stop, EmuRequest::Abort}) {
            control.post(later);
            EXPECT_EQ(control.emuRequest.load(), holdRequestBit | code(ending));
        }
    }

    // The loop's own re-post after taking Pause replaces only a repaint.
    control.emuRequest = code(EmuRequest::Redraw);
    control.repostPause();
    EXPECT_EQ(control.pendingCode(), code(EmuRequest::Pause));
}

TEST(ThreadControlTest, PulseBetweenCountAndWaitIsNotMissed) {
    HaltEvent event;
    const uint64_t seen = event.pulseCount();
    event.pulse();  // the loop paused before the waiter began to wait
    EXPECT_TRUE(event.waitForPulseAfter(seen, 5s));
    EXPECT_FALSE(event.waitForPulseAfter(event.pulseCount(), 10ms));
}

}  // namespace
}  // namespace vantrel
