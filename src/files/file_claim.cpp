#include "files/file_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "files/file_io.h"

namespace vantrel {

namespace {

namespace fs = std::filesystem;

long readHolder(int fd) {
    char text[24] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 ? pid : 0;
}

bool sameInode(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

std::string FileClaim::identity(const std::string& path) {
    // A link to a state file not made yet names that file too.
    const std::string target = linkTarget(path);
    if (target.empty()) return {};
    std::error_code ec;
    const fs::path absolute = fs::absolute(target, ec);
    if (ec) return {};
    const fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal().string() : canonical.string();
}

FileClaim::Claimed FileClaim::claim(const std::string& path) {
    const std::string file = identity(path);
    if (held() && file == file_) return {Outcome::held};
    Attempt attempt = lockBeside(file);
    if (attempt.result.outcome != Outcome::inUse) release();
    if (attempt.result.outcome == Outcome::held) {
        fd_ = attempt.fd;
        file_ = file;
        lockPath_ = std::move(attempt.lockPath);
    }
    return attempt.result;
}

FileClaim::Attempt FileClaim::lockBeside(const std::string& file) {
    auto unavailable = [](int error) {
        return Attempt{{Outcome::unavailable, 0, Failure::system(error)}, -1, {}};
    };
    if (file.empty()) return unavailable(ENOENT);
    const fs::path name = fs::path(file).filename();
    if (name.empty()) return unavailable(EISDIR);
    // Cut so that the name stays within the system's 255 bytes.
    const std::string lockPath =
        (fs::path(file).parent_path() / ("." + name.string().substr(0, 200) + ".vantrel-lock"))
            .string();

    // A claim released meanwhile removes the file we opened: open again, a few times.
    for (int round = 0; round < 8; ++round) {
        constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        bool writable = true;
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | flags, 0644);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            // A lock file left in a folder that takes no new file still serves.
            writable = false;
            fd = ::open(lockPath.c_str(), O_RDONLY | flags);
        }
        if (fd < 0) return unavailable(errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return unavailable(EINVAL);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            const long holder = error == EWOULDBLOCK ? readHolder(fd) : 0;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Attempt{{Outcome::inUse, holder, std::nullopt}, -1, {}};
            return unavailable(error);
        }
        if (!sameInode(fd, lockPath)) {
            ::close(fd);
            continue;
        }
        if (writable) {
            const std::string pid = std::to_string(::getpid()) + "\n";
            if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, pid.data(), pid.size(), 0);
        }
        return Attempt{{Outcome::held}, fd, lockPath};
    }
    return unavailable(EAGAIN);
}

void FileClaim::release() {
    if (fd_ < 0) return;
    // Removed while still locked, and only if it is still ours: a program that opened
    // it meanwhile sees that it was removed and makes a new one.
    if (sameInode(fd_, lockPath_)) ::unlink(lockPath_.c_str());
    ::close(fd_);
    fd_ = -1;
    file_.clear();
    lockPath_.clear();
}

}  // namespace vantrel
