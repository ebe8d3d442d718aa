#include <gtest/gtest.h>

#include <glib.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/idle/Autostart.h"
#include "platform/idle/DesktopEntryExec.h"
#include "platform/idle/IdleMode.h"
#include "platform/linux/GlimraLockFile.h"
#include "platform/posix/FileSettingsStore.h"

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
        {{"--autostart=on", "20"}, A::AutostartOn, 20, {}, false},
        {{"--idle", "5", "--help"}, A::None, {}, {}, false},
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

// Each accepted path reads back, as a desktop reads Exec (the key file's string, field codes, then the
// shell's words), as exactly one word: itself.
TEST(AutostartTest, AnExecArgumentRunsExactlyThatFileOrIsRefused) {
    for (const std::string word : {"/usr/bin/glimracode", "/home/ann/100% sure/%c%u%f", "/a/\"q\"/`x`$HOME",
                                   "/a/back\\slash", "/a/\u00e9t\u00e9/\u65e5", "/a/new\nline",
                                   "/a/cr\rtab\t", "/a/\x7f", "/a/latin\xe9", "/a/\xed\xa0\x80"}) {
        std::string why;
        const std::optional<std::string> exec = DesktopExecArgument(word, why);
        const bool refusable = word.find_first_of("\n\r\t\x7f\xe9\xed") != std::string::npos;
        EXPECT_EQ(!exec, refusable) << word;
        EXPECT_EQ(why.empty(), !refusable) << word;
        if (!exec)
            continue;
        g_autoptr(GKeyFile) file = g_key_file_new();
        ASSERT_TRUE(
            g_key_file_load_from_data(file, ("[E]\nExec=" + *exec).c_str(), -1, G_KEY_FILE_NONE, nullptr));
        g_autofree gchar* value = g_key_file_get_string(file, "E", "Exec", nullptr);
        std::string command;
        for (size_t i = 0; value[i] != '\0'; ++i) {
            if (value[i] == '%' && value[++i] != '%') { // any other field code would be expanded
                ADD_FAILURE() << word << ": a field code in " << value;
                break;
            }
            command += value[i];
        }
        g_auto(GStrv) words = nullptr;
        ASSERT_TRUE(g_shell_parse_argv(command.c_str(), nullptr, &words, nullptr)) << command;
        EXPECT_EQ(words[0], word);
        EXPECT_EQ(words[1], nullptr);
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
    return S_ISREG(status.st_mode) ? state + " " + ReadText(path) : state;
}

// Whatever stands at the entry's name: only an entry that GlimraCode wrote is replaced or removed,
// anything else is told and left exactly as it was, by --autostart on and off alike (and the dialog,
// which calls the same). Whatever stands at the lock's name in the runtime folder: the lock moves to
// the private folder under /tmp when it cannot be used there, and two holders still exclude each other.
TEST(AutostartTest, WhatIsNotOursIsToldAndLeftAndTheLockMovesAwayFromIt) {
    std::string unused;
    const std::string ours = *AutostartEntryText("/opt/g/glimracode", 4, unused);
    const std::string lockName = "glimra-test-" + std::to_string(getpid()) + ".lock";
    const bool root = geteuid() == 0;
    const struct {
        const char* Name;
        std::function<void(const fs::path&)> Make;
        const char* Told; // "": on leaves our entry, off nothing
        bool LockMoves;
    } rows[] = {
        {"nothing", [](const fs::path&) {}, "", false},
        {"our entry", [&](const fs::path& p) { WriteText(p, ours); }, "", false},
        {"an older GlimraCode's entry",
         [](const fs::path& p) { WriteText(p, "[Desktop Entry]\nExec=\"/opt/g/glimracode\" --idle 12\n"); },
         "", false},
        {"a hand-written entry",
         [](const fs::path& p) { WriteText(p, "[Desktop Entry]\nExec=\"/opt/g/glimracode\" --idle 5 -x\n"); },
         "is not an entry that GlimraCode wrote", false},
        {"a link to our entry",
         [&](const fs::path& p) {
             WriteText(p.parent_path() / "real", ours);
             fs::create_symlink("real", p);
         },
         "is a symbolic link", true},
        {"a dangling link", [](const fs::path& p) { fs::create_symlink("nowhere", p); }, "is a symbolic link",
         true},
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(mknod(p.c_str(), S_IFIFO | 0644, 0), 0); }, "is a FIFO",
         true},
        {"a socket", [](const fs::path& p) { ASSERT_EQ(mknod(p.c_str(), S_IFSOCK | 0644, 0), 0); },
         "is a socket", true},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }, "is a folder", true},
        {"another user's entry (as root)",
         [&](const fs::path& p) {
             WriteText(p, ours);
             ASSERT_TRUE(!root || chown(p.c_str(), 65534, 65534) == 0);
         },
         root ? "belongs to another user" : "", root},
    };
    for (const auto& row : rows)
        for (const char* action : {"on", "off", "lock"}) {
            TemporaryFolder folder;
            setenv("XDG_CONFIG_HOME", folder.Path.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", folder.Path.c_str(), 1);
            const bool lock = *action == 'l', on = action[1] == 'n';
            const fs::path path = lock ? folder.Path / lockName : fs::path(AutostartEntryPath());
            fs::create_directories(path.parent_path());
            row.Make(path);
            const std::string before = Snapshot(path), name = std::string(row.Name) + ", " + action;
            if (lock) {
                GlimraLockFile first, second;
                EXPECT_EQ(first.AcquireNamed(lockName), GlimraLockFile::Result::Acquired) << name;
                EXPECT_EQ(first.Path() != path.string(), row.LockMoves) << name;
                EXPECT_EQ(second.AcquireNamed(lockName), GlimraLockFile::Result::HeldElsewhere) << name;
                EXPECT_TRUE(!row.LockMoves || Snapshot(path) == before) << name;
                continue;
            }
            const std::string told =
                on ? WriteAutostartEntry("/opt/g/glimracode", 4) : RemoveAutostartEntry("/opt/g/glimracode");
            if (*row.Told == '\0') {
                EXPECT_EQ(told, "") << name;
                EXPECT_EQ(on ? ReadText(path) : Snapshot(path), on ? ours : "missing") << name;
                continue;
            }
            EXPECT_NE(told.find(std::string(row.Told) + "; it is left as it is"), std::string::npos)
                << name << told;
            EXPECT_EQ(Snapshot(path), before) << name;
        }
    fs::remove(GlimraLockFile::PrivateTmpPath(lockName));
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_RUNTIME_DIR");
}

// The minutes are stored only once the entry is written, and an entry written for minutes that cannot
// be stored is put back as it was.
TEST(AutostartTest, MinutesAndEntryChangeTogetherOrNotAtAll) {
    TemporaryFolder folder;
    setenv("XDG_CONFIG_HOME", folder.Path.c_str(), 1);
    FileSettingsStore store((folder.Path / "settings.reg").string());
    store.SetLockWait(std::chrono::milliseconds(100));
    WriteText(folder.Path / "autostart", "a file where the folder should be");
    EXPECT_NE(SetIdleAutostart(store, true, 7).find("Not a directory"), std::string::npos);
    EXPECT_EQ(ReadIdleMinutes(store), std::nullopt);

    fs::remove(folder.Path / "autostart");
    ASSERT_EQ(SetIdleAutostart(store, true, 3), "");
    const std::string three = ReadText(AutostartEntryPath());
    {
        const AtomicFileLock held((folder.Path / "settings.reg").string());
        EXPECT_NE(SetIdleAutostart(store, true, 9), "");
        EXPECT_NE(store.WriteProblem(), "");
    }
    EXPECT_EQ(ReadText(AutostartEntryPath()), three);
    EXPECT_EQ(ReadIdleMinutes(store), 3);
    unsetenv("XDG_CONFIG_HOME");
}

// Settings and autostart entry find the home folder one way: $HOME when absolute, else the user
// database; never "/.config".
TEST(AutostartTest, TheSettingsAndTheEntryShareTheHomeFolder) {
    const std::string saved = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    const std::string database = getpwuid(geteuid())->pw_dir;
    unsetenv("XDG_CONFIG_HOME");
    for (const char* home : {"/home/ann", "", "relative", static_cast<const char*>(nullptr)}) {
        home != nullptr ? setenv("HOME", home, 1) : unsetenv("HOME");
        const std::string expected = home != nullptr && *home == '/' ? home : database;
        EXPECT_EQ(AutostartEntryPath(), expected + "/.config/autostart/glimracode.desktop");
        EXPECT_EQ(FileSettingsStore::DefaultPath(), expected + "/.config/glimracode/settings.reg");
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
