#include "session/calculator/end_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vantrel {

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
int pipeEnds[2] = {-1, -1};

void onEndSignal(int number) {
    requested.store(true);
    // A full pipe drops the byte rather than block the handler: one is enough to wake.
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

Result<> catchEndSignals(std::initializer_list<int> numbers) {
    if (pipeEnds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
            return Failure::system(errno);
        ::fcntl(pipeEnds[1], F_SETFL, ::fcntl(pipeEnds[1], F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : numbers) ::sigaction(number, &action, nullptr);
    return {};
}

const std::atomic<bool>& endRequested() { return requested; }

int endSignalDescriptor() { return pipeEnds[0]; }

}  // namespace vantrel
