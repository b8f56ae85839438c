#include "link/link_lines.h"

#include "hardware/machine.h"
#include "link/link_engine.h"

namespace vantrel {

namespace {

void loadNextByte(SendQueue& queue) {
    if (queue.readPos < queue.length) {
        queue.currentByte = queue.data[queue.readPos++];
        queue.bitIndex = 0;
    }
}

}  // namespace

void appendToSendQueue(SendQueue& queue, const uint8_t* bytes, std::size_t count) {
    queue.data.insert(queue.data.end(), bytes, bytes + count);
    queue.length = queue.data.size();
    if (queue.bitIndex == 8) loadNextByte(queue);
}

int nextSendBit(SendQueue& queue) {
    if (queue.bitIndex >= 8) return 0;
    const int bit = (queue.currentByte >> queue.bitIndex) & 1;
    if (++queue.bitIndex == 8) loadNextByte(queue);
    return bit;
}

void clearSendQueue(SendQueue& queue) {
    queue.bitIndex = 8;
    queue.readPos = 0;
    queue.data = {};
    queue.length = 0;
}

void LinkEngine::writeLinkPort(Machine& m, uint8_t value) {
    if (value == releaseValue) {
        lines.lineLevel = linesAtRest;
        lines.pollDue = 1;
        return;
    }
    if (value == abortValue) {
        m.callHost([](HostInterface& h) { h.uploadHint(hintAbortBeep); });
        resetLink(m);
        return;
    }
    lines.pollDue = 1;
    if (lines.lineLevel == linesAtRest) {
        // The calculator puts a bit on the lines; the masked value is the PC's answer.
        lines.lineLevel = value & 0x0C;
        gatherBit(m, value == oneBitValue ? 1 : 0);
    } else {
        // The calculator acknowledges the bit the PC presented.
        lines.lineLevel ^= 0x0F;
    }
}

uint8_t LinkEngine::readLinkPort(Machine& m) {
    const uint8_t level = lines.lineLevel;
    if (level == linesAtRest && lines.pollDue) {
        lines.pollDue = 0;
        pollLink(m);
    }
    return level;
}

void LinkEngine::gatherBit(Machine& m, int bit) {
    rxByte = static_cast<uint8_t>(rxByte | (bit << rxBitCount));
    if (++rxBitCount == 8) {
        const uint8_t byte = rxByte;
        rxByte = 0;
        rxBitCount = 0;
        appendReceivedByte(m, byte);
    }
}

}  // namespace vantrel
