#include "link/link_lines.h"

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

}  // namespace vantrel
