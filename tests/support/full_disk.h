// A full disk for real: a child process mounts a tiny file system of its own over a
// folder (in a mount namespace of its own, so nothing outside sees it or has to
// clean it up), fills it, and runs the work there. Where no file system may be
// mounted, the child's files are limited in size instead, the way a quota fails.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::test {

// Lets writes in this scope fail once a file would grow past limit bytes, the way a
// quota makes them fail (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    sighandler_t oldHandler_{};
};

struct FullDiskRun {
    int status = -1;        // the work's exit status, -1 when it did not end normally
    int expectedError = 0;  // ENOSPC on a real full disk, EFBIG under the size limit
};

// Fills folder until the file system refuses more.
inline void fillUp(const std::string& folder) {
    const int fd =
        ::open((folder + "/.filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::vector<char> block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::write(fd, block.data(), 1);  // the last partial block
    ::close(fd);
}

// prepare runs first with room to spare (to place the files the work needs), then
// the folder is filled, then work runs; its return value is the child's status.
// Under the size limit no file may grow past sizeLimit bytes.
inline FullDiskRun runOnFullDisk(const std::string& folder, const std::function<void()>& prepare,
                                 const std::function<int()>& work, rlim_t sizeLimit = 4096) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        int error = ENOSPC;
        const bool mounted = ::unshare(CLONE_NEWNS) == 0 &&
                             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                             ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k") == 0;
        prepare();
        if (mounted) {
            fillUp(folder);
        } else {
            error = EFBIG;
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = sizeLimit;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        (void)!::write(channel[1], &error, sizeof error);
        ::close(channel[1]);
        ::_exit(work());
    }
    ::close(channel[1]);
    FullDiskRun run;
    if (::read(channel[0], &run.expectedError, sizeof run.expectedError) !=
        sizeof run.expectedError)
        run.expectedError = 0;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace vantrel::test
