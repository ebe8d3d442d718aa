#include "platform/idle/Autostart.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/posix/AtomicFile.h"
#include "settings/GlimraSettings.h"

namespace {

constexpr std::string_view IdleMinutesName = "Linux Idle Minutes";

// A desktop entry's Exec splits at spaces and gives meaning to a few characters; a quoted argument
// keeps them, with ", `, $ and \ escaped by a backslash. The Exec value is then escaped once more as a
// string value, which doubles every backslash.
std::string QuoteExecArgument(const std::string& word) {
    std::string quoted = "\"";
    for (const char c : word) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += "\\\\";
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return quoted + "\"";
}

struct StoreKey {
    explicit StoreKey(GlimraSettingsStore& store) : Store(store) {
        Opened = store.OpenKey(SettingsKeyPath, Key);
    }
    ~StoreKey() {
        if (Opened)
            Store.CloseKey(Key);
    }
    GlimraSettingsStore& Store;
    GlimraStoreKey Key = 0;
    bool Opened = false;
};

} // namespace

std::string AutostartEntryPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/autostart/glimracode.desktop";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/autostart/glimracode.desktop";
}

std::string AutostartEntryText(const std::string& program, int minutes) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=GlimraCode idle watcher\n"
           "Comment=Starts the GlimraCode screen saver when the session is idle; it never locks the screen\n"
           "Exec=" +
           QuoteExecArgument(program) + " --idle " + std::to_string(minutes) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string WriteAutostartEntry(const std::string& program, int minutes) {
    const std::string path = AutostartEntryPath();
    if (!AtomicFile::MakeFolders(AtomicFile::FolderOf(path)))
        return "cannot make the folder " + AtomicFile::FolderOf(path) + ": " + std::strerror(errno);
    std::string problem;
    if (!AtomicFile::Replace(path, AutostartEntryText(program, minutes), 0644, AtomicFile::Durability::Synced,
                             problem))
        return "cannot write " + path + ": " + problem;
    return {};
}

bool AutostartEntryExists() {
    return access(AutostartEntryPath().c_str(), F_OK) == 0;
}

std::string RemoveAutostartEntry() {
    const std::string path = AutostartEntryPath();
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot remove " + path + ": " + std::strerror(errno);
    return {};
}

std::optional<int> ReadIdleMinutes(GlimraSettingsStore& store) {
    const StoreKey key(store);
    uint32_t value = 0;
    uint32_t copied = 0;
    GlimraValueType type = GlimraValueType::None;
    if (!key.Opened ||
        !store.ReadValue(key.Key, IdleMinutesName, type, {reinterpret_cast<uint8_t*>(&value), sizeof value},
                         copied) ||
        type != GlimraValueType::Dword || copied != sizeof value || value < 1 || value > MaxIdleMinutes)
        return std::nullopt;
    return static_cast<int>(value);
}

bool StoreIdleMinutes(GlimraSettingsStore& store, int minutes) {
    const StoreKey key(store);
    const auto value = static_cast<uint32_t>(minutes);
    return key.Opened && store.WriteValue(key.Key, IdleMinutesName, GlimraValueType::Dword,
                                          {reinterpret_cast<const uint8_t*>(&value), sizeof value});
}
