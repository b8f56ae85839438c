// A link packet in memory: the four header bytes, the count of bytes received so far,
// and the data followed by its two checksum bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Command ids of the calculator's link protocol.
enum LinkCommand : uint8_t {
    cmdVar = 0x06,  // variable header
    cmdCts = 0x09,  // clear to send
    cmdData = 0x15,
    cmdSkip = 0x36,  // skip or exit; data byte 0 is the reason
    cmdAck = 0x56,
    cmdErr = 0x5A,
    cmdEot = 0x92,  // end of transmission
};

inline constexpr uint8_t pcMachineId = 0x05;
inline constexpr uint8_t backupTypeId = 0x1D;
// A data length from which length + 6 no longer fits the 16-bit received count.
inline constexpr uint32_t oversizedLength = 65530;

struct LinkPacket {
    uint8_t machineId = 0;
    uint8_t commandId = 0;
    uint16_t length = 0;
    uint16_t received = 0;     // header bytes included
    uint16_t payloadSize = 0;  // length + 2 when there is a payload
    std::vector<uint8_t> payload;

    // Complete packets of the known commands; other commands never complete.
    bool isComplete() const;
    // A header whose type byte (data byte 2) marks a memory backup. A header shorter
    // than three bytes has no type byte and counts as an ordinary variable.
    bool isBackupHeader() const {
        return length >= 3 && payload.size() >= 3 && payload[2] == backupTypeId;
    }
    void clear();
    // A variable header's name: the data bytes after the name's length (data byte 3),
    // as many as it says and the data holds; empty for a header without one.
    std::string variableName() const;

    // A packet of the given command with data and its checksum, as sent by the PC side.
    static LinkPacket withData(uint8_t commandId, const uint8_t* data, uint16_t length);
    // The bytes on the wire: header, then the whole payload.
    std::vector<uint8_t> wireBytes() const;
};

inline bool commandHasData(uint8_t commandId) {
    return commandId == cmdVar || commandId == cmdData || commandId == cmdSkip;
}
inline bool commandIsKnown(uint8_t commandId) {
    return commandHasData(commandId) || commandId == cmdCts || commandId == cmdAck ||
           commandId == cmdErr || commandId == cmdEot;
}

uint16_t dataChecksum(const uint8_t* data, std::size_t length);

}  // namespace vantrel
