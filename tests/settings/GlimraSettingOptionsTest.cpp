#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "settings/GlimraSettingOptions.h"
#include "support/MemorySettingsStore.h"

namespace {

// A command line as main gets it.
struct CommandLine {
    explicit CommandLine(std::vector<std::string> words) : m_words(std::move(words)) {
        for (std::string& word : m_words)
            m_argv.push_back(word.data());
    }
    int Argc() const { return static_cast<int>(m_argv.size()); }
    char** Argv() { return m_argv.data(); }

private:
    std::vector<std::string> m_words;
    std::vector<char*> m_argv;
};

std::string Refusal(std::vector<std::string> words) {
    CommandLine line(std::move(words));
    GlimraSettingOverrides overrides;
    try {
        overrides.TakeAll(line.Argc(), line.Argv());
    } catch (const GlimraSettingsError& error) {
        return error.what();
    }
    return "(accepted)";
}

} // namespace

TEST(GlimraSettingOptions, OptionsOverrideWhatWasLoadedAndLeaveTheRestOfTheCommandLine) {
    CommandLine line({"glimracode", "--root", "--delay", "50", "--no-flip-horizontal", "--flip-vertical",
                      "--creature-start-color", "#00ffC6", "--font", "Other Face", "--font-size", "12",
                      "--sweeper-weight", "0", "--end-char", "254", "--window-id"});
    GlimraSettingOverrides overrides;
    const std::vector<char*> rest = overrides.TakeAll(line.Argc(), line.Argv());
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_STREQ(rest[1], "--root");
    EXPECT_STREQ(rest[2], "--window-id");

    vGlimraSettings settings;
    overrides.ApplyTo(settings);
    EXPECT_EQ(settings.Delay, 50);
    EXPECT_FALSE(settings.Horizontal);
    EXPECT_TRUE(settings.Vertical);
    EXPECT_EQ(settings.CreatureStartColor, 0x00C6FF00u)
        << "#RRGGBB is red first; a colour value keeps red low";
    EXPECT_EQ(settings.FontName, "Other Face");
    EXPECT_EQ(settings.FontSize, 12);
    EXPECT_EQ(settings.Blank, 0);
    EXPECT_EQ(settings.EndChar, 254);
    EXPECT_EQ(settings.Saturation, 5) << "what no option names keeps its value";
}

TEST(GlimraSettingOptions, ValuesTheDialogWouldNotOfferAreRefusedNamingTheOptionAndRange) {
    EXPECT_EQ(Refusal({"g", "--delay", "5001"}), "--delay takes a whole number from 0 to 5000, not '5001'");
    EXPECT_EQ(Refusal({"g", "--saturation", "-1"}),
              "--saturation takes a whole number from 0 to 100, not '-1'");
    EXPECT_EQ(Refusal({"g", "--speed-range", "3x"}),
              "--speed-range takes a whole number from 0 to 20, not '3x'");
    EXPECT_EQ(Refusal({"g", "--start-char", ""}), "--start-char takes a whole number from 0 to 254, not ''");
    EXPECT_EQ(Refusal({"g", "--font-size", "0"}), "--font-size takes a whole number from 1 to 400, not '0'");
    EXPECT_EQ(Refusal({"g", "--creature-states"}),
              "--creature-states takes a whole number from 0 to 50, and none was given");
    EXPECT_EQ(Refusal({"g", "--static-mid-color", "00FF00"}),
              "--static-mid-color takes a colour #RRGGBB, from #000000 to #FFFFFF, not '00FF00'");
    EXPECT_EQ(Refusal({"g", "--flipper-end-color", "#12345G"}),
              "--flipper-end-color takes a colour #RRGGBB, from #000000 to #FFFFFF, not '#12345G'");
    EXPECT_EQ(Refusal({"g", "--font", std::string(32, 'x')}),
              "--font takes a font name of 1 to 31 characters, not '" + std::string(32, 'x') + "'");
    EXPECT_EQ(Refusal({"g", "--delay", "5000", "--nothing-weight", "100", "--font", std::string(31, 'x')}),
              "(accepted)");
}

TEST(GlimraSettingOptions, LoadingAppliesInstalledOverridesAfterTheStoreWhateverTheStoreLacks) {
    MemorySettingsStore store; // empty: reading stops at the first value, so all keep defaults
    InstallSettingsStore(&store);
    CommandLine line({"g", "--speed-range", "7", "--static-start-color", "#FF0000"});
    GlimraSettingOverrides overrides;
    overrides.TakeAll(line.Argc(), line.Argv());
    InstallSettingOverrides(&overrides);
    vGlimraSettings settings;
    LoadWithOverrides(settings);
    EXPECT_EQ(settings.SpeedRange, 7);
    EXPECT_EQ(settings.StaticStartColor, 0x000000FFu);
    InstallSettingOverrides(nullptr);
    settings.Load();
    EXPECT_EQ(settings.SpeedRange, 7) << "an empty store leaves the record as it was";
    vGlimraSettings fresh;
    fresh.Load();
    EXPECT_EQ(fresh.SpeedRange, 3);
    InstallSettingsStore(nullptr);
}

// The settings panel of XScreenSaver is built from this description: every setting must be there
// with the option the programs take, its range and its default.
TEST(GlimraSettingOptions, TheXScreenSaverDescriptionOffersEverySettingWithItsRangeAndDefault) {
    const std::string xml = XScreenSaverDescription("glimracode", "GlimraCode");
    EXPECT_NE(xml.find("<screensaver name=\"glimracode\" _label=\"GlimraCode\">"), std::string::npos);
    EXPECT_NE(xml.find("<command arg=\"--root\"/>"), std::string::npos);
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const std::string option(GlimraSettingOptionsTable[static_cast<size_t>(setting.Id)].Option);
        std::string expected;
        if (setting.Control == GlimraSettingControl::CheckBox) {
            expected =
                setting.Default != 0 ? "arg-unset=\"--no-" + option + "\"" : "arg-set=\"--" + option + "\"";
        } else if (setting.IsText() || setting.Control == GlimraSettingControl::ColourPanel) {
            expected = "<string id=\"" + option + "\"";
        } else {
            const auto [low, high] = OptionRange(setting);
            expected = "arg=\"--" + option + " %\"";
            const std::regex number("<number id=\"" + option + "\"[^>]* low=\"" + std::to_string(low) +
                                    "\" high=\"" + std::to_string(high) + "\" default=\"" +
                                    std::to_string(static_cast<int32_t>(setting.Default)) + "\"/>");
            EXPECT_TRUE(std::regex_search(xml, number)) << setting.Name;
        }
        EXPECT_NE(xml.find(expected), std::string::npos) << setting.Name << ": " << expected;
    }
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '<') - std::count(xml.begin(), xml.end(), '>'), 0);
}

// The manual pages list every option with its range and default as the table has them.
TEST(GlimraSettingOptions, TheManualPagesListEveryOptionAsTheTableHasIt) {
    const std::string entries = SettingOptionsManual();
    for (const GlimraSettingOption& option : GlimraSettingOptionsTable) {
        std::string flag;
        for (const char c : "--" + std::string(option.Option))
            flag += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(entries.find(flag), std::string::npos) << option.Option;
    }
    EXPECT_NE(entries.find("Tick delay (ms), 0 to 5000; 100 by default."), std::string::npos);
#ifdef GLIMRA_SOURCE_DIR // the manual pages are the Linux programs'
    for (const char* page : {"glimracode.6", "glimracode-render.6"}) {
        std::ifstream in(std::string(GLIMRA_SOURCE_DIR "/packaging/linux/man/") + page);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(text.empty()) << page;
        EXPECT_NE(text.find(entries), std::string::npos)
            << page << " does not hold the options as the settings table gives them; paste the output of "
            << "glimra-describe-settings --manual into it";
    }
#endif
}

TEST(GlimraSettingOptions, ColoursReadAndWriteAsRedGreenBlue) {
    EXPECT_EQ(ColourFromHex("#0080FF"), 0x00FF8000u);
    EXPECT_EQ(HexFromColour(0x00FF8000u), "#0080FF");
    EXPECT_EQ(HexFromColour(0xFF000000u), "#000000") << "only the low three bytes are a colour";
    for (const char* bad : {"", "#", "#12345", "#1234567", "123456 ", "#-12345", "#+12345"})
        EXPECT_EQ(ColourFromHex(bad), std::nullopt) << bad;
}
