#include "platform/linux/StopSignals.h"

#include <fcntl.h>
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

StopSignals::StopSignals() {
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

StopSignals::~StopSignals() {
    if (m_readFd < 0)
        return;
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGINT, &g_previousInt, nullptr);
    g_writeFd = -1;
    close(m_readFd);
    close(m_writeFd);
}

bool StopSignals::Raised() {
    if (m_readFd < 0)
        return false;
    char buffer[64];
    while (read(m_readFd, buffer, sizeof buffer) > 0)
        m_raised = true;
    return m_raised;
}
