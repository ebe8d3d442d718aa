#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A small file that is read whole and only ever replaced whole: a new copy is written beside it,
// flushed to the disk and renamed over it, so that a reader or a crash sees the old contents or the
// new ones, never a mix. Writers that read, change and replace take the lock beside the file first.
class AtomicFile {
public:
    enum class ReadOutcome { Read, Missing, Failed };
    // Synced: the data reaches the disk before the rename, so that a power cut cannot bring back an
    // empty file. Unsynced suits files that are cheap to make again.
    enum class Durability { Synced, Unsynced };

    // Reads the whole file if it is a regular file of at most maxBytes. Never blocks: a FIFO or a
    // device put in the file's place fails at once. On failure, problem says why, in words that
    // follow "it" ("is not a regular file").
    [[nodiscard]] static ReadOutcome Read(const std::string& path, size_t maxBytes, std::string& bytes,
                                          mode_t& mode, std::string& problem);
    // Replaces the file by bytes, with the given permissions; a symbolic link at path is replaced,
    // not followed. On failure the file is as it was, nothing is left beside it, and problem says
    // why (from the system's error text).
    [[nodiscard]] static bool Replace(const std::string& path, std::string_view bytes, mode_t mode,
                                      Durability durability, std::string& problem);
    // Removes the temporary files that writers killed during Replace left beside path: the user's
    // own regular files named as Replace names them, whose writer (its process id is in the name)
    // is gone. A file that merely looks like one, or whose writer still runs, stays.
    static void RemoveLeftovers(const std::string& path);

    // The file a symbolic link at path points to, so that writing there keeps the link; path itself
    // when it is no link.
    [[nodiscard]] static std::string LinkTarget(const std::string& path);
    [[nodiscard]] static std::string FolderOf(const std::string& path);
    // Makes the folder and its missing parents, each readable by the user alone. On failure errno
    // tells the first cause (a refused mkdir, or ENOTDIR for a file in the way).
    [[nodiscard]] static bool MakeFolders(const std::string& folder);
};

// An exclusive advisory lock on a file of its own (the file's name with ".lock"): the file itself is
// replaced by every write, and a lock on a replaced file protects nothing. The lock file must be a
// regular file of the user's own, never reached through a link: another user's file, or a link to
// somewhere else, is refused. The lock is held until the object is destroyed.
class AtomicFileLock {
public:
    enum class Outcome { Locked, Busy, Refused };
    // Called between tries while another process holds the lock, so that a caller with a window
    // can keep it alive; answering false gives up at once.
    using Waiting = std::function<bool()>;

    // Without patience it waits as long as the holder keeps the lock; with it, it tries for that
    // long at most and is Busy after.
    explicit AtomicFileLock(const std::string& path, std::optional<std::chrono::milliseconds> patience = {},
                            const Waiting& waiting = {});
    ~AtomicFileLock();
    AtomicFileLock(const AtomicFileLock&) = delete;
    AtomicFileLock& operator=(const AtomicFileLock&) = delete;
    [[nodiscard]] Outcome Result() const { return m_outcome; }
    [[nodiscard]] bool Locked() const { return m_outcome == Outcome::Locked; }

private:
    int m_fd = -1;
    Outcome m_outcome = Outcome::Refused;
};
