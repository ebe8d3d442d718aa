#include <gtest/gtest.h>

#include <glib.h>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/linux/Autostart.h"
#include "platform/linux/DesktopEntryExec.h"
#include "platform/linux/IdleMode.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/UserFolders.h"

namespace {

namespace fs = std::filesystem;

struct TemporaryFolder {
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "glimra-idle-XXXXXX").string();
        Path = mkdtemp(pattern.data());
    }
    ~TemporaryFolder() { fs::remove_all(Path); }
    fs::path Path;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

constexpr const char* Header = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n";

IdleCommand Parse(std::vector<std::string> words) {
    std::vector<char*> argv{const_cast<char*>("glimracode")};
    for (std::string& word : words)
        argv.push_back(word.data());
    return ParseIdleCommand(static_cast<int>(argv.size()), argv.data());
}

TEST(IdleCommandTest, ReadsTheModesAndRefusesWhatIsOutOfRange) {
    using A = IdleCommand::Action;
    struct Case {
        std::vector<std::string> Words;
        A What;
        std::optional<int> Minutes, Seconds;
        bool Refused;
    };
    const Case cases[] = {
        {{}, A::None, {}, {}, false},
        {{"/s"}, A::None, {}, {}, false},
        {{"--idle"}, A::Watch, {}, {}, false},
        {{"--idle", "15"}, A::Watch, 15, {}, false},
        {{"--idle", "1440"}, A::Watch, 1440, {}, false},
        {{"--idle", "0"}, A::None, {}, {}, true},
        {{"--idle", "1441"}, A::None, {}, {}, true},
        {{"--idle", "5x"}, A::None, {}, {}, true},
        {{"--idle", "5", "6"}, A::None, {}, {}, true},
        {{"--idle-seconds", "3"}, A::Watch, {}, 3, false},
        {{"--idle-seconds"}, A::None, {}, {}, true},
        {{"--autostart", "on"}, A::AutostartOn, {}, {}, false},
        {{"--autostart", "on", "20"}, A::AutostartOn, 20, {}, false},
        {{"--autostart", "off"}, A::AutostartOff, {}, {}, false},
        {{"--autostart", "off", "20"}, A::None, {}, {}, true},
        {{"--autostart", "yes"}, A::None, {}, {}, true},
        {{"--autostart"}, A::None, {}, {}, true},
        {{"--idle=5"}, A::Watch, 5, {}, false},
        {{"--idle-seconds=3"}, A::Watch, {}, 3, false},
        {{"--idle=5", "6"}, A::None, {}, {}, true},
        {{"--autostart=off"}, A::AutostartOff, {}, {}, false},
        {{"--autostart=on", "20"}, A::AutostartOn, 20, {}, false},
        {{"--autostart="}, A::None, {}, {}, true},
        {{"--idler"}, A::None, {}, {}, false},
        {{"--idle", "5", "--help"}, A::None, {}, {}, false},
        {{"--autostart", "on", "-h"}, A::None, {}, {}, false},
    };
    for (const Case& row : cases) {
        const IdleCommand command = Parse(row.Words);
        const std::string name =
            row.Words.empty() ? "(none)" : row.Words[0] + " ..." + std::to_string(row.Words.size());
        EXPECT_EQ(command.What, row.What) << name;
        EXPECT_EQ(command.Minutes, row.Minutes) << name;
        EXPECT_EQ(command.Seconds, row.Seconds) << name;
        EXPECT_EQ(!command.Error.empty(), row.Refused) << name;
    }
}

TEST(AutostartTest, WritesAnEntryThatRunsTheWatcherAndRemovesIt) {
    TemporaryFolder folder;
    setenv("XDG_CONFIG_HOME", (folder.Path / "config").c_str(), 1);
    const std::string path = AutostartEntryPath();
    EXPECT_EQ(path, (folder.Path / "config/autostart/glimracode.desktop").string());
    EXPECT_EQ(RemoveAutostartEntry(""), "") << "removing a missing entry is no failure";

    ASSERT_EQ(WriteAutostartEntry("/opt/my apps/glimra$code", 7), "");
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0U);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    // Quoted for the space, with $ escaped once for Exec and the backslash once more for the value.
    EXPECT_NE(text.find("\nExec=\"/opt/my apps/glimra\\\\$code\" --idle 7\n"), std::string::npos) << text;

    EXPECT_EQ(RemoveAutostartEntry(""), "");
    EXPECT_FALSE(fs::exists(path));
    unsetenv("XDG_CONFIG_HOME");
}

TEST(AutostartTest, AnExecArgumentIsQuotedSoThatTheDesktopRunsExactlyThatFile) {
    const struct {
        std::string Word;
        const char* Exec; // nil: refused
    } rows[] = {
        {"/usr/bin/glimracode", R"("/usr/bin/glimracode")"},
        {"/home/ann/100% sure/glimracode", R"("/home/ann/100%% sure/glimracode")"},
        {"/a/%c%u%f", R"("/a/%%c%%u%%f")"},
        {"/a/\"q\"/`x`", R"("/a/\\"q\\"/\\`x\\`")"},
        {"/a/back\\slash", R"("/a/back\\\\slash")"},
        {"/a/\u00e9t\u00e9/\u65e5", "\"/a/\u00e9t\u00e9/\u65e5\""},
        {"/a/new\nline", nullptr},
        {"/a/carriage\rreturn", nullptr},
        {"/a/tab\there", nullptr},
        {"/a/\x7f", nullptr},
        {"/a/latin\xe9", nullptr},
        {"/a/\xed\xa0\x80", nullptr},
    };
    for (const auto& row : rows) {
        std::string why;
        const std::optional<std::string> exec = DesktopExecArgument(row.Word, why);
        if (row.Exec == nullptr) {
            EXPECT_FALSE(exec) << row.Word;
            EXPECT_FALSE(why.empty()) << row.Word;
            continue;
        }
        ASSERT_EQ(exec.value_or("(refused: " + why + ")"), row.Exec) << row.Word;
        // Read back as a desktop reads it: the key file's string, field codes, then the shell's words.
        GKeyFile* file = g_key_file_new();
        ASSERT_TRUE(g_key_file_load_from_data(file, ("[E]\nExec=" + *exec + "\n").c_str(), -1,
                                              G_KEY_FILE_NONE, nullptr));
        gchar* value = g_key_file_get_string(file, "E", "Exec", nullptr);
        std::string command = value;
        for (size_t at = command.find("%%"); at != std::string::npos; at = command.find("%%", at + 1))
            command.erase(at, 1);
        gchar** words = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(command.c_str(), nullptr, &words, nullptr)) << command;
        EXPECT_EQ(words[0], row.Word);
        EXPECT_EQ(words[1], nullptr);
        g_strfreev(words);
        g_free(value);
        g_key_file_free(file);
    }
}

// What stands at a path, told so that any change shows: its kind, inode, size, time and contents.
std::string Snapshot(const fs::path& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return "missing";
    std::string state = std::to_string(status.st_mode) + " " + std::to_string(status.st_ino) + " " +
                        std::to_string(status.st_size) + " " + std::to_string(status.st_mtim.tv_nsec);
    if (S_ISLNK(status.st_mode))
        state += " -> " + fs::read_symlink(path).string();
    if (S_ISREG(status.st_mode))
        state += " " + ReadText(path);
    return state;
}

// Only an entry that GlimraCode wrote is ever replaced or removed; anything else at the name is told
// and left exactly as it was, by --autostart on and off alike (and the dialog, which calls the same).
TEST(AutostartTest, WhatIsNotOurOwnEntryIsToldAndLeftAsItIs) {
    std::string unused;
    const std::string ours = *AutostartEntryText("/opt/g/glimracode", 4, unused);
    const std::string legacy = "[Desktop Entry]\nExec=\"/opt/g/glimracode\" --idle 12\n";
    const struct {
        const char* Name;
        std::function<void(const fs::path&)> Make;
        const char* Told; // "" for success: then on leaves our entry and off nothing
    } rows[] = {
        {"nothing", [](const fs::path&) {}, ""},
        {"our entry", [&](const fs::path& p) { WriteText(p, ours); }, ""},
        {"an entry of an older GlimraCode", [&](const fs::path& p) { WriteText(p, legacy); }, ""},
        {"a hand-written entry",
         [](const fs::path& p) {
             WriteText(p, "[Desktop Entry]\nExec=\"/opt/g/glimracode\" --idle 5 --x\n");
         },
         "is not an entry that GlimraCode wrote"},
        {"a link to our entry",
         [&](const fs::path& p) {
             WriteText(p.parent_path() / "real", ours);
             fs::create_symlink("real", p);
         },
         "is a symbolic link"},
        {"a dangling link", [](const fs::path& p) { fs::create_symlink("nowhere", p); },
         "is a symbolic link"},
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, "is a FIFO"},
        {"a socket",
         [](const fs::path& p) {
             sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
             p.string().copy(address.sun_path, sizeof address.sun_path - 1);
             const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             close(fd);
         },
         "is a socket"},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }, "is a folder"},
        {"another user's entry",
         [&](const fs::path& p) {
             WriteText(p, ours);
             ASSERT_EQ(geteuid() != 0 || chown(p.c_str(), 65534, 65534) == 0, true);
         },
         geteuid() == 0 ? "belongs to another user" : ""},
    };
    for (const auto& row : rows)
        for (const bool on : {true, false}) {
            TemporaryFolder folder;
            setenv("XDG_CONFIG_HOME", folder.Path.c_str(), 1);
            const fs::path entry = AutostartEntryPath();
            fs::create_directories(entry.parent_path());
            row.Make(entry);
            const std::string before = Snapshot(entry);
            const std::string told =
                on ? WriteAutostartEntry("/opt/g/glimracode", 4) : RemoveAutostartEntry("/opt/g/glimracode");
            const std::string name = std::string(row.Name) + (on ? ", on" : ", off");
            if (*row.Told != '\0') {
                EXPECT_NE(told.find(row.Told), std::string::npos) << name << ": " << told;
                EXPECT_NE(told.find("it is left as it is"), std::string::npos) << name << ": " << told;
                EXPECT_EQ(Snapshot(entry), before) << name;
            } else {
                EXPECT_EQ(told, "") << name;
                EXPECT_EQ(on ? ReadText(entry) : Snapshot(entry), on ? ours : "missing") << name;
            }
        }
    unsetenv("XDG_CONFIG_HOME");
}

// The minutes are stored only once the entry is written, and an entry written for minutes that cannot
// be stored is put back as it was.
TEST(AutostartTest, MinutesAndEntryChangeTogetherOrNotAtAll) {
    TemporaryFolder folder;
    setenv("XDG_CONFIG_HOME", folder.Path.c_str(), 1);
    const fs::path entry = AutostartEntryPath();
    FileSettingsStore store((folder.Path / "settings.reg").string());
    store.SetLockWait(std::chrono::milliseconds(100));

    WriteText(folder.Path / "autostart", "a file where the folder should be");
    EXPECT_NE(SetIdleAutostart(store, true, 7).find("Not a directory"), std::string::npos);
    EXPECT_EQ(ReadIdleMinutes(store), std::nullopt);

    fs::remove(folder.Path / "autostart");
    ASSERT_EQ(SetIdleAutostart(store, true, 3), "");
    const std::string three = ReadText(entry);
    EXPECT_NE(three.find(" --idle 3\n"), std::string::npos) << three;
    {
        const AtomicFileLock held((folder.Path / "settings.reg").string());
        EXPECT_NE(SetIdleAutostart(store, true, 9), "");
        EXPECT_FALSE(store.WriteProblem().empty());
    }
    EXPECT_EQ(ReadText(entry), three);
    EXPECT_EQ(ReadIdleMinutes(store), 3);
    unsetenv("XDG_CONFIG_HOME");
}

// Settings and autostart entry find the home folder one way: $HOME when absolute, else the user
// database; never "/.config".
TEST(AutostartTest, TheSettingsAndTheEntryShareTheHomeFolder) {
    const std::string saved = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    unsetenv("XDG_CONFIG_HOME");
    const std::string database = getpwuid(geteuid())->pw_dir;
    const struct {
        const char* Home; // nil: unset
        std::string Expected;
    } rows[] = {{"/home/ann", "/home/ann"}, {nullptr, database}, {"", database}, {"relative", database}};
    for (const auto& row : rows) {
        if (row.Home != nullptr)
            setenv("HOME", row.Home, 1);
        else
            unsetenv("HOME");
        EXPECT_EQ(HomeFolder(), row.Expected);
        EXPECT_EQ(AutostartEntryPath(), row.Expected + "/.config/autostart/glimracode.desktop");
        EXPECT_EQ(FileSettingsStore::DefaultPath(), row.Expected + "/.config/glimracode/settings.reg");
    }
    setenv("HOME", saved.c_str(), 1);
}

TEST(AutostartTest, KeepsTheIdleMinutesBesideTheSettings) {
    TemporaryFolder folder;
    const std::string path = folder.Path / "settings.reg";
    WriteText(path, std::string(Header) + "\"Delay\"=dword:00000032\r\n");
    FileSettingsStore store(path);
    EXPECT_EQ(ReadIdleMinutes(store), std::nullopt);
    ASSERT_TRUE(StoreIdleMinutes(store, 25));
    EXPECT_EQ(ReadIdleMinutes(store), 25);
    EXPECT_NE(ReadText(path).find("\"Delay\"=dword:00000032"), std::string::npos) << "the other values stay";

    // Values that no dialog of ours could have written read as missing.
    for (const char* line : {"\"Linux Idle Minutes\"=dword:00000000", "\"Linux Idle Minutes\"=dword:000005a1",
                             "\"Linux Idle Minutes\"=\"10\""}) {
        WriteText(path, std::string(Header) + line + "\r\n");
        FileSettingsStore again(path);
        EXPECT_EQ(ReadIdleMinutes(again), std::nullopt) << line;
    }
}

} // namespace
