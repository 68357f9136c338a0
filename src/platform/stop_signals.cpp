#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace qb {

namespace {

// Written from the signal handler: a plain file descriptor is all it may touch.
int g_writeFd = -1;

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; dropping this one loses nothing.
    [[maybe_unused]] const ssize_t written = write(g_writeFd, &byte, 1);
    errno = saved;
}

int MakePipe() {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    for (int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_writeFd = fds[1];
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
    return fds[0];
}

}  // namespace

int StopSignalFd() {
    static const int readFd = MakePipe();
    return readFd;
}

void IgnoreFileSizeSignal() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

int DrainStopSignals(int fd) {
    int count = 0;
    char buffer[64];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) count += static_cast<int>(got);
    return count;
}

}  // namespace qb
