#include "platform/x11/GlimraLockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

GlimraLockFile::Result GlimraLockFile::Acquire(const std::string& path) {
    Release();
    // O_NOFOLLOW: in a shared /tmp another user could otherwise point the name at a file of ours.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Unavailable;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void GlimraLockFile::Release() {
    if (m_fd < 0)
        return;
    close(m_fd);
    m_fd = -1;
}

std::string GlimraLockFile::DefaultPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/glimracode.lock";
    return "/tmp/glimracode-" + std::to_string(getuid()) + ".lock";
}
