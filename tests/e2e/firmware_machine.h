// A machine running the demo firmware, and what the tests need to read its screen.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "hardware/key_codes.h"
#include "hardware/rom_image.h"
#include "machine/bus.h"
#include "machine/machine.h"
#include "machine/run_loop.h"
#include "machine/thread_control.h"
#include "session/calculator/machine_files.h"
#include "support/firmware_symbols.h"
#include "z80/cpu_registers.h"

namespace vantrel::test {

// Addresses the firmware and the PC side agree on.
inline constexpr uint16_t textMemory = 0x80DF;  // 8 rows of 16 characters
inline constexpr uint16_t shiftFlags = 0x8358;
inline constexpr uint16_t lcdAddress = 0xFC00;
inline constexpr int textRows = 8;
inline constexpr int textColumns = 16;
inline constexpr int entryRow = 3;
inline constexpr int resultRow = 5;

inline std::map<std::string, unsigned> firmwareSymbols() { return readFirmwareSymbols(); }

// A freshly loaded ROM and a cold start, as the window does without a state file.
inline std::unique_ptr<Machine> bootFirmware() {
    auto m = std::make_unique<Machine>();
    EXPECT_EQ(loadRomImage(*m, VANTREL_FIRMWARE_ROM).outcome, RomLoad::loaded);
    coldStart(m->regs, m->mem);
    return m;
}

inline std::string textRow(const Machine& m, int row) {
    const uint8_t* text = m.mem.ramAt(static_cast<uint16_t>(textMemory + row * textColumns));
    return std::string(reinterpret_cast<const char*>(text), textColumns);
}

// The row without its trailing blanks.
inline std::string trimmedRow(const Machine& m, int row) {
    std::string text = textRow(m, row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The trimmed row of a calculator whose loop runs, read while the loop rests.
inline std::string heldTrimmedRow(Machine& m, int row) {
    HoldGuard hold(m.control);
    return trimmedRow(m, row);
}

inline std::array<uint8_t, 1024> lcdBytes(const Machine& m) {
    std::array<uint8_t, 1024> bytes{};
    const uint8_t* lcd = m.mem.ramAt(lcdAddress);
    std::copy(lcd, lcd + bytes.size(), bytes.begin());
    return bytes;
}

// The picture the text memory should produce with the firmware's own glyphs: 8x8
// cells, glyph index = character - 0x20, lower case as upper case, the negative
// sign 0x60 at index 0x40, anything else the box at 0x41. On the calculator's screen
// (the title on top) the entry's cursor follows the entry on its row, over the last
// character when the entry is full: the glyph of a pending [2nd] or [ALPHA], else the
// character there with its glyph's five columns inverted above the gap row.
inline std::array<uint8_t, 1024> expectedPicture(const Machine& m) {
    static const auto symbols = firmwareSymbols();
    std::array<uint8_t, 1024> picture{};
    auto byte = [&](int row, int column, int line) -> uint8_t& {
        return picture[static_cast<std::size_t>((row * 8 + line) * 16 + column)];
    };
    for (int row = 0; row < textRows; ++row) {
        for (int column = 0; column < textColumns; ++column) {
            unsigned c = static_cast<uint8_t>(textRow(m, row)[static_cast<std::size_t>(column)]);
            if (c >= 'a' && c <= 'z') c -= 0x20;
            unsigned index = c == 0x60 ? 0x40u : (c >= 0x20 && c < 0x60 ? c - 0x20 : 0x41u);
            for (int line = 0; line < 8; ++line)
                byte(row, column, line) =
                    m.mem.rom[symbols.at("font_glyphs") + index * 8 + static_cast<unsigned>(line)];
        }
    }
    if (trimmedRow(m, 0) != "  VANTREL DEMO") return picture;
    const int column = std::min(static_cast<int>(trimmedRow(m, entryRow).size()), textColumns - 1);
    const uint8_t shift = *m.mem.ramAt(shiftFlags) & 0x18;
    for (int line = 0; line < 8; ++line) {
        const auto at = static_cast<unsigned>(line);
        if (shift == 0x08)
            byte(entryRow, column, line) = m.mem.rom[symbols.at("cursor2ndGlyph") + at];
        else if (shift == 0x10)
            byte(entryRow, column, line) = m.mem.rom[symbols.at("cursorAlphaGlyph") + at];
        else if (line < 7)
            byte(entryRow, column, line) ^= 0x7C;
    }
    return picture;
}

// Runs instructions until the firmware sleeps in HALT with interrupts enabled.
inline bool runUntilAsleep(Machine& m, long maxInstructions = 20'000'000) {
    for (long i = 0; i < maxInstructions; ++i) {
        executeOne(m);
        if (m.control.pendingCode() == code(EmuRequest::Pause)) {
            m.control.emuRequest.store(0);
            return true;
        }
    }
    return false;
}

// What the timer does for a key, served the way the loop serves it.
inline void deliverKey(Machine& m, uint8_t keyCode) {
    m.keyLatch.store(keyCode);
    if (m.regs.intFlags & intEnableBit) takeInterrupt(m);
    ASSERT_TRUE(runUntilAsleep(m))
        << "firmware did not go back to sleep after key " << int(keyCode);
}

// A key that wakes a paused loop the way the loop serves it: the resumed loop runs
// one instruction before it takes the interrupt. With spuriousWakes, the loop was
// first woken that many times by a stale resumption and paused again each time
// after one instruction.
inline void wakeWithKey(Machine& m, uint8_t keyCode, int spuriousWakes) {
    for (int i = 0; i < spuriousWakes; ++i) executeOne(m);
    m.keyLatch.store(keyCode);
    executeOne(m);
    if (m.regs.intFlags & intEnableBit) takeInterrupt(m);
    ASSERT_TRUE(runUntilAsleep(m))
        << "firmware did not go back to sleep after key " << int(keyCode);
}

// Key codes of the calculator's key matrix.
namespace key {
inline constexpr uint8_t enter = keyEnter, add = keyAdd, sub = keySubtract, mul = keyMultiply,
                         div = keyDivide, clear = keyClear, neg = keyNegate, del = keyDel,
                         xVar = keyXVar, on = keyOn, f3 = keyF3, f2 = keyF2, f1 = keyF1,
                         second = keySecond, exit = keyExit;
inline constexpr uint8_t digits[10] = {key0, key1, key2, key3, key4, key5, key6, key7, key8, key9};
}  // namespace key

// Types a calculator entry: digits, + - * /, and '~' for the negative sign.
inline void typeEntry(Machine& m, const std::string& entry) {
    for (char c : entry) {
        uint8_t k = 0;
        if (c >= '0' && c <= '9')
            k = key::digits[c - '0'];
        else if (c == '+')
            k = key::add;
        else if (c == '-')
            k = key::sub;
        else if (c == '*')
            k = key::mul;
        else if (c == '/')
            k = key::div;
        else if (c == '~')
            k = key::neg;
        ASSERT_NE(k, 0) << "no key for " << c;
        deliverKey(m, k);
    }
}

}  // namespace vantrel::test
