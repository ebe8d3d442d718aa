// libFuzzer target for the settings file store: whatever a settings file holds, reading never
// crashes, and a write either does exactly what it was asked or leaves the file as it was.

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/FileSettingsStore.h"
#include "settings/GlimraSettings.h"

namespace {

struct Raw {
    GlimraValueType Type{};
    std::vector<uint8_t> Data;
    bool operator==(const Raw&) const = default;
};

// A folder in memory when there is one: each run replaces the file many times.
std::string ScratchFolder() {
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/glimra-fuzz-XXXXXX" : "/tmp/glimra-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Every value of the settings key as the store reads it, nullopt for a value it does not find.
std::vector<std::optional<Raw>> ReadAll(const std::string& path) {
    std::vector<std::optional<Raw>> values(GlimraSettingsTable.size());
    FileSettingsStore reader(path, FileSettingsStore::Access::ReadOnly);
    GlimraStoreKey key = 0;
    if (!reader.OpenKey(SettingsKeyPath, key))
        return values;
    for (size_t i = 0; i < GlimraSettingsTable.size(); ++i) {
        Raw raw;
        uint32_t size = 0;
        if (!reader.QueryValue(key, GlimraSettingsTable[i].Name, raw.Type, size))
            continue;
        raw.Data.resize(size);
        uint32_t copied = 0;
        if (!reader.ReadValue(key, GlimraSettingsTable[i].Name, raw.Type, raw.Data, copied) || copied != size)
            std::abort();
        values[i] = raw;
    }
    reader.CloseKey(key);
    return values;
}

void Require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchFolder() + "/settings.reg";
    WriteBytes(path, data, size);

    {
        FileSettingsStore reader(path, FileSettingsStore::Access::ReadOnly);
        vGlimraSettings settings;
        settings.Load(reader);
    }
    const std::vector<std::optional<Raw>> before = ReadAll(path);
    const std::string bytesBefore = ReadBytes(path);

    // The input's first byte picks the value to write, so that lines of every kind get replaced.
    const size_t row = size > 0 ? data[0] % GlimraSettingsTable.size() : 0;
    const GlimraSettingInfo& setting = GlimraSettingsTable[row];
    const Raw written = setting.IsText() ? Raw{GlimraValueType::String, {'F', '"', '\\', 0}}
                                         : Raw{GlimraValueType::Dword, {0x78, 0x56, 0x34, 0x12}};
    FileSettingsStore store(path);
    GlimraStoreKey key = 0;
    if (!store.OpenKey(SettingsKeyPath, key)) {
        Require(ReadBytes(path) == bytesBefore, "a key that could not be made changed the file");
        return 0;
    }
    const std::string bytesOpened = ReadBytes(path);
    Require(ReadAll(path) == before, "making the key changed the values");
    const bool ok = store.WriteValue(key, setting.Name, written.Type, written.Data);
    store.CloseKey(key);
    if (!ok) {
        Require(ReadBytes(path) == bytesOpened, "a failed write changed the file");
        return 0;
    }

    const std::vector<std::optional<Raw>> after = ReadAll(path);
    for (size_t i = 0; i < after.size(); ++i) {
        if (i == row)
            Require(after[i] == written, "the written value does not read back");
        else
            Require(after[i] == before[i], "writing one value changed another");
    }

    // A whole Save lands whole or changes nothing.
    const std::string bytesWritten = ReadBytes(path);
    vGlimraSettings saved;
    saved.Delay = static_cast<int32_t>(size);
    saved.FontName = "F\"\\";
    try {
        FileSettingsStore saver(path);
        saved.Save(saver);
    } catch (const GlimraSettingsError&) {
        Require(ReadBytes(path) == bytesWritten, "a failed Save changed the file");
        return 0;
    }
    FileSettingsStore reader(path, FileSettingsStore::Access::ReadOnly);
    vGlimraSettings loaded;
    loaded.Load(reader);
    Require(loaded == saved, "a Save does not read back whole");
    return 0;
}
