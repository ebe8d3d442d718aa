// What the settings file store writes, and when: never on reading, a Save whole or not at all, never
// past the bound it reads, and a word on stderr for a file it refuses.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/SettingsFiles.h"
#include "settings/StoreCases.h"

namespace {

namespace fs = std::filesystem;

// The saver's and the dialog's store: read-write, on the file's path.
vGlimraSettings LoadAsTheSaverDoes(const std::string& path) {
    return LoadFrom(path, FileSettingsStore::Access::ReadWrite);
}

// A record that differs from UnusualSettings in every value.
vGlimraSettings OtherSettings() {
    vGlimraSettings settings;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable)
        settings.SetNumber(setting, UnusualSettings().Number(setting) + 7);
    settings.Vertical = !UnusualSettings().Vertical;
    settings.FontName = "Other Face";
    return settings;
}

// Runs work in a child process and hands back what it wrote to the pipe.
template <typename Work> std::string InChild(Work work) {
    int channel[2];
    if (pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const std::string answer = work();
        [[maybe_unused]] const ssize_t written = write(channel[1], answer.data(), answer.size());
        _exit(0);
    }
    close(channel[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(got));
    close(channel[0]);
    waitpid(child, nullptr, 0);
    return answer;
}

} // namespace

TEST(SettingsFileWrites, LoadingNeverCreatesOrChangesAnything) {
    TemporaryFolder folder;
    const std::string missing = folder.File("config/glimracode/settings.reg");
    EXPECT_EQ(LoadAsTheSaverDoes(missing), vGlimraSettings());
    EXPECT_TRUE(folder.Entries().empty()) << "no folder, no file, no lock";

    const std::string path = folder.File("settings.reg");
    const std::string foreign =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"A\"=dword:00000001\r\n";
    WriteBytes(path, foreign);
    EXPECT_EQ(LoadAsTheSaverDoes(path), vGlimraSettings());
    EXPECT_EQ(ReadBytes(path), foreign) << "a file without our key gains nothing by being read";
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"settings.reg"});

    EXPECT_EQ(SaveError(UnusualSettings(), path), "") << "the first Save makes the key";
    EXPECT_EQ(ReadBytes(path),
              foreign + "\r\n" + std::string(OurKey) + "\r\n" + OurLines(UnusualSettings()) + "\r\n");
}

// A full disk in the middle of a Save: the file size limit stands in for it.
TEST(SettingsFileWrites, ASaveThatFailsStoresNothingAndNamesTheFirstValueNotStored) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    ASSERT_EQ(SaveError(UnusualSettings(), path), "");
    const std::string before = ReadBytes(path);
    vGlimraSettings bigger = OtherSettings();
    bigger.FontName = std::string(400, 'f');
    const std::string message = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size() + 100, before.size() + 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        return SaveError(bigger, path);
    });
    EXPECT_EQ(message, "Failed to set data for 'Delay'");
    EXPECT_EQ(ReadBytes(path), before) << "not even Delay is stored";
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"settings.reg", "settings.reg.lock"}));
}

// Failures the user can mend are told in words, and store nothing.
TEST(SettingsFileWrites, ASaveRefusedForAReasonTheUserCanMendSaysWhyAndWritesNothing) {
    const std::string problems[] = {"is read-only; nothing was saved.", ".lock' cannot be used"};
    for (int row = 0; row < 2; ++row) {
        TemporaryFolder folder;
        const std::string path = folder.File("settings.reg"), lock = path + ".lock";
        ASSERT_EQ(SaveError(UnusualSettings(), path), "");
        if (row == 0)
            chmod(path.c_str(), 0444);
        if (row == 1 && fs::remove(lock))
            fs::create_symlink(path + ".made", lock);
        const std::string before = ReadBytes(path);
        const std::vector<std::string> entries = folder.Entries();
        FileSettingsStore store(path);
        vGlimraSettings settings = OtherSettings();
        EXPECT_THROW(settings.Save(store), GlimraSettingsError) << row;
        EXPECT_NE(store.WriteProblem().find(problems[row]), std::string::npos) << store.WriteProblem();
        EXPECT_EQ(ReadBytes(path), before) << row;
        EXPECT_EQ(folder.Entries(), entries) << row;
    }
}

// The dialog on two displays: whatever the order, every reader sees one whole record.
TEST(SettingsFileWrites, SavesAtOnceSerialiseAndEveryReaderSeesOneWholeRecord) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    ASSERT_EQ(SaveError(UnusualSettings(), path), "");
    std::vector<pid_t> children;
    for (const vGlimraSettings& record : {UnusualSettings(), OtherSettings()}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileSettingsStore store(path);
            for (int i = 0; i < 40; ++i) {
                vGlimraSettings copy = record;
                try {
                    copy.Save(store);
                } catch (...) {
                    _exit(3);
                }
            }
            _exit(0);
        }
        children.push_back(child);
    }
    // Reads for as long as the writers write.
    int loads = 0, mixed = 0, running = 2;
    while (running > 0) {
        const vGlimraSettings loaded = LoadFrom(path);
        ++loads;
        mixed += loaded == UnusualSettings() || loaded == OtherSettings() ? 0 : 1;
        for (pid_t& child : children) {
            int status = 0;
            if (child != 0 && waitpid(child, &status, WNOHANG) == child) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
                child = 0;
                --running;
            }
        }
    }
    EXPECT_GT(loads, 10);
    EXPECT_EQ(mixed, 0);
    const vGlimraSettings last = LoadFrom(path);
    EXPECT_TRUE(last == UnusualSettings() || last == OtherSettings());
}

TEST(SettingsFileWrites, ASaveThatWouldCrossTheReadingBoundFailsAndWritesNothing) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Padding\"=\"";
    text += std::string(FileSettingsStore::MaxFileBytes - 2000, 'p') + "\"\r\n\r\n" + std::string(OurKey) +
            "\r\n" + OurLines(UnusualSettings());
    WriteBytes(path, text);
    ASSERT_EQ(LoadFrom(path), UnusualSettings());

    vGlimraSettings longer = OtherSettings();
    EXPECT_EQ(SaveError(longer, path), "") << "a Save that stays within the bound is stored";
    longer.FontName = std::string(3000, 'n');
    EXPECT_EQ(SaveError(longer, path), "Failed to set data for 'Delay'");
    EXPECT_LE(ReadBytes(path).size(), FileSettingsStore::MaxFileBytes);
    EXPECT_EQ(LoadFrom(path), OtherSettings()) << "the file still reads, as the last Save left it";
}

// Writers' process ids: one above the kernel's highest, which no process has, and init's.
TEST(SettingsFileWrites, ASaveRemovesWhatKilledWritersLeftAndNothingElse) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    const std::string dead = ".settings.reg.4194305.", live = ".settings.reg.1.Ab12Cd";
    for (const std::string& name : std::initializer_list<std::string>{
             dead + "Ab12Cd", dead + "zzzzzz", dead + "Ab12C", dead + "Ab-2Cd", live, ".settings.reg.backup",
             ".settings.reg.2024ok", ".other.reg.Ab12Cd", "settings.reg.Ab12Cd"})
        WriteBytes(folder.File(name), "REGEDIT4\r\n");
    fs::create_directory(folder.File(dead + "Folder"));
    ASSERT_EQ(SaveError(UnusualSettings(), path), "");
    EXPECT_EQ(folder.Entries(),
              (std::vector<std::string>{".other.reg.Ab12Cd", live, ".settings.reg.2024ok", dead + "Ab-2Cd",
                                        dead + "Ab12C", dead + "Folder", ".settings.reg.backup",
                                        "settings.reg", "settings.reg.Ab12Cd", "settings.reg.lock"}));
}

TEST(SettingsFileWrites, ARefusedFileIsToldOnceWithItsNameAndReason) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    auto refusal = [&](bool twice = false) {
        FileSettingsStore store(path, FileSettingsStore::Access::ReadWrite);
        ::testing::internal::CaptureStderr();
        vGlimraSettings settings;
        settings.Load(store);
        if (twice)
            settings.Load(store);
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(settings, vGlimraSettings());
        EXPECT_EQ(told.empty(), store.Refusal().empty());
        if (!told.empty()) {
            EXPECT_NE(told.find("'" + path + "' " + store.Refusal()), std::string::npos) << told;
            EXPECT_EQ(told.find('\n'), told.size() - 1) << "once: " << told;
        }
        return store.Refusal();
    };
    EXPECT_EQ(refusal(), "") << "a missing file is no refusal";
    WriteBytes(path, "; REGEDIT4\r\n");
    EXPECT_NE(refusal(true).find("is not a registry export"), std::string::npos);
    WriteBytes(path, "REGEDIT4\r\n" + std::string(FileSettingsStore::MaxFileBytes, ';'));
    EXPECT_EQ(refusal(), "is larger than 1048576 bytes");
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(refusal(), "is not a regular file");
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(refusal(), "is not a regular file");
    fs::remove(path);
    WriteBytes(path, "REGEDIT4\r\n");
    chmod(path.c_str(), 0);
    if (access(path.c_str(), R_OK) != 0) {
        EXPECT_EQ(refusal(), "cannot be opened: Permission denied");
    }
}
