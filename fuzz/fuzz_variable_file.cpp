// The variable-file decoder on arbitrary bytes. Whatever it accepts must be packets
// the engine can send, and must survive being encoded and decoded again unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "link/variable_file.h"

using namespace vantrel;

namespace {

std::vector<std::vector<uint8_t>> drain(VariableList& list) {
    std::vector<std::vector<uint8_t>> packets;
    while (!list.empty()) {
        const LinkPacket p = list.takeFirst();
        const bool sound = (p.commandId == cmdVar || p.commandId == cmdData) &&
                           p.length < oversizedLength && p.payload.size() == p.length + 2u &&
                           p.payloadSize == p.length + 2u && p.received == p.length + 6u &&
                           (p.commandId != cmdVar || p.length > 0);
        if (!sound) std::abort();
        packets.push_back(p.wireBytes());
    }
    return packets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VariableList list;
    decodeVariableFile(std::span<const uint8_t>(data, size), list);
    VariableList copy;
    std::size_t section = 0;
    for (const LinkPacket& packet : list.entries()) {
        copy.append(LinkPacket::withData(packet.commandId, packet.payload.data(), packet.length));
        section += packet.length + 2u;
    }
    const auto packets = drain(list);
    if (packets.empty()) return 0;
    const std::vector<uint8_t> encoded = encodeVariableFile(copy, FileTime{1, 2, 2030, 3, 4});

    // Decoded again (while the data-section length still fits its 16-bit field).
    if (section >= 65536) return 0;
    VariableList again;
    if (decodeVariableFile(encoded, again) == VariableFileRead::badData) std::abort();
    if (drain(again) != packets) std::abort();
    return 0;
}
