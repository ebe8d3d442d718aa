#include "platform/x11/X11StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_previousTerm {};
struct sigaction g_previousInt {};

void NoteStop(int) {
    const int saved = errno;
    const char byte = 1;
    if (g_writeFd >= 0) {
        // A full pipe already says that a stop is pending, so a failed write loses nothing.
        [[maybe_unused]] const ssize_t written = write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

X11StopSignals::X11StopSignals() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    g_writeFd = m_writeFd;
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &g_previousTerm);
    sigaction(SIGINT, &action, &g_previousInt);
}

X11StopSignals::~X11StopSignals() {
    if (m_readFd < 0)
        return;
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGINT, &g_previousInt, nullptr);
    g_writeFd = -1;
    close(m_readFd);
    close(m_writeFd);
}

bool X11StopSignals::Raised() {
    if (m_readFd < 0)
        return false;
    char buffer[64];
    while (read(m_readFd, buffer, sizeof buffer) > 0)
        m_raised = true;
    return m_raised;
}

void WaitForX(Display* display, const X11StopSignals& signals, int timeoutMs) {
    XFlush(display);
    if (XEventsQueued(display, QueuedAlready) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
    const nfds_t count = signals.Fd() >= 0 ? 2 : 1;
    poll(fds, count, timeoutMs);
}
