#include "platform/linux/GlimraLockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Only the user may make or remove names in the folder: otherwise another user could put a file
// of theirs, or a link, at the lock's name first.
bool IsPrivateFolder(const std::string& folder) {
    struct stat status {};
    return lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

GlimraLockFile::Result GlimraLockFile::Acquire(const std::string& path) {
    Release();
    if (!IsPrivateFolder(FolderOf(path)))
        return Result::Unavailable;
    // O_NOFOLLOW and the owner check: a link or another user's file at the name is never ours.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return Result::Unavailable;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
        close(fd);
        return Result::Unavailable;
    }
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
    // A runtime folder that is missing or shared would make every Acquire fail, and with it the
    // one-copy rule; the folder below serves as well.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime))
        return std::string(runtime) + "/glimracode.lock";
    // A folder of the user's own in the shared /tmp (per machine, unlike the home folder, which
    // may be shared by several). If another user made it first, Acquire refuses it.
    const std::string folder = "/tmp/glimracode-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return folder + "/glimracode.lock";
}
