#include "link/variable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

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

bool writeFully(int fd, const uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(fd, buffer + done, count - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void putWord(std::vector<uint8_t>& out, uint16_t word) {
    out.push_back(static_cast<uint8_t>(word & 0xFF));
    out.push_back(static_cast<uint8_t>(word >> 8));
}

// The file the name stands for: a symbolic link is followed, so that replacing the
// file keeps the link.
std::string resolvedTarget(const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer)) return buffer;
    return path;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
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
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) ::close(fd);
        prompt(promptCannotOpen, errorBox, name);
        return false;
    }
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);

    std::array<uint8_t, variableFileHeaderSize> header{};
    if (readFully(fd, header.data(), header.size()) < header.size() ||
        !std::equal(variableFileSignature.begin(), variableFileSignature.end(), header.begin())) {
        ::close(fd);
        prompt(promptBadData, errorBox, name);
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
    auto fail = [&](bool tellCannotOpen) {
        if (tellCannotOpen) prompt(promptCannotOpen, errorBox, name);
        list.clear();
        return false;
    };
    if (name.empty()) return fail(true);

    const std::string target = resolvedTarget(name);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // What could not be opened for writing in place is not replaced either.
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) return fail(true);

    std::string temp = directoryOf(target) + "/.vantrel-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(true);
    auto discard = [&] {
        ::close(fd);
        ::unlink(temp.c_str());
    };

    if (exists) {
        if (prompt(promptOverwrite, question, name) == 0) {
            discard();
            list.clear();
            return false;
        }
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    uint32_t sectionLength = 0;
    uint32_t checksum = 0;
    std::vector<uint8_t> section;
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
        putWord(section, length);
        const std::size_t available = std::min<std::size_t>(length, entry.payload.size());
        section.insert(section.end(), entry.payload.begin(), entry.payload.begin() + available);
        section.resize(section.size() + (length - available), 0);
    }

    std::vector<uint8_t> bytes(variableFileSignature.begin(), variableFileSignature.end());
    const auto comment = variableFileComment(clock ? clock() : localFileTime());
    bytes.insert(bytes.end(), comment.begin(), comment.end());
    putWord(bytes, static_cast<uint16_t>(sectionLength));
    bytes.insert(bytes.end(), section.begin(), section.end());
    putWord(bytes, static_cast<uint16_t>(checksum));

    const bool written = writeFully(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (!written || ::close(fd) != 0) {
        if (written) {
            ::unlink(temp.c_str());
        } else {
            discard();
        }
        list.clear();
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        list.clear();
        return false;
    }
    list.clear();
    return true;
}

}  // namespace vantrel
