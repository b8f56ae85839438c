#include "link/calculator_side.h"

#include "link/link_packet.h"
#include "machine/bus.h"

namespace vantrel::test {

namespace {

constexpr uint8_t linkPort = 7;

std::vector<uint8_t> packetFrom(uint8_t machineId, uint8_t commandId,
                                const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    bytes.reserve(data.size() + 6);
    bytes.push_back(machineId);
    bytes.push_back(commandId);
    bytes.push_back(static_cast<uint8_t>(data.size() & 0xFF));
    bytes.push_back(static_cast<uint8_t>(data.size() >> 8));
    if (commandHasData(commandId)) {
        for (uint8_t byte : data) bytes.push_back(byte);
        const uint16_t sum = dataChecksum(data.data(), data.size());
        bytes.push_back(static_cast<uint8_t>(sum & 0xFF));
        bytes.push_back(static_cast<uint8_t>(sum >> 8));
    }
    return bytes;
}

}  // namespace

std::vector<uint8_t> calcPacket(uint8_t commandId, const std::vector<uint8_t>& data) {
    return packetFrom(0x85, commandId, data);
}

std::vector<uint8_t> pcPacket(uint8_t commandId, const std::vector<uint8_t>& data) {
    return packetFrom(0x05, commandId, data);
}

std::vector<uint8_t> varHeader(uint8_t typeId, const std::string& name, uint16_t dataSize) {
    std::vector<uint8_t> header;
    header.push_back(static_cast<uint8_t>(dataSize & 0xFF));
    header.push_back(static_cast<uint8_t>(dataSize >> 8));
    header.push_back(typeId);
    header.push_back(static_cast<uint8_t>(name.size()));
    for (char c : name) header.push_back(static_cast<uint8_t>(c));
    return header;
}

uint8_t CalculatorSide::in() {
    if (beforeAccess) beforeAccess();
    return portRead(m_, linkPort);
}

void CalculatorSide::out(uint8_t value) {
    if (beforeAccess) beforeAccess();
    portWrite(m_, linkPort, value);
}

void CalculatorSide::sendBit(int bit) {
    out(bit ? 0xE8 : 0xD4);
    const uint8_t answer = in();
    if (answer != (bit ? 8 : 4))
        faults_.push_back("bit acknowledged with " + std::to_string(answer));
    out(0xC0);
    const uint8_t rest = in();
    if (rest != 3) faults_.push_back("lines not released after a bit: " + std::to_string(rest));
}

void CalculatorSide::sendByte(uint8_t byte) {
    for (int i = 0; i < 8; ++i) sendBit((byte >> i) & 1);
}

void CalculatorSide::sendBytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) sendByte(byte);
}

std::optional<int> CalculatorSide::receiveBit(int maxReads) {
    for (int i = 0; i < maxReads; ++i) {
        const uint8_t level = in();
        if (level == 3) continue;
        if (level != 6 && level != 9) {
            faults_.push_back("unexpected line level " + std::to_string(level));
            return std::nullopt;
        }
        const int bit = level == 9 ? 1 : 0;
        // The calculator answers by pulling the other line.
        out(bit ? 0xD4 : 0xE8);
        const uint8_t answered = in();
        if (answered != (level ^ 0x0F))
            faults_.push_back("acknowledgement read " + std::to_string(answered));
        out(0xC0);
        return bit;
    }
    return std::nullopt;
}

std::optional<uint8_t> CalculatorSide::receiveByte() {
    uint8_t byte = 0;
    for (int i = 0; i < 8; ++i) {
        const auto bit = receiveBit();
        if (!bit) {
            if (i != 0) faults_.push_back("byte cut off after " + std::to_string(i) + " bits");
            return std::nullopt;
        }
        byte = static_cast<uint8_t>(byte | (*bit << i));
    }
    return byte;
}

std::optional<std::vector<uint8_t>> CalculatorSide::receivePacket() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 4; ++i) {
        const auto byte = receiveByte();
        if (!byte) return std::nullopt;
        bytes.push_back(*byte);
    }
    if (commandHasData(bytes[1])) {
        const std::size_t rest = (bytes[2] | (bytes[3] << 8)) + 2u;
        for (std::size_t i = 0; i < rest; ++i) {
            const auto byte = receiveByte();
            if (!byte) return std::nullopt;
            bytes.push_back(*byte);
        }
    }
    return bytes;
}

std::vector<uint8_t> CalculatorSide::receiveAll(std::size_t limit) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < limit) {
        const auto byte = receiveByte();
        if (!byte) break;
        bytes.push_back(*byte);
    }
    return bytes;
}

bool CalculatorSide::pcSilent() {
    for (int i = 0; i < 4; ++i)
        if (in() != 3) return false;
    return true;
}

}  // namespace vantrel::test
