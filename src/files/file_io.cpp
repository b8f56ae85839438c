#include "files/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace vantrel {

namespace {

// A path with a NUL byte would name a different, shorter path to the system.
bool usablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

int pathError(const std::string& path) { return path.empty() ? ENOENT : EINVAL; }

int notRegularError(mode_t mode) { return S_ISDIR(mode) ? EISDIR : EINVAL; }

// Opens without blocking (a FIFO or a device never stalls the caller) and keeps
// the descriptor only for a regular file. Whatever is plainly not a regular file is
// not opened at all, since opening some devices has effects of its own.
int openRegular(const std::string& path, int flags) {
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        errno = notRegularError(before.st_mode);
        return -1;
    }
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = notRegularError(st.st_mode);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const uint8_t* data, std::size_t count, off_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(fd, data + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
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
// Nothing for a loop of links (errno ELOOP).
std::optional<std::string> resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        auto target = readLink(current);
        if (!target) return std::nullopt;
        if (target->empty()) {
            errno = ENOENT;
            return std::nullopt;
        }
        current = (*target)[0] == '/' ? *target : directoryPart(current) + *target;
    }
    errno = ELOOP;
    return std::nullopt;
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

// The folder of path takes a new file (errno says why not).
bool folderTakesNewFile(const std::string& path) {
    const std::string folder = directoryPart(path);
    return ::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) ==
           0;
}

void syncDirectory(const std::string& directory) {
    const int fd =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The one temporary file of a target, locked by the write that uses it. A write
// killed half-way leaves it behind unlocked; the next write of the target takes it
// over. A write that finds it locked waits for the other write to finish.
class TemporaryFile {
public:
    // -1 (with errno) when the directory takes no new file.
    int open(const std::string& target) {
        // Cut so that the name stays within the system's 255 bytes.
        path_ = directoryPart(target) + "." + namePart(target).substr(0, 200) + ".vantrel-save";
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int fd =
                ::open(path_.c_str(),
                       O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
            if (fd < 0) {
                // Something else under that name (a link, a FIFO, a folder, a file left
                // without write permission): clear it once. A failed clearing must not
                // hide why the open failed ("Permission denied" of a locked folder).
                const int failure = errno;
                if ((failure == ELOOP || failure == ENXIO || failure == EISDIR ||
                     failure == EACCES) &&
                    attempt == 0 && (::unlink(path_.c_str()) == 0 || ::rmdir(path_.c_str()) == 0))
                    continue;
                errno = failure;
                return -1;
            }
            if (!lock(fd)) {
                ::close(fd);
                return -1;
            }
            struct stat held {};
            struct stat named {};
            const bool stillNamed = ::fstat(fd, &held) == 0 &&
                                    ::lstat(path_.c_str(), &named) == 0 &&
                                    held.st_dev == named.st_dev && held.st_ino == named.st_ino;
            if (stillNamed && S_ISREG(held.st_mode) && held.st_nlink == 1 &&
                held.st_uid == ::geteuid()) {
                fd_ = fd;
                if (::ftruncate(fd_, 0) == 0) return fd_;
                const int failure = errno;
                close();
                errno = failure;
                return -1;
            }
            // Renamed into place by the write we waited for, or a file that is not
            // ours alone to reuse: start again with a file of our own.
            if (stillNamed) ::unlink(path_.c_str());
            ::close(fd);
        }
        errno = EAGAIN;
        return -1;
    }

    // Renames the file over target while it is still locked.
    bool renameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) return false;
        renamed_ = true;
        return true;
    }

    // A failed write's file is removed while it is still locked.
    void close() {
        if (fd_ < 0) return;
        if (!renamed_) ::unlink(path_.c_str());
        ::close(fd_);
        fd_ = -1;
    }

    ~TemporaryFile() { close(); }

    int fd() const { return fd_; }

private:
    // Waits a while for another write of the same target; one that hangs (a stopped
    // process) must not hang this one. Without file locks (some network file systems)
    // a single writer is assumed.
    static bool lock(int fd) {
        for (int waited = 0; waited < 500; ++waited) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
            if (errno != EWOULDBLOCK && errno != EINTR) return false;
            ::usleep(10000);
        }
        errno = EWOULDBLOCK;
        return false;
    }

    std::string path_;
    int fd_ = -1;
    bool renamed_ = false;
};

// The system's text for a failed write of path; where the file could be written but its
// folder takes no new file, it also says so and what to do about it.
std::string writeErrorText(const std::string& path, int error) {
    std::string text = errorText(error);
    if (error != EACCES && error != EPERM) return text;
    const auto target = usablePath(path) ? resolveLinks(path) : std::nullopt;
    if (!target || ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0 ||
        folderTakesNewFile(*target))
        return text;
    const std::string folder = directoryPart(*target);
    return text + ": the folder \"" + (folder.empty() ? std::string(".") : folder) +
           "\" takes no new file, and the file is only ever replaced whole, through a new "
           "file beside it. Allow writing in that folder, or keep the file in another one.";
}

// Opens the temporary file that is to replace path, with the old file's owner and
// permission bits (or a new file's); target becomes the file replaced, links followed.
// Fails with the system's error number.
Result<> openReplacement(const std::string& path, TemporaryFile& temp, std::string& target) {
    const auto resolved = resolveLinks(path);
    if (!resolved) return Failure::system(errno);
    target = *resolved;
    if (namePart(target).empty()) return Failure::system(EISDIR);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return Failure::system(errno);
    // Never replace a FIFO, device or folder.
    if (exists && !S_ISREG(old.st_mode)) return Failure::system(notRegularError(old.st_mode));
    // A file the user made read-only stays as it is, as an open for writing would.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Failure::system(errno);

    // Only ever replaced whole: where the folder takes no new file the save is refused,
    // since a file rewritten in place is torn by a crash half-way.
    const int fd = temp.open(target);
    if (fd < 0) return Failure::system(errno);
    if (exists) {
        // Keep the owner where we may (root replacing another user's file); the
        // permission bits are set afterwards since a change of owner clears set-id bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, 0666 & ~currentUmask());
    }
    return {};
}

// Synced, then renamed over target. Fails with the system's error number.
Result<> putInPlace(TemporaryFile& temp, const std::string& target) {
    if (::fsync(temp.fd()) != 0 || !temp.renameTo(target)) return Failure::system(errno);
    // The data was synced before the rename; a failing close cannot lose it.
    temp.close();
    syncDirectory(directoryPart(target));
    return {};
}

// Fails with the system's error number; writeWholeFile gives the reason.
Result<> replaceFile(const std::string& path, const uint8_t* data, std::size_t count) {
    TemporaryFile temp;
    std::string target;
    if (auto opened = openReplacement(path, temp, target); !opened) return opened;
    if (!writeAll(temp.fd(), data, count, 0)) return Failure::system(errno);
    return putInPlace(temp, target);
}

// One read, made again when a signal interrupts it: the bytes read, 0 at the end.
Result<std::size_t> readSome(int fd, void* into, std::size_t count) {
    for (;;) {
        const ssize_t n = ::read(fd, into, count);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return Failure::system(errno);
    }
}

// Reads up to count bytes; with exact, a file longer than count is not read at all
// (nothing is then read and its size is given). Gives the bytes read, or that size.
Result<uint64_t> readLeadingBytes(const std::string& path, void* buffer, std::size_t count,
                                  bool exact) {
    if (!usablePath(path) || buffer == nullptr) return Failure::system(ENOENT);
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return Failure::system(errno);
    struct stat st {};
    if (exact && ::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > count) {
        ::close(fd);
        return static_cast<uint64_t>(st.st_size);
    }
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto n = readSome(fd, out + done, count - done);
        if (!n) {
            ::close(fd);
            return n.failure();
        }
        if (*n == 0) break;
        done += *n;
    }
    ::close(fd);
    return done;
}

}  // namespace

Result<std::size_t> readFileStart(const std::string& path, void* buffer, std::size_t count) {
    const auto read = readLeadingBytes(path, buffer, count, false);
    if (!read) return read.failure();
    return static_cast<std::size_t>(*read);
}

Result<uint64_t> readFileOfSize(const std::string& path, void* buffer, std::size_t count) {
    return readLeadingBytes(path, buffer, count, true);
}

Result<std::vector<uint8_t>> readFileBytes(const std::string& path, std::size_t maxBytes) {
    auto text = readFileText(path, maxBytes);
    if (!text) return text.failure();
    return std::vector<uint8_t>(text->begin(), text->end());
}

Result<> writeWholeFile(const std::string& path, const void* buffer, std::size_t count) {
    int error = 0;
    if (!usablePath(path)) {
        error = pathError(path);
    } else if (buffer == nullptr) {
        error = EINVAL;
    } else {
        const Result<> replaced = replaceFile(path, static_cast<const uint8_t*>(buffer), count);
        if (replaced) return {};
        error = replaced.failure().code;
    }
    return Failure::system(error, writeErrorText(path, error));
}

struct FileStream::Open {
    TemporaryFile temp;
    std::string target;
    off_t written = 0;
};

FileStream::FileStream() = default;
FileStream::~FileStream() = default;

Result<> FileStream::open(const std::string& path) {
    abandon();
    failed_.reset();
    path_ = path;
    int error = 0;
    if (!usablePath(path)) {
        error = pathError(path);
    } else {
        auto opening = std::make_unique<Open>();
        const Result<> opened = openReplacement(path, opening->temp, opening->target);
        if (opened) {
            open_ = std::move(opening);
            return {};
        }
        error = opened.failure().code;
    }
    failed_ = Failure::system(error, writeErrorText(path, error));
    return *failed_;
}

Result<> FileStream::write(const void* data, std::size_t count) {
    if (failed_) return *failed_;
    if (!open_) return Failure::system(EBADF);
    if (data == nullptr && count != 0) return Failure::system(EINVAL);
    if (!writeAll(open_->temp.fd(), static_cast<const uint8_t*>(data), count, open_->written)) {
        const int error = errno;
        abandon();
        failed_ = Failure::system(error, writeErrorText(path_, error));
        return *failed_;
    }
    open_->written += static_cast<off_t>(count);
    return {};
}

Result<> FileStream::commit() {
    if (failed_) return *failed_;
    if (!open_) return Failure::system(EBADF);
    const Result<> placed = putInPlace(open_->temp, open_->target);
    abandon();
    if (placed) return {};
    const int error = placed.failure().code;
    failed_ = Failure::system(error, writeErrorText(path_, error));
    return *failed_;
}

void FileStream::abandon() { open_.reset(); }

bool FileStream::isOpen() const { return open_ != nullptr; }

Result<WriteTarget> checkWriteTarget(const std::string& path) {
    auto fail = [&](int error) { return Failure::system(error, writeErrorText(path, error)); };
    if (!usablePath(path)) return fail(pathError(path));
    const auto target = resolveLinks(path);
    if (!target) return fail(errno);
    if (namePart(*target).empty()) return fail(EISDIR);
    WriteTarget result;
    struct stat st {};
    if (::stat(target->c_str(), &st) == 0) {
        result.exists = true;
        if (!S_ISREG(st.st_mode)) return fail(notRegularError(st.st_mode));
        if (::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0) return fail(errno);
    } else if (errno != ENOENT) {
        return fail(errno);
    }
    // The new file, or the replacement of an old one, is made in the folder.
    if (!folderTakesNewFile(*target)) return fail(errno);
    return result;
}

Result<std::string> readFileText(const std::string& path, std::size_t maxBytes) {
    if (!usablePath(path)) return Failure::system(pathError(path));
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return Failure::system(errno);
    std::string text;
    char chunk[65536];
    for (;;) {
        auto n = readSome(fd, chunk, sizeof chunk);
        if (n && text.size() + *n > maxBytes) n = Failure::system(EFBIG);
        if (!n) {
            ::close(fd);
            return n.failure();
        }
        if (*n == 0) break;
        text.append(chunk, *n);
    }
    ::close(fd);
    return text;
}

Result<> checkReadable(const std::string& path) {
    if (!usablePath(path)) return Failure::system(ENOENT);
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) return Failure::system(errno);
    ::close(fd);
    return {};
}

bool isRegularFile(const std::string& path) {
    if (!usablePath(path)) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
    if (!usablePath(a) || !usablePath(b)) return false;
    struct stat sa {};
    struct stat sb {};
    const bool aExists = ::stat(a.c_str(), &sa) == 0;
    const bool bExists = ::stat(b.c_str(), &sb) == 0;
    if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (aExists || bExists) return false;
    const auto ra = resolveLinks(a);
    const auto rb = resolveLinks(b);
    if (!ra || !rb) return false;
    std::error_code ea;
    std::error_code eb;
    const auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(*ra, ea), ea);
    const auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(*rb, eb), eb);
    return !ea && !eb && ca == cb;
}

std::string linkTarget(const std::string& path) {
    if (!usablePath(path)) return {};
    return resolveLinks(path).value_or(std::string());
}

}  // namespace vantrel
