#include "link/variable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "hardware/file_io.h"
#include "hardware/host_interface.h"

namespace vantrel {

namespace {

constexpr int errorBox = 1;
constexpr int question = 0;

// Reads exactly count bytes unless the file ends first; returns the count read.
std::size_t readFully(int fd, uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, buffer + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

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

bool readVariableFile(VariableList& list, const FilePrompt& prompt) {
    const std::string name = list.fileName.value_or(std::string());
    // Non-blocking so that a FIFO cannot stall the caller; only regular files count.
    const int fd = name.empty() ? -1 : ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int openError = name.empty() ? ENOENT : errno;
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = fd < 0 ? openError : S_ISDIR(info.st_mode) ? EISDIR : 0;
        if (fd >= 0) ::close(fd);
        prompt(promptCannotOpen, errorBox, name, errorText(error));
        return false;
    }
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    // The list takes many times a file's size; a crafted huge file must not get there.
    if (fileSize > maxVariableFileSize) {
        ::close(fd);
        prompt(promptBadData, errorBox, name, {});
        return false;
    }

    std::array<uint8_t, variableFileHeaderSize> header{};
    if (readFully(fd, header.data(), header.size()) < header.size() ||
        !std::equal(variableFileSignature.begin(), variableFileSignature.end(), header.begin())) {
        ::close(fd);
        prompt(promptBadData, errorBox, name, {});
        return false;
    }

    // In a file whose size agrees with its data-section length the entries end where
    // the checksum begins; a checksum word of 0 is then not taken for an empty entry.
    const uint64_t sectionLength = header[53] | (header[54] << 8);
    const bool sectionAgrees = variableFileHeaderSize + sectionLength + 2 == fileSize;
    const uint64_t entriesEnd = sectionAgrees ? variableFileHeaderSize + sectionLength : fileSize;

    uint64_t offset = variableFileHeaderSize;
    int dataEntriesLeft = 0;  // data entries still due after the last header
    std::vector<uint8_t> data;
    for (;;) {
        if (offset + 2 > entriesEnd) break;
        uint8_t lengthBytes[2];
        if (readFully(fd, lengthBytes, 2) < 2) break;
        const uint32_t length = lengthBytes[0] | (lengthBytes[1] << 8);
        // length + 6 must fit the packet's 16-bit received count.
        if (length >= oversizedLength) break;
        const bool isHeader = dataEntriesLeft == 0;
        // A header needs its type byte; an empty one is the checksum word of a file
        // that ended early, not a variable.
        if (isHeader && length == 0) break;
        if (offset + 2 + length > entriesEnd) break;
        data.resize(length);
        if (readFully(fd, data.data(), length) < length) break;
        offset += 2 + length;

        LinkPacket packet =
            LinkPacket::withData(isHeader ? cmdVar : cmdData, data.data(), static_cast<uint16_t>(length));
        if (isHeader) {
            dataEntriesLeft = packet.isBackupHeader() ? 3 : 1;
        } else {
            --dataEntriesLeft;
        }
        list.append(std::move(packet));
    }
    ::close(fd);
    return list.count() >= 2;
}

bool writeVariableFile(VariableList& list, const FilePrompt& prompt, const FileClock& clock) {
    const std::string name = list.fileName.value_or(std::string());
    auto cannotWrite = [&](int error) {
        prompt(promptCannotOpen, errorBox, name, errorText(error));
        list.clear();
        return false;
    };
    // Refused before the question: what cannot be written is not offered for replacing.
    const WriteTarget target = checkWriteTarget(name);
    if (!target.usable) return cannotWrite(target.error);
    if (target.exists && prompt(promptOverwrite, question, name, {}) == 0) {
        list.clear();
        return false;
    }

    std::vector<uint8_t> bytes(variableFileSignature.begin(), variableFileSignature.end());
    const auto comment = variableFileComment(clock ? clock() : localFileTime());
    bytes.insert(bytes.end(), comment.begin(), comment.end());
    putWord(bytes, 0);  // the data-section length, known at the end
    uint32_t sectionLength = 0;
    uint32_t checksum = 0;
    while (!list.empty()) {
        const LinkPacket entry = list.takeFirst();
        const uint16_t length = entry.length;
        // The checksum the calculator sent with the packet, as it came.
        const uint16_t packetChecksum =
            entry.payload.size() >= length + 2u
                ? static_cast<uint16_t>(entry.payload[length] | (entry.payload[length + 1] << 8))
                : dataChecksum(entry.payload.data(), std::min<std::size_t>(length, entry.payload.size()));
        sectionLength += length + 2u;
        checksum += packetChecksum + (length & 0xFF) + (length >> 8);
        putWord(bytes, length);
        const std::size_t available = std::min<std::size_t>(length, entry.payload.size());
        bytes.insert(bytes.end(), entry.payload.begin(), entry.payload.begin() + available);
        bytes.resize(bytes.size() + (length - available), 0);
    }
    bytes[53] = static_cast<uint8_t>(sectionLength & 0xFF);
    bytes[54] = static_cast<uint8_t>((sectionLength >> 8) & 0xFF);
    putWord(bytes, static_cast<uint16_t>(checksum));

    int error = 0;
    if (!writeWholeFile(name, bytes.data(), bytes.size(), &error)) return cannotWrite(error);
    list.clear();
    return true;
}

}  // namespace vantrel
