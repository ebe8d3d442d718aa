#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/idle/Autostart.h"
#include "platform/idle/IdleMode.h"
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
    EXPECT_EQ(RemoveAutostartEntry(), "") << "removing a missing entry is no failure";

    ASSERT_EQ(WriteAutostartEntry("/opt/my apps/glimra$code", 7), "");
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0U);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    // Quoted for the space, with $ escaped once for Exec and the backslash once more for the value.
    EXPECT_NE(text.find("\nExec=\"/opt/my apps/glimra\\\\$code\" --idle 7\n"), std::string::npos) << text;

    EXPECT_EQ(RemoveAutostartEntry(), "");
    EXPECT_FALSE(fs::exists(path));
    unsetenv("XDG_CONFIG_HOME");
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
