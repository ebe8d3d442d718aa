#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/FileSettingsStore.h"
#include "settings/StoreCases.h"

// Helpers of the settings file's tests: files made and read behind the store's back, the way a
// user's editor or another program would.

inline constexpr std::string_view OurKey = "[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]";

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    [[nodiscard]] std::string File(std::string_view name) const { return (m_path / name).string(); }
    // The names in the folder, sorted.
    [[nodiscard]] std::vector<std::string> Entries() const;

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
std::string Utf16Le(std::u16string_view text);
// A value's line written the way regedit writes it, independently of the store.
std::string ValueLine(std::string_view name, const RawValue& value);
// The 25 lines of a record in the order Save writes them.
std::string OurLines(const vGlimraSettings& settings, std::string_view end = "\r\n");
std::optional<RawValue> ReadRaw(const std::string& path, std::string_view keyPath, std::string_view name);
vGlimraSettings LoadFrom(const std::string& path,
                         FileSettingsStore::Access access = FileSettingsStore::Access::ReadOnly);
// The message of the error Save raises, empty when it succeeds.
std::string SaveError(const vGlimraSettings& settings, const std::string& path,
                      FileSettingsStore::Access access = FileSettingsStore::Access::ReadWrite);
