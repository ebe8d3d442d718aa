#include "platform/posix/SettingsFiles.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "glimra-store-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<std::string> TemporaryFolder::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string ValueLine(std::string_view name, const RawValue& value) {
    char buffer[16];
    std::string line = "\"" + Escaped(name) + "\"=";
    if (value.Type == GlimraValueType::Dword && value.Data.size() == 4) {
        const uint32_t number =
            value.Data[0] | value.Data[1] << 8 | value.Data[2] << 16 | uint32_t{value.Data[3]} << 24;
        std::snprintf(buffer, sizeof buffer, "%08x", number);
        return line + "dword:" + buffer;
    }
    if (value.Type == GlimraValueType::String && !value.Data.empty() && value.Data.back() == 0)
        return line + "\"" + Escaped(std::string(value.Data.begin(), value.Data.end() - 1)) + "\"";
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.Type));
    line += buffer;
    for (size_t i = 0; i < value.Data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", value.Data[i]);
        line += buffer;
    }
    return line;
}

std::string OurLines(const vGlimraSettings& settings, std::string_view end) {
    std::string lines;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const RawValue value = setting.IsText() ? Sz(settings.FontName) : Dword(settings.Number(setting));
        lines += ValueLine(setting.Name, value) + std::string(end);
    }
    return lines;
}

std::optional<RawValue> ReadRaw(const std::string& path, std::string_view keyPath, std::string_view name) {
    FileSettingsStore reader(path, FileSettingsStore::Access::ReadOnly);
    GlimraStoreKey key = 0;
    if (!reader.OpenKey(keyPath, key))
        return std::nullopt;
    RawValue value;
    uint32_t size = 0;
    std::optional<RawValue> result;
    if (reader.QueryValue(key, name, value.Type, size)) {
        value.Data.resize(size);
        uint32_t copied = 0;
        if (reader.ReadValue(key, name, value.Type, value.Data, copied) && copied == size)
            result = value;
    }
    reader.CloseKey(key);
    return result;
}

vGlimraSettings LoadFrom(const std::string& path, FileSettingsStore::Access access) {
    FileSettingsStore store(path, access);
    vGlimraSettings settings;
    settings.Load(store);
    return settings;
}

std::string SaveError(const vGlimraSettings& settings, const std::string& path,
                      FileSettingsStore::Access access) {
    FileSettingsStore store(path, access);
    vGlimraSettings copy = settings;
    try {
        copy.Save(store);
    } catch (const GlimraSettingsError& error) {
        return error.what();
    }
    return {};
}
