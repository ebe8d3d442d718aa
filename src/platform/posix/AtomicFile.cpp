#include "platform/posix/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }
    [[nodiscard]] int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

// A replacement in the making is a dot file beside the target, so that a listing of the folder hides
// it; its name goes on with the writer's process id, so that whoever finds it can tell whether its
// writer is still at work, and ends in mkstemp's six characters.
std::string TemporaryPrefix(const std::string& target) {
    const size_t slash = target.rfind('/');
    return "." + (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
}

// The writer's process id of a name that TemporaryPrefix(target) begins, or 0 when the rest is not
// exactly "<pid>.XXXXXX".
pid_t TemporaryWriter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix))
        return 0;
    name.remove_prefix(prefix.size());
    const size_t dot = name.find('.');
    if (dot == 0 || dot > 9 || name.size() != dot + 7 || name[0] == '0')
        return 0;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    if (!std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(dot), isDigit) ||
        !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dot) + 1, name.end(), isAlnum))
        return 0;
    return static_cast<pid_t>(std::stol(std::string(name.substr(0, dot))));
}

bool IsGone(pid_t process) {
    return kill(process, 0) != 0 && errno == ESRCH;
}

} // namespace

AtomicFile::ReadOutcome AtomicFile::Read(const std::string& path, size_t maxBytes, std::string& bytes,
                                         mode_t& mode, std::string& problem) {
    auto fail = [&](std::string why) {
        problem = std::move(why);
        return ReadOutcome::Failed;
    };
    // Non-blocking, so that a FIFO put in the file's place cannot hang the saver.
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0 && errno == ENOENT)
        return ReadOutcome::Missing;
    if (fd.Get() < 0)
        return fail(std::string("cannot be opened: ") + std::strerror(errno));
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0)
        return fail(std::string("cannot be examined: ") + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return fail("is not a regular file");
    const std::string tooLarge = "is larger than " + std::to_string(maxBytes) + " bytes";
    if (static_cast<uint64_t>(status.st_size) > maxBytes)
        return fail(tooLarge);
    mode = status.st_mode & 07777;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd.Get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fail(std::string("cannot be read: ") + std::strerror(errno));
        if (count == 0)
            return ReadOutcome::Read;
        bytes.append(buffer, static_cast<size_t>(count));
        if (bytes.size() > maxBytes)
            return fail(tooLarge);
    }
}

std::string AtomicFile::FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string AtomicFile::LinkTarget(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

bool AtomicFile::MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        struct stat status {};
        if (mkdir(part.c_str(), 0700) != 0) {
            const int cause = errno;
            if (stat(part.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
                // mkdir's answer is the cause; the stat after it would only find the folder missing.
                errno = cause == EEXIST ? ENOTDIR : cause;
                return false;
            }
        }
        if (slash == std::string::npos)
            return true;
    }
}

bool AtomicFile::Replace(const std::string& target, std::string_view bytes, mode_t mode,
                         Durability durability, std::string& problem) {
    std::string temporary =
        FolderOf(target) + "/" + TemporaryPrefix(target) + std::to_string(getpid()) + ".XXXXXX";
    FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        problem = std::strerror(errno);
        return false;
    }
    errno = 0;
    const bool written = WriteAll(fd.Get(), bytes) && fchmod(fd.Get(), mode) == 0 &&
                         (durability == Durability::Unsynced || fsync(fd.Get()) == 0) &&
                         close(fd.Release()) == 0 && rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        // A short write leaves errno as it was; a full disk is what it almost always means.
        problem = errno != 0 ? std::strerror(errno) : std::strerror(ENOSPC);
        unlink(temporary.c_str());
        return false;
    }
    // The folder is not synced: after a power cut the old file may come back, which is allowed; a
    // file renamed before its data reached the disk could come back empty, which is why it is synced.
    return true;
}

void AtomicFile::RemoveLeftovers(const std::string& path) {
    const std::string prefix = TemporaryPrefix(path);
    DIR* folder = opendir(FolderOf(path).c_str());
    if (folder == nullptr)
        return;
    while (const dirent* entry = readdir(folder)) {
        const pid_t writer = TemporaryWriter(entry->d_name, prefix);
        if (writer <= 0 || !IsGone(writer))
            continue;
        struct stat status {};
        if (fstatat(dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid())
            unlinkat(dirfd(folder), entry->d_name, 0);
    }
    closedir(folder);
}

AtomicFileLock::AtomicFileLock(const std::string& path, std::optional<std::chrono::milliseconds> patience,
                               const Waiting& waiting)
    : m_fd(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK,
                0600)) {
    struct stat status {};
    if (m_fd < 0 || fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid())
        return;
    if (!patience) {
        int result = 0;
        while ((result = flock(m_fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        m_outcome = result == 0 ? Outcome::Locked : Outcome::Refused;
        return;
    }
    // flock cannot be given a time limit, so it is asked again and again without blocking.
    const auto deadline = std::chrono::steady_clock::now() + *patience;
    for (;;) {
        if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_outcome = Outcome::Locked;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() >= deadline || (waiting && !waiting())) {
            m_outcome = Outcome::Busy;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

AtomicFileLock::~AtomicFileLock() {
    if (m_fd >= 0)
        close(m_fd);
}
