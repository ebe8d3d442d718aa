#pragma once

#include <sys/types.h>

#include <string>

// A private virtual X server for one test fixture. Xvfb picks a free display number itself
// (-displayfd), so fixtures running side by side never meet.
class XvfbServer {
public:
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty when the server did not come up.
    const std::string& DisplayName() const { return m_displayName; }

private:
    pid_t m_pid = -1;
    std::string m_displayName;
};
