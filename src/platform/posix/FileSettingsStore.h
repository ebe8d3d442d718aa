#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/AtomicFile.h"
#include "platform/posix/RegistryExportDocument.h"
#include "settings/GlimraSettingsStore.h"

// The settings store of POSIX systems: one file per user in the text format of registry exports,
// so that the same file can be imported on Windows and exported from it.
//
// The file is a RegistryExportDocument: an existing file keeps its header, encoding, line ends and
// every line that does not hold a value being written, and a new file is REGEDIT4. A line that
// cannot be parsed spoils the value it names: reading that value fails. A file that is not a
// registry export at all is never written to.
//
// Reading never writes: a missing file or key reads as missing values, and nothing is created until
// the first write. Reads need no lock: every write replaces the whole file at once (an AtomicFile),
// under an exclusive lock on a neighbouring ".lock" file so that the saver and the settings dialog
// may run as two processes. A batch of writes (a Save) is one replacement: all of it lands or none.
// A killed writer leaves the old file or the new one, never a mix, and its stray temporary file is
// removed by the next write. A file its owner may not write is the owner's wish to keep it, as a
// read-only registry key is: it is never replaced.
//
// A file that exists but cannot be read (not a regular file, larger than MaxFileBytes, unreadable,
// or no registry export) is refused: it opens no key, and the first refusal is told on stderr.
class FileSettingsStore final : public GlimraSettingsStore {
public:
    enum class Access { ReadWrite, ReadOnly };

    // The per-user file, DefaultPath(), for reading and writing.
    FileSettingsStore();
    // A file of the caller's choice. A read-only store fails to open a missing file or key, and every
    // write fails.
    explicit FileSettingsStore(std::string path, Access access = Access::ReadWrite);
    ~FileSettingsStore() override;
    FileSettingsStore(const FileSettingsStore&) = delete;
    FileSettingsStore& operator=(const FileSettingsStore&) = delete;

    // $XDG_CONFIG_HOME/glimracode/settings.reg, or ~/.config/glimracode/settings.reg when that
    // variable is unset or not an absolute path.
    [[nodiscard]] static std::string DefaultPath();
    [[nodiscard]] const std::string& Path() const { return m_path; }
    // Why the file was refused at the last OpenKey, in words that follow "it" ("is not a regular
    // file"); empty when it was read or is missing.
    [[nodiscard]] const std::string& Refusal() const { return m_refusal; }
    // Why the last write failed, as a sentence for the user, when the reason is one the user can
    // act on: the settings in use by another program for longer than the lock wait allows, a lock
    // file that is not the user's own, or a read-only file. Empty otherwise.
    [[nodiscard]] const std::string& WriteProblem() const { return m_writeProblem; }

    // How long a write waits for another writer to finish, calling waiting between tries (see
    // AtomicFileLock). Without patience, as at first, a write waits as long as the other writer takes.
    void SetLockWait(std::optional<std::chrono::milliseconds> patience, AtomicFileLock::Waiting waiting = {});

    // A settings file holds a few kilobytes, an export of several Windows keys a few hundred. A
    // bigger file is not one of ours, and parsing it would cost memory out of all proportion; one
    // bound holds for reading and writing, so that the store never writes what it would refuse.
    static constexpr size_t MaxFileBytes = 1 << 20;

    [[nodiscard]] bool OpenKey(std::string_view keyPath, GlimraStoreKey& key) override;
    [[nodiscard]] bool QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  uint32_t& size) override;
    [[nodiscard]] bool ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                 std::span<uint8_t> buffer, uint32_t& copied) override;
    [[nodiscard]] bool WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                  std::span<const uint8_t> data) override;
    [[nodiscard]] size_t WriteValues(GlimraStoreKey key, std::span<const GlimraStoreWrite> values) override;
    void CloseKey(GlimraStoreKey key) override;

private:
    struct OpenedKey {
        std::string Path; // as it stands in the file's brackets
        std::shared_ptr<const RegistryExportDocument> Snapshot;
    };

    // Reads the file afresh under the write lock, applies change, and replaces the file with the
    // result if check finds it right; nil when the store is read-only or anything fails, and then the
    // file is as it was.
    std::shared_ptr<const RegistryExportDocument>
    Commit(const std::function<void(RegistryExportDocument&)>& change,
           const std::function<bool(const RegistryExportDocument&)>& check);

    void Refuse(std::string problem);
    // The value's line in the snapshot that key was opened on; nil for an unknown key or value.
    const RegistryExportLine* FindLine(GlimraStoreKey key, std::string_view name) const;

    std::string m_path;
    Access m_access;
    std::string m_refusal;
    bool m_refusalReported = false;
    std::string m_writeProblem;
    std::optional<std::chrono::milliseconds> m_lockPatience;
    AtomicFileLock::Waiting m_lockWaiting;
    std::map<GlimraStoreKey, OpenedKey> m_keys;
    GlimraStoreKey m_nextKey = 1;
};
