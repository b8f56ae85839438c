#include "link/variable_file.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace vantrel {

namespace {

void putWord(std::vector<uint8_t>& out, uint16_t word) {
    out.push_back(static_cast<uint8_t>(word & 0xFF));
    out.push_back(static_cast<uint8_t>(word >> 8));
}

}  // namespace

FileTime localFileTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min};
}

std::array<uint8_t, 42> variableFileComment(const FileTime& time) {
    std::array<uint8_t, 42> comment{};
    // A year of more than four digits would not fit: the text is cut, never overrun.
    std::snprintf(reinterpret_cast<char*>(comment.data()), comment.size(),
                  "Vantrel generated file: %02d/%02d/%d, %02d:%02d", time.day, time.month,
                  time.year, time.hour, time.minute);
    return comment;
}

VariableFileRead decodeVariableFile(std::span<const uint8_t> bytes, VariableList& list) {
    if (bytes.size() > maxVariableFileSize || bytes.size() < variableFileHeaderSize ||
        !std::equal(variableFileSignature.begin(), variableFileSignature.end(), bytes.begin()))
        return VariableFileRead::badData;

    // In a file whose size agrees with its data-section length the entries end where
    // the checksum begins; a checksum word of 0 is then not taken for an empty entry.
    // The length is written modulo 65536, so a group of more than 64 KiB agrees too.
    const std::size_t sectionLength = static_cast<std::size_t>(bytes[53] | (bytes[54] << 8));
    const std::size_t framing = variableFileHeaderSize + 2;
    const bool sectionAgrees =
        bytes.size() >= framing && (bytes.size() - framing) % 0x10000 == sectionLength;
    const std::size_t entriesEnd = sectionAgrees ? bytes.size() - 2 : bytes.size();

    const int entriesBefore = list.count();
    std::size_t offset = variableFileHeaderSize;
    int dataEntriesLeft = 0;  // data entries still due after the last header
    while (offset + 2 <= entriesEnd) {
        const auto length = static_cast<uint32_t>(bytes[offset] | (bytes[offset + 1] << 8));
        // length + 6 must fit the packet's 16-bit received count.
        if (length >= oversizedLength) break;
        const bool isHeader = dataEntriesLeft == 0;
        // A header needs its type byte; an empty one is the checksum word of a file
        // that ended early, not a variable.
        if (isHeader && length == 0) break;
        if (offset + 2 + length > entriesEnd) break;
        LinkPacket packet = LinkPacket::withData(
            isHeader ? cmdVar : cmdData, bytes.data() + offset + 2, static_cast<uint16_t>(length));
        offset += 2 + length;
        if (isHeader) {
            dataEntriesLeft = packet.isBackupHeader() ? 3 : 1;
        } else {
            --dataEntriesLeft;
        }
        list.append(std::move(packet));
    }
    if (list.count() - entriesBefore < 2) return VariableFileRead::noVariables;
    // After the last whole entry only the checksum word may follow.
    if (dataEntriesLeft != 0 || entriesEnd - offset != (sectionAgrees ? 0u : 2u))
        return VariableFileRead::truncated;
    uint16_t sum = 0;
    for (std::size_t i = variableFileHeaderSize; i < offset; ++i)
        sum = static_cast<uint16_t>(sum + bytes[i]);
    const auto stored = static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    return sum == stored ? VariableFileRead::variables : VariableFileRead::checksumMismatch;
}

std::vector<uint8_t> encodeVariableFile(const VariableList& list, const FileTime& time) {
    std::vector<uint8_t> bytes(variableFileSignature.begin(), variableFileSignature.end());
    const auto comment = variableFileComment(time);
    bytes.insert(bytes.end(), comment.begin(), comment.end());
    putWord(bytes, 0);  // the data-section length, known at the end
    uint32_t sectionLength = 0;
    uint32_t checksum = 0;
    for (const LinkPacket& entry : list.entries()) {
        const uint16_t length = entry.length;
        // The checksum the calculator sent with the packet, as it came.
        const uint16_t packetChecksum =
            entry.payload.size() >= length + 2u
                ? static_cast<uint16_t>(entry.payload[length] | (entry.payload[length + 1] << 8))
                : dataChecksum(entry.payload.data(),
                               std::min<std::size_t>(length, entry.payload.size()));
        sectionLength += length + 2u;
        checksum += packetChecksum + (length & 0xFFu) + (length >> 8u);
        putWord(bytes, length);
        const std::size_t available = std::min<std::size_t>(length, entry.payload.size());
        bytes.insert(bytes.end(), entry.payload.begin(),
                     entry.payload.begin() + static_cast<std::ptrdiff_t>(available));
        bytes.resize(bytes.size() + (length - available), 0);
    }
    bytes[53] = static_cast<uint8_t>(sectionLength & 0xFF);
    bytes[54] = static_cast<uint8_t>((sectionLength >> 8) & 0xFF);
    putWord(bytes, static_cast<uint16_t>(checksum));
    return bytes;
}

}  // namespace vantrel
