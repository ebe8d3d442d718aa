#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/SettingsFiles.h"
#include "settings/StoreCases.h"

namespace {

namespace fs = std::filesystem;

// Seeds the settings key by writing the file directly, as a user's editor would.
class FileHarness final : public StoreHarness {
public:
    FileHarness() : m_path(m_folder.File("settings.reg")), m_store(m_path) {}
    GlimraSettingsStore& Store() override { return m_store; }
    void Put(std::string_view name, const RawValue& value) override {
        std::erase_if(m_values, [&](const auto& entry) { return entry.first == name; });
        m_values.emplace_back(name, value);
        std::string text = "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n";
        for (const auto& [valueName, raw] : m_values)
            text += ValueLine(valueName, raw) + "\r\n";
        WriteBytes(m_path, text + "\r\n");
    }
    std::optional<RawValue> Get(std::string_view name) override {
        return ReadRaw(m_path, SettingsKeyPath, name);
    }
    bool KeyExists() override {
        FileSettingsStore reader(m_path, FileSettingsStore::Access::ReadOnly);
        GlimraStoreKey key = 0;
        if (!reader.OpenKey(SettingsKeyPath, key))
            return false;
        reader.CloseKey(key);
        return true;
    }
    bool LoadMakesTheKey() const override { return false; }

private:
    TemporaryFolder m_folder;
    std::string m_path;
    FileSettingsStore m_store;
    std::vector<std::pair<std::string, RawValue>> m_values;
};

std::unique_ptr<StoreHarness> MakeFileHarness() {
    return std::make_unique<FileHarness>();
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(File, StoreCases, ::testing::Values(&MakeFileHarness), StoreName);

TEST(FileSettingsStore, TheDefaultPathFollowsXdgConfigHomeWhenItIsAbsolute) {
    const ScopedEnvironment home("HOME", "/home/glimra");
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", "/etc/xdg-user");
        EXPECT_EQ(FileSettingsStore::DefaultPath(), "/etc/xdg-user/glimracode/settings.reg");
        EXPECT_EQ(FileSettingsStore().Path(), FileSettingsStore::DefaultPath());
    }
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(FileSettingsStore::DefaultPath(), "/home/glimra/.config/glimracode/settings.reg");
    }
    const ScopedEnvironment config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(FileSettingsStore::DefaultPath(), "/home/glimra/.config/glimracode/settings.reg");
}

TEST(FileSettingsStore, ANewFileIsARegedit4ExportOfTheKeyMadeInMissingFolders) {
    TemporaryFolder folder;
    const std::string path = folder.File("config/glimracode/settings.reg");
    EXPECT_EQ(SaveError(UnusualSettings(), path), "");
    const std::string expected =
        "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" + OurLines(UnusualSettings()) + "\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 077, 0u) << "settings are the user's own";
}

TEST(FileSettingsStore, ReadsEscapesContinuedByteListsCommentsAndOtherKeys) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    WriteBytes(path, "REGEDIT4\n"
                     "\n"
                     "; made by hand\n"
                     "[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra\\Sub]\n"
                     "\"Delay\"=dword:00000001\n"
                     "\n"
                     "[hkey_current_user\\software\\klov\\glimra]\n"
                     "@=\"a default value\"\n"
                     "\"DELAY\"=dword:28\n"
                     "\"Saturation\"=hex(4):46,00,00,00\n"
                     "  \"Font Size\" = DWORD:0000000e\n"
                     "\"Font Name\"=hex(2):4c,75,63,69,64,61,20,22,\\\n"
                     "  5c,22,00\n"
                     "\"Volatility\"=dword:ffffffff\n"
                     "\"Horizontal\"=dword:00000000\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\n"
                     "\"Vertical\"=dword:00000001\n");
    const vGlimraSettings settings = LoadFrom(path);
    EXPECT_EQ(settings.Delay, 40) << "the key's own value, not the subkey's";
    EXPECT_EQ(settings.Saturation, 70);
    EXPECT_EQ(settings.FontSize, 14);
    EXPECT_EQ(settings.Volatility, -1);
    EXPECT_FALSE(settings.Horizontal);
    EXPECT_TRUE(settings.Vertical) << "a key's sections add up";
    EXPECT_EQ(settings.Creature, 50) << "a missing value stops reading";
    EXPECT_EQ(
        ReadRaw(path, SettingsKeyPath, "Font Name"),
        (RawValue{GlimraValueType::ExpandString, {'L', 'u', 'c', 'i', 'd', 'a', ' ', '"', '\\', '"', 0}}));
    EXPECT_EQ(ReadRaw(path, SettingsKeyPath, ""), Sz("a default value"));

    WriteBytes(path, "REGEDIT4\n\n" + std::string(OurKey) +
                         "\n\"Font Name\"=\"Back\\\\slash \\\"quoted\\\"\\\\\"\n");
    EXPECT_EQ(ReadRaw(path, SettingsKeyPath, "Font Name"), Sz("Back\\slash \"quoted\"\\"));
}

// A file exported by Windows: UTF-16LE with a byte-order mark, CRLF, other keys around ours, values
// of many types, non-ASCII text, a continued expandable string, and a value of ours that is unknown.
TEST(FileSettingsStore, RoundTripsAWindowsExportWithoutLosingAByteItDoesNotOwn) {
    const std::u16string before =
        u"Windows Registry Editor Version 5.00\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Other]\r\n"
        u"\"Title\"=\"Gr\u00FC\u00DFe \u2603 \U0001D11E \\\"quoted\\\"\"\r\n"
        u"\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\r\n"
        u"  45,00,25,00,5c,00,00,00\r\n"
        u"\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        u"\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
        u"\"Blob\"=hex:de,ad,be,ef\r\n"
        u"@=\"\"\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n";
    const std::u16string fontName = u"\"Font Name\"=hex(2):4c,00,75,00,63,00,69,00,64,00,61,00,00,00\r\n";
    const std::u16string after = u"\"Window Placement\"=hex:2c,00,00,00,00,00,00,00\r\n"
                                 u"\r\n"
                                 u"[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra\\History]\r\n"
                                 u"\"Delay\"=dword:00000007\r\n"
                                 u"\r\n";
    auto widen = [](std::string_view text) { return std::u16string(text.begin(), text.end()); };
    std::string oursBefore, oursAfter;
    {
        const std::string lines = OurLines(UnusualSettings());
        const size_t font = lines.find("\"Font Name\"");
        oursBefore = lines.substr(0, font);
        oursAfter = lines.substr(lines.find('\n', font) + 1);
    }
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    WriteBytes(path, Utf16Le(before + widen(oursBefore) + fontName + widen(oursAfter) + after));

    vGlimraSettings settings = LoadFrom(path);
    vGlimraSettings expected = UnusualSettings();
    expected.FontName = "Lucida";
    ASSERT_EQ(settings, expected);
    EXPECT_EQ(ReadRaw(path, "Software\\Other", "Title"), Sz("Gr\xC3\xBC\xC3\x9F"
                                                            "e \xE2\x98\x83 \xF0\x9D\x84\x9E \"quoted\""));
    EXPECT_EQ(ReadRaw(path, "Software\\Other", "Path"),
              (RawValue{GlimraValueType::ExpandString,
                        {'%', 'U', 'S', 'E', 'R', 'P', 'R', 'O', 'F', 'I', 'L', 'E', '%', '\\', 0}}));
    EXPECT_EQ(ReadRaw(path, "Software\\Other", "List"),
              (RawValue{GlimraValueType::MultiString, {'a', 0, 'b', 0, 0}}));

    settings.Delay = 999;
    settings.FontName = "Courier New";
    settings.Vertical = false;
    EXPECT_EQ(SaveError(settings, path), "");
    const std::string saved = OurLines(settings);
    EXPECT_EQ(ReadBytes(path), Utf16Le(before + widen(saved) + after));
    EXPECT_EQ(LoadFrom(path), settings);
}

TEST(FileSettingsStore, AFileKeepsItsEncodingAndLineEndsAndGainsTheKeyAtItsEnd) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    const std::string original =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"Text\"=\"caf\xC3\xA9\"";
    WriteBytes(path, original);
    EXPECT_EQ(SaveError(UnusualSettings(), path), "");
    EXPECT_EQ(ReadBytes(path),
              original + "\n\n" + std::string(OurKey) + "\n" + OurLines(UnusualSettings(), "\n"));
    EXPECT_EQ(ReadRaw(path, "Software\\Other", "Text"), Sz("caf\xC3\xA9"));
}

TEST(FileSettingsStore, ASpoiledLineFailsTheReadOfItsValueAndSaveReplacesOnlyOurLines) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    std::string lines = OurLines(UnusualSettings());
    const size_t font = lines.find("\"Font Name\"");
    lines.replace(font, lines.find('\r', font) - font, "\"Font Name\"=\"Unterminated");
    const std::string junk = "this line means nothing\r\n\"broken name=dword:1\r\n[unclosed key\r\n";
    WriteBytes(path, "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" + junk + lines +
                         "\"Delay\"=dword:0000zz\r\n");

    EXPECT_EQ(LoadFrom(path), vGlimraSettings())
        << "the last line naming Delay decides it, and it is spoiled";

    WriteBytes(path, "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" + junk + lines);
    EXPECT_EQ(LoadFrom(path), DefaultsWithRowsFrom(UnusualSettings(), 0, 13));
    EXPECT_EQ(ReadRaw(path, SettingsKeyPath, "Font Name")->Type, GlimraValueType::None);

    EXPECT_EQ(SaveError(UnusualSettings(), path), "");
    EXPECT_EQ(ReadBytes(path),
              "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" + junk + OurLines(UnusualSettings()));
}

TEST(FileSettingsStore, ValuesNamedTwiceReadTheLastAndSaveLeavesOne) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    WriteBytes(path, "REGEDIT4\r\n\r\n" + std::string(OurKey) +
                         "\r\n\"Delay\"=dword:00000001\r\n\"Other\"=dword:2\r\n" + std::string(OurKey) +
                         "\r\n\"delay\"=dword:00000003\r\n\"Gone\"=-\r\n");
    vGlimraSettings settings = LoadFrom(path);
    EXPECT_EQ(settings.Delay, 3);
    EXPECT_FALSE(ReadRaw(path, SettingsKeyPath, "Gone")) << "a deletion line names no value";
    settings.Delay = 4;
    EXPECT_EQ(SaveError(settings, path), "");
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.find("\"delay\""), std::string::npos);
    EXPECT_EQ(text.find("\"Delay\"=dword:00000004\r\n\"Other\"=dword:2\r\n"), 12 + OurKey.size() + 2);
    EXPECT_NE(text.find("\"Gone\"=-\r\n"), std::string::npos);
}

TEST(FileSettingsStore, AReadOnlyStoreNeverCreatesOrChangesAnything) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    EXPECT_EQ(LoadFrom(path), vGlimraSettings());
    EXPECT_EQ(SaveError(UnusualSettings(), path, FileSettingsStore::Access::ReadOnly),
              "Failed to set data for 'Delay'");
    EXPECT_TRUE(folder.Entries().empty());

    const std::string text = "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" + OurLines(UnusualSettings());
    WriteBytes(path, text);
    EXPECT_EQ(LoadFrom(path), UnusualSettings());
    EXPECT_EQ(SaveError(vGlimraSettings(), path, FileSettingsStore::Access::ReadOnly),
              "Failed to set data for 'Delay'");
    EXPECT_EQ(ReadBytes(path), text);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"settings.reg"});
}

TEST(FileSettingsStore, WhatIsNoRegistryExportIsReadAsNothingAndNeverWritten) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    const std::string valid = std::string(OurKey) + "\r\n" + OurLines(UnusualSettings());
    for (const std::string& text : {"; REGEDIT4\r\n\r\n" + valid, "REGEDIT5\r\n" + valid, "\xFE\xFF" + valid,
                                    std::string("\0\0\0\0", 4), "REGEDIT4\r" + valid}) {
        WriteBytes(path, text);
        EXPECT_EQ(LoadFrom(path, FileSettingsStore::Access::ReadWrite), vGlimraSettings());
        EXPECT_EQ(SaveError(UnusualSettings(), path), "Failed to set data for 'Delay'");
        EXPECT_EQ(ReadBytes(path), text);
    }
    std::string oversized = "REGEDIT4\r\n\r\n" + valid;
    oversized.resize(2 << 20, '\n');
    WriteBytes(path, oversized);
    EXPECT_EQ(LoadFrom(path), vGlimraSettings());
    EXPECT_EQ(SaveError(UnusualSettings(), path), "Failed to set data for 'Delay'");
    EXPECT_EQ(ReadBytes(path), oversized);

    // An odd byte at the end of a UTF-16 file could not be written back as it was.
    WriteBytes(path, Utf16Le(u"REGEDIT4\r\n\r\n") + "\x41");
    EXPECT_EQ(SaveError(UnusualSettings(), path), "Failed to set data for 'Delay'");

    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(LoadFrom(path, FileSettingsStore::Access::ReadWrite), vGlimraSettings());
    EXPECT_EQ(SaveError(UnusualSettings(), path), "Failed to set data for 'Delay'");
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(LoadFrom(path, FileSettingsStore::Access::ReadWrite), vGlimraSettings()) << "and does not hang";
}

TEST(FileSettingsStore, ALinkedSettingsFileIsWrittenWhereItPoints) {
    TemporaryFolder folder;
    const std::string target = folder.File("dotfiles.reg");
    const std::string link = folder.File("settings.reg");
    WriteBytes(target, "REGEDIT4\r\n");
    fs::create_symlink(target, link);
    EXPECT_EQ(SaveError(UnusualSettings(), link), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(LoadFrom(target), UnusualSettings());
}

// Every prefix of a real file, then random mutations of it: reading never crashes, and a Save
// either succeeds completely or leaves the file as it was.
TEST(FileSettingsStore, HostileFilesNeverCrashAndAreNeverWrittenHalfway) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    const std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"L\"=hex(2):41,42,\\\r\n  43,00\r\n\r\n" +
        std::string(OurKey) + "\r\n" + OurLines(UnusualSettings());
    const std::string wide =
        Utf16Le(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n"
                u"\"Font Name\"=hex(2):41,00,42,00,\\\r\n  00,00\r\n\"Delay\"=\"x\"\r\n");
    auto check = [&](const std::string& bytes, bool save) {
        WriteBytes(path, bytes);
        const vGlimraSettings loaded = LoadFrom(path);
        (void)loaded;
        if (!save)
            return;
        if (SaveError(UnusualSettings(), path).empty())
            EXPECT_EQ(LoadFrom(path), UnusualSettings()) << ::testing::PrintToString(bytes) << "\n=>\n"
                                                         << ::testing::PrintToString(ReadBytes(path));
        else
            EXPECT_EQ(ReadBytes(path), bytes);
    };
    for (size_t size = 0; size <= text.size(); ++size)
        check(text.substr(0, size), size % 97 == 0);
    for (size_t size = 0; size <= wide.size(); ++size)
        check(wide.substr(0, size), size % 53 == 0);

    std::mt19937 random(7);
    const std::string alphabet = "\"\\=,:[]@-;()\r\n\t xdwordhex0123456789abcdefABCDEF\0\xFF";
    for (int round = 0; round < 400; ++round) {
        std::string bytes = round % 2 ? text : wide;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int edit = 0; edit < edits; ++edit) {
            const size_t at = random() % bytes.size();
            const char c = random() % 4 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
            if (random() % 2)
                bytes[at] = c;
            else
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), c);
        }
        check(bytes, round % 25 == 0);
    }

    // Enormous lines: a name of most of a megabyte, and a byte list continued over many lines.
    const std::string longName =
        "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n" +
        OurLines(UnusualSettings()).substr(0, OurLines(UnusualSettings()).find("\"Font Name\"")) +
        "\"Font Name\"=\"" + std::string(900000, 'n') + "\"\r\n";
    WriteBytes(path, longName);
    EXPECT_EQ(LoadFrom(path).FontName, std::string(MaxFontNameBytes, 'n'));
    std::string longList = "REGEDIT4\r\n\r\n" + std::string(OurKey) + "\r\n\"Delay\"=hex(4):64";
    while (longList.size() < 1000000)
        longList += ",\\\r\n  00";
    WriteBytes(path, longList + "\r\n");
    EXPECT_EQ(LoadFrom(path), vGlimraSettings()) << "a dword of many bytes stops reading";
    EXPECT_EQ(SaveError(UnusualSettings(), path), "");
    EXPECT_EQ(LoadFrom(path), UnusualSettings());
}

// A writer killed at any moment leaves a file that parses completely and holds one whole record,
// the old or the new: a Save replaces the whole file once. What the killed writers leave behind is
// removed by the next Save.
TEST(FileSettingsStore, AWriterKilledInTheMiddleOfSaveNeverLeavesATornOrMixedFile) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    const vGlimraSettings first = UnusualSettings();
    vGlimraSettings second;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable)
        second.SetNumber(setting, first.Number(setting) + 1000);
    second.Vertical = false;
    second.FontName = std::string(200, 'w');
    ASSERT_EQ(SaveError(first, path), "");

    std::mt19937 random(11);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileSettingsStore store(path);
            for (unsigned i = 0;; ++i) {
                vGlimraSettings settings = i % 2 ? first : second;
                try {
                    settings.Save(store);
                } catch (...) {
                    _exit(3);
                }
            }
        }
        usleep(1000 + random() % 20000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own, status " << status;

        const vGlimraSettings loaded = LoadFrom(path);
        EXPECT_TRUE(loaded == first || loaded == second)
            << "after round " << round << ": " << ::testing::PrintToString(loaded);
        EXPECT_TRUE(ReadBytes(path).ends_with("\r\n\r\n"));
    }
    ASSERT_EQ(SaveError(first, path), "");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"settings.reg", "settings.reg.lock"}));
}

// Without the lock, two writers would each read the file, add their value and overwrite the
// other's work.
TEST(FileSettingsStore, TwoProcessesWritingAtOnceLoseNoValue) {
    TemporaryFolder folder;
    const std::string path = folder.File("settings.reg");
    constexpr int ValuesEach = 40;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (const char* keyPath : {"Software\\GlimraTest\\A", "Software\\GlimraTest\\B"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(gate[1]);
            char go = 0;
            if (read(gate[0], &go, 1) != 0)
                _exit(4);
            FileSettingsStore store(path);
            GlimraStoreKey key = 0;
            if (!store.OpenKey(keyPath, key))
                _exit(5);
            for (int i = 0; i < ValuesEach; ++i) {
                const std::vector<uint8_t> data = DwordBytes(static_cast<uint32_t>(i));
                if (!store.WriteValue(key, "V" + std::to_string(i), GlimraValueType::Dword, data))
                    _exit(6);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    close(gate[0]);
    close(gate[1]);
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    for (const char* keyPath : {"Software\\GlimraTest\\A", "Software\\GlimraTest\\B"}) {
        for (int i = 0; i < ValuesEach; ++i)
            EXPECT_EQ(ReadRaw(path, keyPath, "V" + std::to_string(i)), Dword(static_cast<uint32_t>(i)))
                << keyPath << i;
    }
}
