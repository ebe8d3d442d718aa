#pragma once

#include <string>
#include <string_view>

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
    // Takes the lock file named name (glimracode.lock for the saver and the dialog) at DefaultPath,
    // and, when the file there cannot be used (a link, a dangling link, a FIFO, a folder or a
    // socket stands at the name), in the private folder under /tmp instead: whatever sits at the
    // name, two copies never run together. A lock lent by the parent (LentVariable) is taken first.
    Result AcquireNamed(const std::string& name);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    // The held lock's descriptor, -1 when none is held: a program lends it to a child it starts as
    // part of itself (the dialog's full-screen preview) by passing it open, its number in the
    // environment variable LentVariable. The child then holds the same lock, never a second one:
    // the descriptor must be the lock file itself, with the lock on it, or the child tries the file
    // as any copy would.
    int Descriptor() const { return m_fd; }
    static constexpr const char* LentVariable = "GLIMRACODE_LENT_LOCK";
    // The file held, or the last one tried.
    const std::string& Path() const { return m_path; }

    // A line for whoever finds the lock held (the idle watcher tells its process and minutes), kept
    // in the held file; false when it cannot be written.
    bool Note(std::string_view text);
    // The note in the lock file at path; empty when there is none or the file is not a regular one.
    static std::string ReadNote(const std::string& path);

    // $XDG_RUNTIME_DIR/name when that is an absolute path to a folder of the user's own that no one
    // else may write, else PrivateTmpPath(name).
    static std::string DefaultPath(const std::string& name = "glimracode.lock");
    // /tmp/glimracode-UID/name, making that folder (mode 0700) when it is missing.
    static std::string PrivateTmpPath(const std::string& name);

private:
    // Takes the lock lent at descriptor when that is the file at path.
    bool AdoptLent(int descriptor, const std::string& path);

    int m_fd = -1;
    std::string m_path;
};
