#include "platform/posix/FileSettingsStore.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/posix/AtomicFile.h"

namespace {

// A settings file holds a few kilobytes; an export of several Windows keys a few hundred. A bigger
// file is not one of ours, and parsing it would cost memory out of all proportion.
constexpr size_t MaxFileBytes = 1 << 20;

constexpr std::string_view UserRoot = "HKEY_CURRENT_USER\\";

using Document = RegistryExportDocument;
using Line = RegistryExportLine;
using LineKind = RegistryExportLineKind;

struct LoadedFile {
    std::shared_ptr<Document> Parsed;
    std::string Bytes;
    bool Exists = false;
    mode_t Mode = 0600;
    // Writing back what was read gives the same bytes, so a change touches only the lines it means to.
    bool Writable = false;
};

// nullopt when the file cannot be read or is not a registry export. A missing or empty file reads
// as a new document without keys.
std::optional<LoadedFile> LoadFile(const std::string& path) {
    LoadedFile file;
    switch (AtomicFile::Read(path, MaxFileBytes, file.Bytes, file.Mode)) {
    case AtomicFile::ReadOutcome::Failed:
        return std::nullopt;
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
    if (!parsed)
        return std::nullopt;
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
    std::string base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else if (home && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && user->pw_dir[0] != '\0') {
        base = std::string(user->pw_dir) + "/.config";
    } else {
        return {};
    }
    return base + "/glimracode/settings.reg";
}

std::shared_ptr<const RegistryExportDocument>
FileSettingsStore::Commit(const std::function<void(RegistryExportDocument&)>& change,
                          const std::function<bool(const RegistryExportDocument&)>& check) {
    if (m_access == Access::ReadOnly || m_path.empty())
        return nullptr;
    const std::string target = AtomicFile::LinkTarget(m_path);
    if (!AtomicFile::MakeFolders(AtomicFile::FolderOf(target)))
        return nullptr;
    const AtomicFileLock lock(target);
    if (!lock.Locked())
        return nullptr;
    // Read again under the lock: another process may have written since this one last looked.
    std::optional<LoadedFile> file = LoadFile(target);
    if (!file || !file->Writable)
        return nullptr;
    change(*file->Parsed);
    const std::string bytes = file->Parsed->Serialise();
    // The file is read back as the next process will read it, and only written if that process
    // would find what was meant.
    std::optional<Document> written = Document::Parse(bytes);
    if (!written || !check(*written))
        return nullptr;
    if ((bytes != file->Bytes || !file->Exists) && !AtomicFile::Replace(target, bytes, file->Mode))
        return nullptr;
    return std::make_shared<const Document>(std::move(*written));
}

bool FileSettingsStore::OpenKey(std::string_view keyPath, GlimraStoreKey& key) {
    if (m_path.empty() || HasLineBreak(keyPath))
        return false;
    const std::string path = std::string(UserRoot) + std::string(keyPath);
    std::optional<LoadedFile> file = LoadFile(m_path);
    if (!file)
        return false;
    std::shared_ptr<const Document> snapshot = file->Parsed;
    if (!snapshot->HasKey(path)) {
        snapshot = Commit([&](Document& document) { document.AddKey(path); },
                          [&](const Document& written) { return written.HasKey(path); });
        if (!snapshot)
            return false;
    }
    key = m_nextKey++;
    m_keys.emplace(key, OpenedKey{path, std::move(snapshot)});
    return true;
}

bool FileSettingsStore::QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                   uint32_t& size) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end())
        return false;
    const Line* line = opened->second.Snapshot->FindValue(opened->second.Path, name);
    if (!line)
        return false;
    type = line->Type;
    size = static_cast<uint32_t>(line->Data.size());
    return true;
}

bool FileSettingsStore::ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  std::span<uint8_t> buffer, uint32_t& copied) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end())
        return false;
    const Line* line = opened->second.Snapshot->FindValue(opened->second.Path, name);
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
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end() || HasLineBreak(name))
        return false;
    const std::string& path = opened->second.Path;
    auto snapshot = Commit(
        [&](Document& document) {
            // Another process may have removed the key meanwhile; an open key still takes values.
            document.AddKey(path);
            document.SetValue(path, name, type, data);
        },
        [&](const Document& written) {
            const Line* line = written.FindValue(path, name);
            return line && line->Kind == LineKind::Value && line->Type == type &&
                   std::ranges::equal(line->Data, data);
        });
    if (!snapshot)
        return false;
    opened->second.Snapshot = std::move(snapshot);
    return true;
}

void FileSettingsStore::CloseKey(GlimraStoreKey key) {
    m_keys.erase(key);
}
