// The calculator's end of the link cable, as its software drives port 7: every bit
// goes through portRead/portWrite with the handshake values the calculator uses.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "machine/machine.h"

namespace vantrel::test {

// A packet as the calculator sends it (machine id 0x85), with the data checksum
// for the commands that carry data.
std::vector<uint8_t> calcPacket(uint8_t commandId, const std::vector<uint8_t>& data = {});
// The same packet as the PC side sends it (machine id 0x05).
std::vector<uint8_t> pcPacket(uint8_t commandId, const std::vector<uint8_t>& data = {});

// The header of a real variable named name (type 0x00, 10 data bytes), and others.
std::vector<uint8_t> varHeader(uint8_t typeId, const std::string& name, uint16_t dataSize);

class CalculatorSide {
public:
    explicit CalculatorSide(Machine& m) : m_(m) {}

    // One bit to the PC: the bit value, the PC's acknowledgement read back, the
    // release, and the read that lets the PC side look at what arrived.
    void sendBit(int bit);
    void sendByte(uint8_t byte);
    void sendBytes(const std::vector<uint8_t>& bytes);

    // One bit from the PC, or none when the lines stay at rest for maxReads reads.
    std::optional<int> receiveBit(int maxReads = 4);
    std::optional<uint8_t> receiveByte();
    // A whole packet: the header, then length + 2 more bytes for commands with data.
    std::optional<std::vector<uint8_t>> receivePacket();
    // Reads until the PC side falls silent; everything it sent.
    std::vector<uint8_t> receiveAll(std::size_t limit = 1 << 20);

    // Whether a few reads at rest show nothing from the PC.
    bool pcSilent();

    // Handshake values that did not match what the calculator expects.
    const std::vector<std::string>& faults() const { return faults_; }

    // Runs before every port access: the instruction boundary of a running loop.
    std::function<void()> beforeAccess;

private:
    uint8_t in();
    void out(uint8_t value);

    Machine& m_;
    std::vector<std::string> faults_;
};

}  // namespace vantrel::test
