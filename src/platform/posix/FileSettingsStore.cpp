#include "platform/posix/FileSettingsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/posix/AtomicFile.h"
#include "platform/posix/UserFolders.h"

namespace {

constexpr std::string_view UserRoot = "HKEY_CURRENT_USER\\";

using Document = RegistryExportDocument;
using Line = RegistryExportLine;
using LineKind = RegistryExportLineKind;

struct LoadedFile {
    std::shared_ptr<Document> Parsed; // nil when the file was refused
    std::string Problem;              // why it was refused
    std::string Bytes;
    bool Exists = false;
    mode_t Mode = 0600;
    // Writing back what was read gives the same bytes, so a change touches only the lines it means to.
    bool Writable = false;
};

// A missing or empty file reads as a new document without keys.
LoadedFile LoadFile(const std::string& path) {
    LoadedFile file;
    switch (AtomicFile::Read(path, FileSettingsStore::MaxFileBytes, file.Bytes, file.Mode, file.Problem)) {
    case AtomicFile::ReadOutcome::Failed:
        return file;
    case AtomicFile::ReadOutcome::Missing:
        file.Parsed = std::make_shared<Document>(Document::New());
        file.Writable = true;
        return file;
    case AtomicFile::ReadOutcome::Read:
        break;
    }
    file.Exists = true;
    if (file.Bytes.empty()) {
        file.Parsed = std::make_shared<Document>(Document::New());
        file.Writable = true;
        return file;
    }
    auto parsed = Document::Parse(file.Bytes);
    if (!parsed) {
        file.Problem = "is not a registry export (its first line is neither \"REGEDIT4\" nor "
                       "\"Windows Registry Editor Version 5.00\")";
        return file;
    }
    file.Parsed = std::make_shared<Document>(std::move(*parsed));
    file.Writable = file.Parsed->Serialise() == file.Bytes;
    return file;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

FileSettingsStore::FileSettingsStore() : FileSettingsStore(DefaultPath()) {
}

FileSettingsStore::FileSettingsStore(std::string path, Access access)
    : m_path(std::move(path)), m_access(access) {
}

FileSettingsStore::~FileSettingsStore() = default;

std::string FileSettingsStore::DefaultPath() {
    const std::string config = ConfigFolder();
    return config.empty() ? std::string() : config + "/glimracode/settings.reg";
}

void FileSettingsStore::SetLockWait(std::optional<std::chrono::milliseconds> patience,
                                    AtomicFileLock::Waiting waiting) {
    m_lockPatience = patience;
    m_lockWaiting = std::move(waiting);
}

void FileSettingsStore::Refuse(std::string problem) {
    m_refusal = std::move(problem);
    if (m_refusalReported)
        return;
    m_refusalReported = true;
    std::fprintf(stderr, "%s: the settings file '%s' %s; it is not read, and the defaults are in use\n",
                 program_invocation_short_name, m_path.c_str(), m_refusal.c_str());
}

std::shared_ptr<const RegistryExportDocument>
FileSettingsStore::Commit(const std::function<void(RegistryExportDocument&)>& change,
                          const std::function<bool(const RegistryExportDocument&)>& check) {
    m_writeProblem.clear();
    if (m_access == Access::ReadOnly || m_path.empty())
        return nullptr;
    const std::string target = AtomicFile::LinkTarget(m_path);
    if (!AtomicFile::MakeFolders(AtomicFile::FolderOf(target)))
        return nullptr;
    const AtomicFileLock lock(target, m_lockPatience, m_lockWaiting);
    switch (lock.Result()) {
    case AtomicFileLock::Outcome::Locked:
        break;
    case AtomicFileLock::Outcome::Busy:
        m_writeProblem = "The settings are in use by another program; nothing was saved. Try again "
                         "when it has finished.";
        return nullptr;
    case AtomicFileLock::Outcome::Refused:
        m_writeProblem = "The lock file '" + target +
                         ".lock' cannot be used: it must be a regular file of your own. Nothing was saved.";
        return nullptr;
    }
    AtomicFile::RemoveLeftovers(target);
    // Read again under the lock: another process may have written since this one last looked.
    LoadedFile file = LoadFile(target);
    if (!file.Parsed || !file.Writable)
        return nullptr;
    if (file.Exists && (file.Mode & S_IWUSR) == 0) {
        m_writeProblem = "The settings file '" + m_path + "' is read-only; nothing was saved.";
        return nullptr;
    }
    change(*file.Parsed);
    const std::string bytes = file.Parsed->Serialise();
    // A file this store would refuse to read is never written: it would read as the defaults from
    // then on, and every later write would fail.
    if (bytes.size() > MaxFileBytes)
        return nullptr;
    // The file is read back as the next process will read it, and only written if that process
    // would find what was meant.
    std::optional<Document> written = Document::Parse(bytes);
    if (!written || !check(*written))
        return nullptr;
    std::string problem;
    if ((bytes != file.Bytes || !file.Exists) &&
        !AtomicFile::Replace(target, bytes, file.Mode, AtomicFile::Durability::Synced, problem))
        return nullptr;
    return std::make_shared<const Document>(std::move(*written));
}

bool FileSettingsStore::OpenKey(std::string_view keyPath, GlimraStoreKey& key) {
    if (m_path.empty() || HasLineBreak(keyPath))
        return false;
    const std::string path = std::string(UserRoot) + std::string(keyPath);
    LoadedFile file = LoadFile(m_path);
    if (!file.Parsed) {
        Refuse(std::move(file.Problem));
        return false;
    }
    m_refusal.clear();
    // Reading never writes: a missing file or key opens empty, and the first write makes it. A
    // read-only store has nothing to open then.
    if (m_access == Access::ReadOnly && !file.Parsed->HasKey(path))
        return false;
    key = m_nextKey++;
    m_keys.emplace(key, OpenedKey{path, std::move(file.Parsed)});
    return true;
}
const Line* FileSettingsStore::FindLine(GlimraStoreKey key, std::string_view name) const {
    const auto opened = m_keys.find(key);
    return opened == m_keys.end() ? nullptr : opened->second.Snapshot->FindValue(opened->second.Path, name);
}

bool FileSettingsStore::QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                   uint32_t& size) {
    const Line* line = FindLine(key, name);
    if (!line)
        return false;
    type = line->Type;
    size = static_cast<uint32_t>(line->Data.size());
    return true;
}

bool FileSettingsStore::ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  std::span<uint8_t> buffer, uint32_t& copied) {
    const Line* line = FindLine(key, name);
    if (!line)
        return false;
    const std::span<const uint8_t> data = line->Data;
    const size_t count = std::min(buffer.size(), data.size());
    std::copy_n(data.begin(), count, buffer.begin());
    type = line->Type;
    copied = static_cast<uint32_t>(count);
    return true;
}

bool FileSettingsStore::WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                   std::span<const uint8_t> data) {
    const GlimraStoreWrite value{name, type, data};
    return WriteValues(key, std::span(&value, 1)) == 1;
}

size_t FileSettingsStore::WriteValues(GlimraStoreKey key, std::span<const GlimraStoreWrite> values) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end() ||
        std::any_of(values.begin(), values.end(),
                    [](const GlimraStoreWrite& value) { return HasLineBreak(value.Name); }))
        return 0;
    const std::string& path = opened->second.Path;
    auto snapshot = Commit(
        [&](Document& document) {
            // The key is made by the first write; another process may also have removed it meanwhile.
            document.AddKey(path);
            for (const GlimraStoreWrite& value : values)
                document.SetValue(path, value.Name, value.Type, value.Data);
        },
        [&](const Document& written) {
            return std::all_of(values.begin(), values.end(), [&](const GlimraStoreWrite& value) {
                const Line* line = written.FindValue(path, value.Name);
                return line && line->Kind == LineKind::Value && line->Type == value.Type &&
                       std::equal(line->Data.begin(), line->Data.end(), value.Data.begin(), value.Data.end());
            });
        });
    if (!snapshot)
        return 0;
    opened->second.Snapshot = std::move(snapshot);
    return values.size();
}

void FileSettingsStore::CloseKey(GlimraStoreKey key) {
    m_keys.erase(key);
}
