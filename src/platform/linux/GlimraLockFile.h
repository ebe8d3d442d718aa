#pragma once

#include <string>

// The Linux instance marker: an exclusive flock() on a per-user file. The kernel drops the lock
// when the holder's descriptor closes, so a crashed or killed copy can never leave it held; the
// file itself stays behind and means nothing. The file must lie in a folder that only the user can
// write and belong to the user: a lock that another user can make or hold first would let them
// stop this user's saver.
class GlimraLockFile {
public:
    enum class Result {
        Acquired,
        HeldElsewhere, // another open of the file holds the lock: a copy is running
        Unavailable,   // the file cannot be opened or locked, or is not the user's own
    };

    GlimraLockFile() = default;
    ~GlimraLockFile() { Release(); }
    GlimraLockFile(const GlimraLockFile&) = delete;
    GlimraLockFile& operator=(const GlimraLockFile&) = delete;

    Result Acquire(const std::string& path);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // $XDG_RUNTIME_DIR/glimracode.lock when that is an absolute path to a folder of the user's own
    // that no one else may write, else
    // /tmp/glimracode-UID/glimracode.lock, making that folder (mode 0700) when it is missing.
    static std::string DefaultPath();

private:
    int m_fd = -1;
};
