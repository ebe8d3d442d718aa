#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings/GlimraOptions.h"
#include "support/MemorySettingsStore.h"

namespace {

const GlimraSettingInfo& Row(std::string_view name) {
    const GlimraSettingInfo* setting = FindSetting(name);
    EXPECT_NE(setting, nullptr) << name;
    return *setting;
}

std::vector<uint8_t> Dword(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

// Remembers what each control was last given, and the order of the calls.
class RecordingView final : public GlimraOptionsView {
public:
    void ShowPosition(const GlimraSettingInfo& setting, int32_t position) override {
        Shown[std::string(setting.Name)] = std::to_string(position);
        Calls.emplace_back(setting.Name);
    }
    void ShowChecked(const GlimraSettingInfo& setting, bool checked) override {
        Shown[std::string(setting.Name)] = checked ? "checked" : "clear";
        Calls.emplace_back(setting.Name);
    }
    void ShowColour(const GlimraSettingInfo& setting, uint32_t colour) override {
        Shown[std::string(setting.Name)] = std::to_string(colour);
        Calls.emplace_back(setting.Name);
    }
    void ShowFont(const std::string& face, int32_t points) override {
        Shown["font"] = face + " " + std::to_string(points);
        Calls.emplace_back("font");
    }
    void ShowSample(const GlimraSettingInfo& setting, const std::string& text) override {
        Samples[std::string(setting.Name)] = text;
        ++SampleCalls;
    }

    std::map<std::string, std::string> Shown;
    std::map<std::string, std::string> Samples;
    std::vector<std::string> Calls;
    int SampleCalls = 0;
};

class GlimraOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { InstallSettingsStore(&m_store); }
    void TearDown() override { InstallSettingsStore(nullptr); }

    void Put(std::string_view name, uint32_t value) {
        m_store.PutValue(SettingsKeyPath, name, GlimraValueType::Dword, Dword(value));
    }
    std::optional<MemorySettingsStore::Value> Stored(std::string_view name) const {
        return m_store.FindValue(SettingsKeyPath, name);
    }
    // Every value of the store as a Load on a fresh record sees it.
    vGlimraSettings Reloaded() {
        vGlimraSettings settings;
        settings.Load(m_store);
        return settings;
    }

    MemorySettingsStore m_store;
    RecordingView m_view;
    GlimraOptions m_options{m_view};
};

TEST(GlimraOptionsRules, OnlyTheLowSixteenBitsAsASignedNumberReachThePairThenTheRangeLimitsThem) {
    const GlimraSettingInfo& delay = Row("Delay");
    EXPECT_EQ(PositionFromStored(delay, 100), 100);
    EXPECT_EQ(PositionFromStored(delay, 6000), 5000);
    EXPECT_EQ(PositionFromStored(delay, 70000), 4464);
    EXPECT_EQ(PositionFromStored(delay, 5000), 5000);
    EXPECT_EQ(PositionFromStored(delay, 0), 0);
    // 0x8000 and above are negative in 16 bits, whatever the upper half says.
    EXPECT_EQ(PositionFromStored(delay, 0x00008000), 0);
    EXPECT_EQ(PositionFromStored(delay, 0xFFFF0001), 1);
    EXPECT_EQ(PositionFromStored(Row("Creature"), static_cast<uint32_t>(-5)), 0);
    EXPECT_EQ(PositionFromStored(Row("Start Char"), 255), 254);
    EXPECT_EQ(PositionFromStored(Row("Speed Range"), 21), 20);
}

TEST(GlimraOptionsRules, OnlyAWholeNumberWithinTheRangeMovesThePair) {
    const GlimraSettingInfo& start = Row("Start Char");
    EXPECT_EQ(PositionFromText(start, "0"), 0);
    EXPECT_EQ(PositionFromText(start, "254"), 254);
    EXPECT_EQ(PositionFromText(start, "007"), 7);
    EXPECT_EQ(PositionFromText(start, "+12"), 12);
    EXPECT_EQ(PositionFromText(start, "-0"), 0);
    for (const std::string_view text :
         {"255", "300", "-1", "", "-", "12a", " 12", "1,000", "1.5", "99999999999999999999"})
        EXPECT_EQ(PositionFromText(start, text), std::nullopt) << "'" << text << "'";
    EXPECT_EQ(PositionFromText(Row("Delay"), "5000"), 5000);
    EXPECT_EQ(PositionFromText(Row("Delay"), "5001"), std::nullopt);
}

TEST(GlimraOptionsRules, ASampleIsTheLowByteOfThePositionAndNothingForCodeZero) {
    EXPECT_EQ(SampleText(0), "");
    EXPECT_EQ(SampleText(65), "A");
    EXPECT_EQ(SampleText(193), std::string(1, static_cast<char>(193)));
    EXPECT_EQ(SampleText(254), std::string(1, static_cast<char>(254)));
    EXPECT_EQ(SampleText(256 + 66), "B");
}

TEST(GlimraOptionsRules, TheLoadOrderNamesEverySettingOnce) {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable)
        EXPECT_EQ(std::count(LoadControlsOrder.begin(), LoadControlsOrder.end(), setting.Id), 1)
            << setting.Name;
}

TEST_F(GlimraOptionsTest, LoadingFillsTheControlsInTheDialogsOrder) {
    m_options.LoadControls(true);
    const std::vector<std::string> expected{"Delay",
                                            "Saturation",
                                            "Volatility",
                                            "Creature",
                                            "Blank",
                                            "Static",
                                            "Horizontal",
                                            "Vertical",
                                            "Nothing",
                                            "Creature Start Color",
                                            "Creature End Color",
                                            "Creature States",
                                            "font",
                                            "Start Char",
                                            "End Char",
                                            "Flipper Start Color",
                                            "Flipper Mid Color",
                                            "Flipper End Color",
                                            "Static Start Color",
                                            "Static Mid Color",
                                            "Static End Color",
                                            "Flipper States",
                                            "Static States",
                                            "Speed Range"};
    EXPECT_EQ(m_view.Calls, expected);
}

TEST_F(GlimraOptionsTest, OutOfRangeValuesAreShownLimitedAndSavedLimited) {
    Put("Delay", 6000);
    Put("Saturation", 70000);
    Put("Font Size", 12);
    Put("Volatility", 10);
    Put("Horizontal", 2);
    Put("Vertical", 0);
    Put("Creature", static_cast<uint32_t>(-5));
    m_options.LoadControls(true);
    EXPECT_EQ(m_view.Shown["Delay"], "5000");
    EXPECT_EQ(m_view.Shown["Saturation"], "100");
    EXPECT_EQ(m_view.Shown["Creature"], "0");
    EXPECT_EQ(m_view.Shown["Horizontal"], "checked");
    // Loading stopped at the missing "Blank": the rest shows defaults.
    EXPECT_EQ(m_view.Shown["Blank"], "50");
    EXPECT_EQ(m_view.Shown["font"], "Japanese Generic1 12");

    m_options.StoreControls();
    const vGlimraSettings saved = Reloaded();
    EXPECT_EQ(saved.Delay, 5000);
    EXPECT_EQ(saved.Saturation, 100);
    EXPECT_EQ(saved.Creature, 0);
    EXPECT_TRUE(saved.Horizontal);
    EXPECT_EQ(saved.FontSize, 12);
    EXPECT_EQ(Stored("Horizontal")->Data, Dword(1));
}

TEST_F(GlimraOptionsTest, ColoursKeepAllTheirBitsAndTheFontItsFaceAndSize) {
    Put("Delay", 100);
    m_options.LoadControls(true);
    m_options.SetColour(Row("Static Mid Color"), 0x00123456);
    EXPECT_EQ(m_view.Shown["Static Mid Color"], std::to_string(0x00123456));
    m_options.FontChosen("Courier New", 22);
    EXPECT_EQ(m_view.Shown["font"], "Courier New 22");
    m_options.SetChecked(Row("Vertical"), true);
    m_options.StoreControls();
    const vGlimraSettings saved = Reloaded();
    EXPECT_EQ(saved.StaticMidColor, 0x00123456u);
    EXPECT_EQ(saved.FontName, "Courier New");
    EXPECT_EQ(saved.FontSize, 22);
    EXPECT_TRUE(saved.Vertical);
    EXPECT_EQ(saved.CreatureStartColor, 0x00C6FF00u);
}

TEST_F(GlimraOptionsTest, InvalidTextKeepsTheLastValidPositionAndSample) {
    m_options.LoadControls(true);
    const GlimraSettingInfo& start = Row("Start Char");
    m_options.EditChanged(start, "65");
    EXPECT_EQ(m_options.Position(start), 65);
    EXPECT_EQ(m_view.Samples["Start Char"], "A");
    const int calls = m_view.SampleCalls;
    m_options.EditChanged(start, "300");
    EXPECT_EQ(m_view.SampleCalls, calls + 1);
    EXPECT_EQ(m_options.Position(start), 65);
    EXPECT_EQ(m_view.Samples["Start Char"], "A");
    m_options.EditChanged(start, "");
    EXPECT_EQ(m_options.Position(start), 65);
    m_options.StoreControls();
    EXPECT_EQ(Reloaded().StartChar, 65);
}

TEST_F(GlimraOptionsTest, OnlyTheCharacterPairsHaveSamples) {
    m_options.LoadControls(true);
    EXPECT_EQ(m_view.Samples.size(), 2u);
    EXPECT_EQ(m_view.Samples["Start Char"], std::string(1, static_cast<char>(193)));
    EXPECT_EQ(m_view.Samples["End Char"], std::string(1, static_cast<char>(237)));
    m_options.EditChanged(Row("Delay"), "7");
    EXPECT_EQ(m_view.Samples.size(), 2u);
    m_options.EditChanged(Row("End Char"), "0");
    EXPECT_EQ(m_view.Samples["End Char"], "");
}

TEST_F(GlimraOptionsTest, AStartCharacterAboveTheEndIsSavedAsEntered) {
    m_options.LoadControls(true);
    m_options.EditChanged(Row("Start Char"), "200");
    m_options.EditChanged(Row("End Char"), "100");
    m_options.StoreControls();
    const vGlimraSettings saved = Reloaded();
    EXPECT_EQ(saved.StartChar, 200);
    EXPECT_EQ(saved.EndChar, 100);
}

TEST_F(GlimraOptionsTest, DefaultsChangeTheControlsButNotTheStoreUntilStored) {
    Put("Delay", 900);
    Put("Saturation", 40);
    m_options.LoadControls(true);
    m_options.EditChanged(Row("Nothing"), "33");
    m_options.Defaults();
    EXPECT_EQ(m_view.Shown["Delay"], "100");
    EXPECT_EQ(m_view.Shown["Nothing"], "0");
    EXPECT_EQ(Stored("Delay")->Data, Dword(900));
    EXPECT_TRUE(m_store.Writes().empty());

    m_options.StoreControls();
    EXPECT_EQ(m_store.Writes().size(), 25u);
    EXPECT_EQ(Reloaded(), vGlimraSettings());
    EXPECT_EQ(Stored("Font Name")->Type, GlimraValueType::String);
    EXPECT_EQ(Stored("Horizontal")->Type, GlimraValueType::Dword);
}

TEST_F(GlimraOptionsTest, DefaultsDoNotReadTheStore) {
    Put("Delay", 900);
    m_options.Defaults();
    EXPECT_EQ(m_options.Position(Row("Delay")), 100);
}

TEST_F(GlimraOptionsTest, ARefusedSaveRaisesItsMessageAndKeepsTheValuesBeforeIt) {
    m_options.LoadControls(true);
    m_options.EditChanged(Row("Delay"), "250");
    m_store.FailWritingOf("Creature");
    try {
        m_options.StoreControls();
        FAIL() << "no error";
    } catch (const GlimraSettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Creature'");
    }
    EXPECT_EQ(Stored("Delay")->Data, Dword(250));
    EXPECT_FALSE(Stored("Blank").has_value());
}

} // namespace
