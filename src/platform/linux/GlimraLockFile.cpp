#include "platform/linux/GlimraLockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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
    m_path = path;
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

bool GlimraLockFile::AdoptLent(int descriptor, const std::string& path) {
    struct stat held {
    }, named{};
    if (fstat(descriptor, &held) != 0 || lstat(path.c_str(), &named) != 0 || !S_ISREG(held.st_mode) ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino || held.st_uid != geteuid())
        return false;
    // Succeeds at once on the lender's own open file, whose lock this is; on any other it takes the
    // lock only when nobody holds it, as Acquire would.
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        close(descriptor);
        return false;
    }
    fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    Release();
    m_fd = descriptor;
    m_path = path;
    return true;
}

GlimraLockFile::Result GlimraLockFile::AcquireNamed(const std::string& name) {
    const std::string first = DefaultPath(name);
    if (const char* lent = std::getenv(LentVariable)) {
        char* end = nullptr;
        const long descriptor = std::strtol(lent, &end, 10);
        const bool number = end != lent && *end == '\0' && descriptor >= 0 && descriptor < INT32_MAX;
        // Read once: the programs this one starts in turn are no part of the lender.
        unsetenv(LentVariable);
        if (number && (AdoptLent(static_cast<int>(descriptor), first) ||
                       AdoptLent(static_cast<int>(descriptor), PrivateTmpPath(name))))
            return Result::Acquired;
    }
    const Result result = Acquire(first);
    const std::string fallback = PrivateTmpPath(name);
    if (result != Result::Unavailable || first == fallback)
        return result;
    return Acquire(fallback);
}

bool GlimraLockFile::Note(std::string_view text) {
    return m_fd >= 0 && ftruncate(m_fd, 0) == 0 &&
           pwrite(m_fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

std::string GlimraLockFile::ReadNote(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat status {};
    char text[256];
    ssize_t length = 0;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        length = pread(fd, text, sizeof text, 0);
    close(fd);
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

std::string GlimraLockFile::DefaultPath(const std::string& name) {
    // A runtime folder that is missing or shared would make every Acquire fail, and with it the
    // one-copy rule; the folder below serves as well.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime))
        return std::string(runtime) + "/" + name;
    return PrivateTmpPath(name);
}

std::string GlimraLockFile::PrivateTmpPath(const std::string& name) {
    // A folder of the user's own in the shared /tmp (per machine, unlike the home folder, which
    // may be shared by several). If another user made it first, Acquire refuses it.
    const std::string folder = "/tmp/glimracode-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return folder + "/" + name;
}
