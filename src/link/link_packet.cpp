#include "link/link_packet.h"

#include <algorithm>

namespace vantrel {

bool LinkPacket::isComplete() const {
    if (received < 4) return false;
    switch (commandId) {
        case cmdVar:
        case cmdData:
        case cmdSkip:
            return length < oversizedLength && received == length + 6u;
        case cmdCts:
        case cmdAck:
        case cmdErr:
        case cmdEot:
            return true;
        default:
            return false;
    }
}

std::string LinkPacket::variableName() const {
    if (commandId != cmdVar || isBackupHeader() || length < 4 || payload.size() < 4) return {};
    const std::size_t data = std::min<std::size_t>(length, payload.size());
    const std::size_t count = std::min<std::size_t>(payload[3], data - 4);
    return std::string(payload.begin() + 4,
                       payload.begin() + 4 + static_cast<std::ptrdiff_t>(count));
}

void LinkPacket::clear() {
    payload = {};
    received = 0;
    payloadSize = 0;
}

uint16_t dataChecksum(const uint8_t* data, std::size_t length) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint16_t>(sum);
}

LinkPacket LinkPacket::withData(uint8_t commandId, const uint8_t* data, uint16_t length) {
    LinkPacket p;
    p.machineId = pcMachineId;
    p.commandId = commandId;
    p.length = length;
    p.received = static_cast<uint16_t>(length + 6u);
    p.payloadSize = static_cast<uint16_t>(length + 2u);
    p.payload.assign(data, data + length);
    const uint16_t sum = dataChecksum(data, length);
    p.payload.push_back(static_cast<uint8_t>(sum & 0xFF));
    p.payload.push_back(static_cast<uint8_t>(sum >> 8));
    return p;
}

std::vector<uint8_t> LinkPacket::wireBytes() const {
    std::vector<uint8_t> bytes(4 + payload.size());
    bytes[0] = machineId;
    bytes[1] = commandId;
    bytes[2] = static_cast<uint8_t>(length & 0xFF);
    bytes[3] = static_cast<uint8_t>(length >> 8);
    std::copy(payload.begin(), payload.end(), bytes.begin() + 4);
    return bytes;
}

}  // namespace vantrel
