#include "platform/idle/Autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/idle/DesktopEntryExec.h"
#include "platform/posix/AtomicFile.h"
#include "platform/posix/ShownText.h"
#include "platform/posix/UserFolders.h"
#include "settings/GlimraSettings.h"

namespace {

constexpr std::string_view IdleMinutesName = "Linux Idle Minutes";
// Far more than any entry of ours; a larger file is someone else's.
constexpr size_t MaxEntryBytes = 64 * 1024;

// Whether text has a line that is exactly line, or starts with prefix and goes on in digits alone.
bool HasLine(const std::string& text, std::string_view line, bool digitsAfter) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view candidate(text.data() + start, end - start);
        if (candidate.ends_with('\r'))
            candidate.remove_suffix(1);
        if (!digitsAfter && candidate == line)
            return true;
        if (digitsAfter && candidate.starts_with(line) && candidate.size() > line.size() &&
            candidate.substr(line.size()).find_first_not_of("0123456789") == std::string_view::npos)
            return true;
        start = end + 1;
    }
    return false;
}

// What stands at the entry's name, when it is not an entry of ours: words that follow the path
// ("is a FIFO"); empty when the name is free (previous stays nothing) or holds our entry (previous
// gets its bytes).
std::string Foreign(const std::string& path, const std::string& program, AutostartPrevious& previous) {
    previous.reset();
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR
                   ? ""
                   : std::string("cannot be examined: ") + std::strerror(errno);
    if (S_ISLNK(status.st_mode))
        return "is a symbolic link";
    if (S_ISFIFO(status.st_mode))
        return "is a FIFO";
    if (S_ISSOCK(status.st_mode))
        return "is a socket";
    if (S_ISDIR(status.st_mode))
        return "is a folder";
    if (!S_ISREG(status.st_mode))
        return "is a device";
    if (status.st_uid != geteuid())
        return "belongs to another user";
    std::string bytes, problem;
    mode_t mode = 0;
    if (AtomicFile::Read(path, MaxEntryBytes, bytes, mode, problem) != AtomicFile::ReadOutcome::Read)
        return problem.empty() ? "cannot be read" : problem;
    std::string why;
    const std::optional<std::string> quoted = DesktopExecArgument(program, why);
    const bool exactExec = !program.empty() && quoted && HasLine(bytes, "Exec=" + *quoted + " --idle ", true);
    if (!HasLine(bytes, AutostartEntryKey, false) && !exactExec)
        return "is not an entry that GlimraCode wrote";
    previous = std::move(bytes);
    return "";
}

std::string LeftAsItIs(const std::string& path, const std::string& found) {
    return "'" + ShownText(path, 200) + "' " + found + "; it is left as it is";
}

std::string NoProgram() {
    return "cannot find this program's own file (/proc/self/exe cannot be read), so no entry can name it";
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
    const std::string config = ConfigFolder();
    return config.empty() ? std::string() : config + "/autostart/glimracode.desktop";
}

std::optional<std::string> AutostartEntryText(const std::string& program, int minutes, std::string& why) {
    std::string problem;
    const std::optional<std::string> exec = DesktopExecArgument(program, problem);
    if (!exec) {
        why = "the program's path '" + ShownText(program, 200) + "' " + problem;
        return std::nullopt;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=GlimraCode idle watcher\n"
           "Comment=Starts the GlimraCode screen saver when the session is idle; it never locks the screen\n"
           "Exec=" +
           *exec + " --idle " + std::to_string(minutes) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n" +
           AutostartEntryKey + "\n";
}

std::string WriteAutostartEntry(const std::string& program, int minutes, AutostartPrevious* previous) {
    const std::string path = AutostartEntryPath();
    if (path.empty())
        return "cannot find the home folder (HOME is unset and the user database has none)";
    if (program.empty())
        return NoProgram();
    std::string why;
    const std::optional<std::string> text = AutostartEntryText(program, minutes, why);
    if (!text)
        return why;
    AutostartPrevious found;
    if (const std::string foreign = Foreign(path, program, found); !foreign.empty())
        return LeftAsItIs(path, foreign) + ", and the watcher is not added";
    const std::string folder = AtomicFile::FolderOf(path);
    if (!AtomicFile::MakeFolders(folder))
        return "cannot make the folder '" + ShownText(folder, 200) + "': " + std::strerror(errno);
    std::string problem;
    if (!AtomicFile::Replace(path, *text, 0644, AtomicFile::Durability::Synced, problem))
        return "cannot write '" + ShownText(path, 200) + "': " + problem;
    if (previous != nullptr)
        *previous = std::move(found);
    return {};
}

void RestoreAutostartEntry(const AutostartPrevious& previous) {
    const std::string path = AutostartEntryPath();
    if (!previous) {
        unlink(path.c_str());
        return;
    }
    std::string problem;
    [[maybe_unused]] const bool restored =
        AtomicFile::Replace(path, *previous, 0644, AtomicFile::Durability::Synced, problem);
}

bool AutostartEntryExists() {
    struct stat status {};
    return lstat(AutostartEntryPath().c_str(), &status) == 0;
}

std::string RemoveAutostartEntry(const std::string& program) {
    const std::string path = AutostartEntryPath();
    if (path.empty())
        return {};
    AutostartPrevious found;
    if (const std::string foreign = Foreign(path, program, found); !foreign.empty())
        return LeftAsItIs(path, foreign);
    if (found && unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot remove '" + ShownText(path, 200) + "': " + std::strerror(errno);
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
