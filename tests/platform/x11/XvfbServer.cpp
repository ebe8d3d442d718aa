#include "platform/x11/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

XvfbServer::XvfbServer(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string displayFd = std::to_string(fds[1]);
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        // -br: a black root window, so that whatever is drawn on it stands out.
        execlp("Xvfb", "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
               "tcp", "-br", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (m_pid < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fd{fds[0], POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0)
            continue;
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty())
        m_displayName = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
}
