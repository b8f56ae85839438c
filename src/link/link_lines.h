// The bit layer of the link cable on port 7: line levels, the bytes the PC side still
// has to send, and the handshake that moves one bit per calculator port access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

// Line levels as the calculator reads them on port 7.
inline constexpr uint8_t linesAtRest = 3;  // both lines released
inline constexpr uint8_t presentZero = 6;  // the PC side presents a 0 bit
inline constexpr uint8_t presentOne = 9;   // the PC side presents a 1 bit
inline constexpr uint8_t releaseValue = 0xC0;
inline constexpr uint8_t abortValue = 0xFC;
inline constexpr uint8_t oneBitValue = 0xE8;  // any other bit write is a 0

struct LinkLines {
    uint8_t lineLevel = linesAtRest;  // what the next read of port 7 returns
    uint32_t pollDue = 0;             // the next read at rest hands control to the engine
};

// Bytes waiting to go to the calculator, least significant bit first. Sent bytes
// stay in data until the queue is cleared at the end of a send phase.
struct SendQueue {
    uint8_t bitIndex = 8;  // next bit of currentByte; 8: nothing in progress
    uint8_t currentByte = 0;
    std::vector<uint8_t> data;
    // Wider than the calculator's 16-bit counts: an acknowledgement plus a full-size
    // entry exceeds 65535 bytes in one send phase.
    std::size_t readPos = 0;
    std::size_t length = 0;
};

void appendToSendQueue(SendQueue& queue, const uint8_t* bytes, std::size_t count);
// The next bit of the byte in progress (0 when nothing is in progress).
int nextSendBit(SendQueue& queue);
void clearSendQueue(SendQueue& queue);

}  // namespace vantrel
