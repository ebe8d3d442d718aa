#include "settings/StoreCases.h"

#include <climits>
#include <ostream>

std::vector<uint8_t> DwordBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

RawValue Dword(uint32_t value) {
    return {GlimraValueType::Dword, DwordBytes(value)};
}

RawValue Sz(std::string_view text) {
    RawValue value{GlimraValueType::String, std::vector<uint8_t>(text.begin(), text.end())};
    value.Data.push_back(0);
    return value;
}

void PrintTo(const RawValue& value, std::ostream* out) {
    *out << "type " << static_cast<uint32_t>(value.Type) << ", " << value.Data.size() << " bytes:";
    static const char* digits = "0123456789abcdef";
    for (size_t i = 0; i < value.Data.size() && i < 64; ++i)
        *out << ' ' << digits[value.Data[i] >> 4] << digits[value.Data[i] & 0xF];
    if (value.Data.size() > 64)
        *out << " ...";
}

void PrintTo(const vGlimraSettings& settings, std::ostream* out) {
    *out << "{";
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        *out << " " << setting.Name << ": ";
        if (setting.IsText())
            *out << '"' << settings.FontName.substr(0, 40)
                 << (settings.FontName.size() > 40 ? "...\"" : "\"");
        else
            *out << static_cast<int32_t>(settings.Number(setting));
    }
    *out << " }";
}

vGlimraSettings UnusualSettings() {
    vGlimraSettings settings;
    settings.Delay = 40;
    settings.Saturation = 70;
    settings.FontSize = 14;
    settings.FontName = "Courier New";
    settings.Horizontal = false;
    settings.Vertical = true;
    settings.StartChar = 33;
    settings.EndChar = 126;
    settings.Volatility = 33;
    settings.Creature = 11;
    settings.CreatureStartColor = 0x00112233;
    settings.CreatureEndColor = 0x00445566;
    settings.CreatureStates = 21;
    settings.FlipperStartColor = 0x00778899;
    settings.FlipperMidColor = 0x00AABBCC;
    settings.FlipperEndColor = 0x00DDEEFF;
    settings.FlipperStates = 22;
    settings.SpeedRange = 7;
    settings.Blank = 12;
    settings.Static = 13;
    settings.StaticStartColor = 0x00010203;
    settings.StaticMidColor = 0x00040506;
    settings.StaticEndColor = 0x00070809;
    settings.StaticStates = 23;
    settings.Nothing = 14;
    return settings;
}

void PutAll(StoreHarness& harness, const vGlimraSettings& settings, std::string_view except) {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        if (setting.Name == except)
            continue;
        harness.Put(setting.Name, setting.IsText() ? Sz(settings.FontName) : Dword(settings.Number(setting)));
    }
}

vGlimraSettings DefaultsWithRowsFrom(const vGlimraSettings& source, size_t first, size_t end) {
    vGlimraSettings settings;
    for (size_t row = first; row < end; ++row) {
        const GlimraSettingInfo& setting = GlimraSettingsTable[row];
        if (setting.IsText())
            settings.FontName = source.FontName;
        else
            settings.SetNumber(setting, source.Number(setting));
    }
    return settings;
}

namespace {
constexpr size_t FontNameRow = 13;
}

TEST_P(StoreCases, WithNoKeyAtAllLoadKeepsEveryDefaultAndMakesTheKeyOnlyWhereTheStoreDoes) {
    ASSERT_FALSE(Harness().KeyExists());
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    EXPECT_EQ(settings, vGlimraSettings());
    EXPECT_EQ(Harness().KeyExists(), Harness().LoadMakesTheKey());
}

TEST_P(StoreCases, AMissingSaturationStopsReadingRightAfterDelay) {
    PutAll(Harness(), UnusualSettings(), "Saturation");
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    vGlimraSettings expected;
    expected.Delay = UnusualSettings().Delay;
    EXPECT_EQ(settings, expected);
}

TEST_P(StoreCases, ADelayStoredAsAStringLoadsNothing) {
    PutAll(Harness(), UnusualSettings());
    Harness().Put("Delay", Sz("40"));
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    EXPECT_EQ(settings, vGlimraSettings());
}

TEST_P(StoreCases, AMissingFontNameReadsAsEmptyAndReadingGoesOn) {
    PutAll(Harness(), UnusualSettings(), "Font Name");
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    vGlimraSettings expected = UnusualSettings();
    expected.FontName.clear();
    EXPECT_EQ(settings, expected);
}

TEST_P(StoreCases, AFontNameStoredAsANumberStopsReadingThere) {
    PutAll(Harness(), UnusualSettings());
    Harness().Put("Font Name", Dword(7));
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    EXPECT_EQ(settings, DefaultsWithRowsFrom(UnusualSettings(), 0, FontNameRow));
}

TEST_P(StoreCases, AHorizontalOfTwoReadsAsTrueAndIsSavedBackAsOne) {
    PutAll(Harness(), UnusualSettings());
    Harness().Put("Horizontal", Dword(2));
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    EXPECT_TRUE(settings.Horizontal);
    settings.Save(Harness().Store());
    EXPECT_EQ(Harness().Get("Horizontal"), Dword(1));
}

TEST_P(StoreCases, AColourKeepsItsTopByteThroughLoadAndSave) {
    PutAll(Harness(), UnusualSettings());
    Harness().Put("Creature Start Color", Dword(0xFF123456));
    vGlimraSettings settings;
    settings.Load(Harness().Store());
    EXPECT_EQ(settings.CreatureStartColor, 0xFF123456u);
    settings.Save(Harness().Store());
    EXPECT_EQ(Harness().Get("Creature Start Color"), Dword(0xFF123456));
}

TEST_P(StoreCases, SaveThenLoadGivesAnEqualRecordEvenForValuesNoDialogOffers) {
    vGlimraSettings saved = UnusualSettings();
    saved.Delay = 0;
    saved.Saturation = INT32_MIN;
    saved.Creature = -5;
    saved.StartChar = 300;
    saved.EndChar = 20;
    saved.Nothing = INT32_MAX;
    saved.StaticEndColor = 0xFFFFFFFF;
    saved.FontName = "Name with \"quotes\", \\back\\slashes\\ and = signs";
    saved.Save(Harness().Store());

    vGlimraSettings loaded;
    loaded.Load(Harness().Store());
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(Harness().Get("Saturation"), Dword(0x80000000));
    EXPECT_EQ(Harness().Get("Font Name"), Sz(saved.FontName));
}

TEST_P(StoreCases, SaveReplacesAValueOfAnotherTypeAndLeavesForeignValuesAlone) {
    Harness().Put("Delay", Sz("100"));
    const RawValue foreign{GlimraValueType::Binary, {1, 2, 3, 0, 255}};
    Harness().Put("Not Ours", foreign);
    UnusualSettings().Save(Harness().Store());
    EXPECT_EQ(Harness().Get("Delay"), Dword(40));
    EXPECT_EQ(Harness().Get("Not Ours"), foreign);
}

TEST_P(StoreCases, AnEmptyFontNameIsSavedAsOneZeroByteAndLoadsEmpty) {
    vGlimraSettings saved = UnusualSettings();
    saved.FontName.clear();
    saved.Save(Harness().Store());
    EXPECT_EQ(Harness().Get("Font Name"), Sz(""));
    vGlimraSettings loaded;
    loaded.Load(Harness().Store());
    EXPECT_EQ(loaded, saved);
}
