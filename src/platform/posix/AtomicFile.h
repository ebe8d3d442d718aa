#pragma once

#include <sys/types.h>

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
    // Removes the temporary files that writers killed during Replace left beside path. Only a
    // holder of the file's AtomicFileLock may call it, and only when every writer of the file takes
    // that lock: then no live writer can be holding one of them.
    static void RemoveLeftovers(const std::string& path);

    // The file a symbolic link at path points to, so that writing there keeps the link; path itself
    // when it is no link.
    [[nodiscard]] static std::string LinkTarget(const std::string& path);
    [[nodiscard]] static std::string FolderOf(const std::string& path);
    // Makes the folder and its missing parents, each readable by the user alone.
    [[nodiscard]] static bool MakeFolders(const std::string& folder);
};

// An exclusive advisory lock on a file of its own (the file's name with ".lock"): the file itself is
// replaced by every write, and a lock on a replaced file protects nothing. It waits for the lock and
// holds it until it is destroyed.
class AtomicFileLock {
public:
    explicit AtomicFileLock(const std::string& path);
    ~AtomicFileLock();
    AtomicFileLock(const AtomicFileLock&) = delete;
    AtomicFileLock& operator=(const AtomicFileLock&) = delete;
    [[nodiscard]] bool Locked() const { return m_locked; }

private:
    int m_fd = -1;
    bool m_locked = false;
};
