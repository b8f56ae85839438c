#include "hardware/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace vantrel {

namespace {

// A path with a NUL byte would name a different, shorter path to the system.
bool usablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

// Opens without blocking (a FIFO or a device never stalls the caller) and keeps
// the descriptor only for a regular file. Whatever is plainly not a regular file is
// not opened at all, since opening some devices has effects of its own.
int openRegular(const std::string& path, int flags) {
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) return -1;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const uint8_t* data, std::size_t count, off_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, data + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Everything up to and including the last '/', or "" for a bare name.
std::string directoryPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string namePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> readLink(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The file that a write to path must replace: symbolic links are followed (the link
// stays a link). A dangling link yields its missing target, which is then created.
std::optional<std::string> resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        auto target = readLink(current);
        if (!target || target->empty()) return std::nullopt;
        current = (*target)[0] == '/' ? *target : directoryPart(current) + *target;
    }
    return std::nullopt;  // a loop of links
}

// The process's file-creation mask, read without changing it (changing it would
// race with other threads creating files).
mode_t currentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                found = true;
                break;
            }
        }
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// For a file whose directory takes no new file. Space is reserved first so that a
// full disk fails before any byte changes; the file is cut to its new length only
// after every byte was written, so a failure never leaves it shorter than before.
bool writeInPlace(const std::string& target, const uint8_t* data, std::size_t count) {
    const int fd = openRegular(target, O_WRONLY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && static_cast<std::size_t>(st.st_size) < count) {
        if (::fallocate(fd, 0, 0, static_cast<off_t>(count)) != 0 && errno != EOPNOTSUPP &&
            errno != ENOSYS)
            ok = false;
    }
    ok = ok && writeAll(fd, data, count, 0);
    if (ok && static_cast<std::size_t>(st.st_size) > count)
        ok = ::ftruncate(fd, static_cast<off_t>(count)) == 0;
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace

bool readWholeFile(const std::string& path, void* buffer, std::size_t count) {
    if (!usablePath(path) || buffer == nullptr) return false;
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return done == count;
}

bool writeWholeFile(const std::string& path, const void* buffer, std::size_t count) {
    if (!usablePath(path) || buffer == nullptr) return false;
    const auto target = resolveLinks(path);
    if (!target || namePart(*target).empty()) return false;
    const auto* data = static_cast<const uint8_t*>(buffer);

    struct stat old {};
    const bool exists = ::stat(target->c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;  // never replace a FIFO, device or folder
    if (!exists && errno != ENOENT) return false;
    // A file the user made read-only stays as it is, as an open for writing would.
    if (exists && ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) return false;

    // Hidden and beside the target, so the rename stays within one file system.
    std::string temp = directoryPart(*target) + "." + namePart(*target).substr(0, 200) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return exists && writeInPlace(*target, data, count);

    if (exists) {
        // Keep the owner where we may (root replacing another user's file); the
        // permission bits are set afterwards since a change of owner clears set-id bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, 0666 & ~currentUmask());
    }

    bool ok = writeAll(fd, data, count, 0) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), target->c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(directoryPart(*target));
    return true;
}

bool readFileText(const std::string& path, std::string& text, std::size_t maxBytes) {
    text.clear();
    if (!usablePath(path)) return false;
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return false;
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > maxBytes) {
            ok = false;
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!ok) text.clear();
    return ok;
}

bool isRegularFile(const std::string& path) {
    if (!usablePath(path)) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace vantrel
