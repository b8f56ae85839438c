// The hardware model's timing, each value in one place with what it rests on. All of
// it counts the processor's T-states, the model's only time: nothing here depends on
// the host's clock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The processor's clock: the published figure of "about 6 MHz".
inline constexpr uint64_t cpuClockHz = 6'000'000;
inline constexpr uint64_t tStatesPerMs = cpuClockHz / 1000;

// The periodic interrupt. No measurement of this calculator was published; its closest
// relatives run between about 100 and 200 a second, and the sibling with the same LCD
// controller about 200, which the calculator's software (keypad scan, cursor blink,
// power-down) serves well. The divider runs from the start, so ticks fall on whole
// multiples of the period; one sets its pending bit only while enabled.
inline constexpr uint64_t periodicInterruptRate = 200;
inline constexpr uint64_t periodicInterruptPeriod = cpuClockHz / periodicInterruptRate;

// LCD frames are taken at a display's usual rate, in emulated time: fast enough for
// moving pictures, and a frame every 3 1/3 periodic interrupts.
inline constexpr uint64_t lcdFrameRate = 60;
inline constexpr uint64_t lcdFramePeriod = cpuClockHz / lcdFrameRate;

// Smooth greyscale averages each pixel over this many frames (100 ms, about how slowly
// the real screen follows), and the frame ring keeps that many. Six frames hold whole
// cycles both of two pictures alternated at the periodic rate (a pattern of 3 frames)
// and of programs that switch every frame (2), so such grey does not flicker.
inline constexpr std::size_t greyscaleFrames = 6;
inline constexpr std::size_t lcdFrameRingSize = greyscaleFrames;

// A typed key is held for long enough that the calculator's software, scanning the
// keypad at the periodic interrupt, sees it in at least two scans (five at 200 a
// second), then released as long, so that the same key typed twice is two presses.
inline constexpr uint64_t typedKeyHold = 25 * tStatesPerMs;
inline constexpr uint64_t typedKeyGap = 25 * tStatesPerMs;
// Typed keys waiting their turn, as many as the classic model's key queue takes.
inline constexpr std::size_t typedKeyCapacity = 64;

// Port 0 at power-on: the LCD at 0xFC00, where the calculator's software puts it (it
// writes 0x7C, which means the same), so that a state from the classic model shows its
// screen at once.
inline constexpr uint8_t powerOnLcdBase = 0x3C;

// The latest clock a state block may carry: ten years of emulated time, more than any
// calculator runs, and far below where the clock's 56 bits or the loop's deadlines
// (clock plus a period) could overflow.
inline constexpr uint64_t maximumStoredClock = cpuClockHz * 60 * 60 * 24 * 365 * 10;

static_assert(cpuClockHz % periodicInterruptRate == 0 && cpuClockHz % lcdFrameRate == 0);
static_assert(typedKeyHold >= 2 * periodicInterruptPeriod);
static_assert(maximumStoredClock < (uint64_t{1} << 55));

}  // namespace vantrel
