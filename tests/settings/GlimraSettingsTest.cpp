#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "settings/GlimraSettings.h"
#include "settings/StoreCases.h"
#include "support/MemorySettingsStore.h"

namespace {

class MemoryHarness final : public StoreHarness {
public:
    GlimraSettingsStore& Store() override { return m_store; }
    void Put(std::string_view name, const RawValue& value) override {
        m_store.PutValue(SettingsKeyPath, name, value.Type, value.Data);
    }
    std::optional<RawValue> Get(std::string_view name) override {
        const auto value = m_store.FindValue(SettingsKeyPath, name);
        if (!value)
            return std::nullopt;
        return RawValue{value->Type, value->Data};
    }
    bool KeyExists() override { return m_store.HasKey(SettingsKeyPath); }

private:
    MemorySettingsStore m_store;
};

std::unique_ptr<StoreHarness> MakeMemoryHarness() {
    return std::make_unique<MemoryHarness>();
}

// Installs a store for one test and removes it again, so that no test sees another's store.
class InstalledStore {
public:
    explicit InstalledStore(GlimraSettingsStore* store) { InstallSettingsStore(store); }
    ~InstalledStore() { InstallSettingsStore(nullptr); }
};

std::string SaveError(vGlimraSettings& settings, GlimraSettingsStore& store) {
    try {
        settings.Save(store);
    } catch (const GlimraSettingsError& error) {
        return error.what();
    }
    return "no error";
}

void PutUnusual(MemorySettingsStore& store) {
    MemoryHarness harness;
    PutAll(harness, UnusualSettings());
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const auto value = harness.Get(setting.Name);
        store.PutValue(SettingsKeyPath, setting.Name, value->Type, value->Data);
    }
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Memory, StoreCases, ::testing::Values(&MakeMemoryHarness), StoreName);

TEST(GlimraSettings, SetDefaultsUndoesEveryChange) {
    vGlimraSettings settings = UnusualSettings();
    settings.SetDefaults();
    EXPECT_EQ(settings, vGlimraSettings());
    EXPECT_EQ(settings.FontName, "Japanese Generic1");
}

// A row bound to the wrong field would survive every round trip, so the values go in by name and
// come out by field.
TEST(GlimraSettings, EveryValueNameLandsInItsOwnField) {
    MemorySettingsStore store;
    PutUnusual(store);
    vGlimraSettings settings;
    settings.Load(store);
    const vGlimraSettings unusual = UnusualSettings();
    EXPECT_EQ(settings.Delay, 40);
    EXPECT_EQ(settings.Saturation, 70);
    EXPECT_EQ(settings.FontSize, 14);
    EXPECT_EQ(settings.FontName, "Courier New");
    EXPECT_FALSE(settings.Horizontal);
    EXPECT_TRUE(settings.Vertical);
    EXPECT_EQ(settings.StartChar, 33);
    EXPECT_EQ(settings.EndChar, 126);
    EXPECT_EQ(settings.Volatility, 33);
    EXPECT_EQ(settings.Creature, 11);
    EXPECT_EQ(settings.CreatureStartColor, 0x00112233u);
    EXPECT_EQ(settings.CreatureEndColor, 0x00445566u);
    EXPECT_EQ(settings.CreatureStates, 21);
    EXPECT_EQ(settings.FlipperStartColor, 0x00778899u);
    EXPECT_EQ(settings.FlipperMidColor, 0x00AABBCCu);
    EXPECT_EQ(settings.FlipperEndColor, 0x00DDEEFFu);
    EXPECT_EQ(settings.FlipperStates, 22);
    EXPECT_EQ(settings.SpeedRange, 7);
    EXPECT_EQ(settings.Blank, 12);
    EXPECT_EQ(settings.Static, 13);
    EXPECT_EQ(settings.StaticStartColor, 0x00010203u);
    EXPECT_EQ(settings.StaticMidColor, 0x00040506u);
    EXPECT_EQ(settings.StaticEndColor, 0x00070809u);
    EXPECT_EQ(settings.StaticStates, 23);
    EXPECT_EQ(settings.Nothing, 14);
    EXPECT_EQ(settings, unusual);
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(GlimraSettings, SaveWritesEveryValueInRegistryOrderUnderTheOneKey) {
    MemorySettingsStore store;
    UnusualSettings().Save(store);
    const std::vector<std::string> order{"Delay",
                                         "Saturation",
                                         "Font Size",
                                         "Volatility",
                                         "Horizontal",
                                         "Vertical",
                                         "Creature",
                                         "Blank",
                                         "Static",
                                         "Nothing",
                                         "Creature Start Color",
                                         "Creature End Color",
                                         "Creature States",
                                         "Font Name",
                                         "Flipper Start Color",
                                         "Flipper Mid Color",
                                         "Flipper End Color",
                                         "Static Start Color",
                                         "Static Mid Color",
                                         "Static End Color",
                                         "Flipper States",
                                         "Static States",
                                         "Start Char",
                                         "End Char",
                                         "Speed Range"};
    EXPECT_EQ(store.Writes(), order);
    EXPECT_TRUE(store.HasKey("software\\klov\\GLIMRA")) << "key paths ignore case";
    EXPECT_EQ(store.FindValue(SettingsKeyPath, "Vertical")->Data, DwordBytes(1));
    EXPECT_EQ(store.FindValue(SettingsKeyPath, "Horizontal")->Data, DwordBytes(0));
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(GlimraSettings, AWriteThatFailsStopsSaveWithItsNameAndKeepsWhatWasWritten) {
    MemorySettingsStore store;
    store.FailWritingOf("Nothing");
    vGlimraSettings settings = UnusualSettings();
    EXPECT_EQ(SaveError(settings, store), "Failed to set data for 'Nothing'");
    EXPECT_EQ(store.Writes().size(), 10u) << "nothing is tried after the failing value";
    EXPECT_EQ(store.FindValue(SettingsKeyPath, "Static")->Data, DwordBytes(13));
    EXPECT_FALSE(store.FindValue(SettingsKeyPath, "Nothing"));
    EXPECT_FALSE(store.FindValue(SettingsKeyPath, "Creature Start Color"));
    EXPECT_EQ(store.OpenKeyCount(), 0u) << "the key is closed on the way out";

    store.FailWritingOf("Font Name");
    EXPECT_EQ(SaveError(settings, store), "Failed to set data for 'Font Name'");
}

TEST(GlimraSettings, AKeyThatCannotBeOpenedKeepsDefaultsAndFailsSaveAtDelay) {
    MemorySettingsStore store;
    PutUnusual(store);
    store.FailOpening(true);
    vGlimraSettings settings;
    settings.Load(store);
    EXPECT_EQ(settings, vGlimraSettings());
    EXPECT_EQ(SaveError(settings, store), "Failed to set data for 'Delay'");
    EXPECT_TRUE(store.Writes().empty());
}

TEST(GlimraSettings, TheInstalledStoreIsUsedAndItsAbsenceKeepsValuesAndFailsSave) {
    vGlimraSettings settings = UnusualSettings();
    settings.Load();
    EXPECT_EQ(settings, UnusualSettings()) << "no store: nothing is read, nothing is reset";
    try {
        settings.Save();
        ADD_FAILURE() << "Save without a store must fail";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Delay'");
    }

    MemorySettingsStore store;
    InstalledStore installed(&store);
    settings.Save();
    vGlimraSettings loaded;
    loaded.Load();
    EXPECT_EQ(loaded, settings);
}

TEST(GlimraSettings, FontNameReadsAsStoredUpToItsFirstZeroAndExpandsNothing) {
    // One call per case rather than a table: GCC 12 for i686 warns falsely (-Wmaybe-uninitialized)
    // about vectors inside a braced list of aggregates.
    auto check = [](const char* label, GlimraValueType type, std::vector<uint8_t> data,
                    const std::string& expected) {
        MemorySettingsStore store;
        PutUnusual(store);
        store.PutValue(SettingsKeyPath, "Font Name", type, std::move(data));
        vGlimraSettings settings;
        settings.Load(store);
        EXPECT_EQ(settings.FontName, expected) << label;
        EXPECT_EQ(settings.SpeedRange, 7) << label << ": reading goes on";
    };
    check("expandable string taken literally", GlimraValueType::ExpandString, {'%', 'W', 'I', 'N', '%', 0},
          "%WIN%");
    check("text after an inner zero dropped", GlimraValueType::String, {'A', 'b', 0, 'c', 'd', 0}, "Ab");
    check("no terminator", GlimraValueType::String, {'A', 'b', 'c'}, "Abc");
    check("zero bytes of any type", GlimraValueType::Dword, {}, "");
    check("8-bit text", GlimraValueType::String, {0xC5, 'n', 0xE9, 0}, "\xC5n\xE9");
}

TEST(GlimraSettings, AnEnormousFontNameIsReadThroughABoundedBuffer) {
    MemorySettingsStore store;
    PutUnusual(store);
    store.PutValue(SettingsKeyPath, "Font Name", GlimraValueType::String, std::vector<uint8_t>(1 << 20, 'x'));
    vGlimraSettings settings;
    settings.Load(store);
    EXPECT_EQ(settings.FontName, std::string(MaxFontNameBytes, 'x'));
    EXPECT_LE(store.LargestReadBuffer(), MaxFontNameBytes);
    EXPECT_EQ(settings.SpeedRange, 7);
}

TEST(GlimraSettings, OnlyDwordsOfAtMostFourBytesAreNumbers) {
    struct Case {
        const char* Label;
        RawValue Value;
        bool Loads;
        int32_t Volatility;
    };
    const std::vector<Case> cases{
        {"eight bytes", {GlimraValueType::Dword, {1, 0, 0, 0, 0, 0, 0, 0}}, false, 10},
        {"four bytes of binary", {GlimraValueType::Binary, DwordBytes(5)}, false, 10},
        {"big-endian dword", {GlimraValueType::DwordBigEndian, DwordBytes(5)}, false, 10},
        {"a quadword", {GlimraValueType::Qword, {5, 0, 0, 0, 0, 0, 0, 0}}, false, 10},
        {"two bytes", {GlimraValueType::Dword, {0x34, 0x12}}, true, 0x1234},
        {"no bytes", {GlimraValueType::Dword, {}}, true, 0},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        PutUnusual(store);
        store.PutValue(SettingsKeyPath, "Volatility", c.Value.Type, c.Value.Data);
        vGlimraSettings settings;
        settings.Load(store);
        EXPECT_EQ(settings.Volatility, c.Volatility) << c.Label;
        EXPECT_EQ(settings.FontSize, 14) << c.Label << ": the values before it are read";
        EXPECT_EQ(settings.Horizontal, c.Loads ? false : true) << c.Label;
    }
}

TEST(GlimraSettings, LoadOverwritesOnlyWhatItReads) {
    MemorySettingsStore store;
    store.PutValue(SettingsKeyPath, "Delay", GlimraValueType::Dword, DwordBytes(7));
    vGlimraSettings settings = UnusualSettings();
    settings.Load(store);
    vGlimraSettings expected = UnusualSettings();
    expected.Delay = 7;
    EXPECT_EQ(settings, expected);
}

TEST(GlimraSettingsTable, NamesAreUniqueFoundWithoutCaseAndBoundToOneFieldEach) {
    std::set<std::string_view> names;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        EXPECT_TRUE(names.insert(setting.Name).second) << setting.Name;
        EXPECT_EQ(FindSetting(setting.Name), &setting);
        if (setting.HasDialogRange()) {
            EXPECT_LE(setting.DialogMin, setting.DialogMax) << setting.Name;
        }
        if (setting.IsText())
            continue;
        // Changing one row through the table must change exactly that row's value.
        vGlimraSettings settings;
        settings.SetNumber(setting, settings.Number(setting) == 0 ? 1 : 0);
        for (const GlimraSettingInfo& other : GlimraSettingsTable) {
            if (&other == &setting || other.IsText())
                continue;
            EXPECT_EQ(settings.Number(other), vGlimraSettings().Number(other))
                << setting.Name << " moved " << other.Name;
        }
        EXPECT_NE(settings, vGlimraSettings()) << setting.Name;
    }
    EXPECT_EQ(FindSetting("creature STATES"), &GlimraSettingsTable[12]);
    EXPECT_EQ(FindSetting("Creature States"), &Setting(GlimraSettingId::CreatureStates));
    EXPECT_EQ(FindSetting("Speed Range"), &Setting(GlimraSettingId::SpeedRange));
    EXPECT_EQ(FindSetting("Creatures"), nullptr);
}

TEST(GlimraSettingsTable, FlagsReadAsOneOrZeroAndTheNameIsNoNumber) {
    vGlimraSettings settings;
    const GlimraSettingInfo& vertical = *FindSetting("Vertical");
    settings.SetNumber(vertical, 0x100);
    EXPECT_TRUE(settings.Vertical);
    EXPECT_EQ(settings.Number(vertical), 1u);
    const GlimraSettingInfo& fontName = *FindSetting("Font Name");
    settings.SetNumber(fontName, 5);
    EXPECT_EQ(settings.FontName, "Japanese Generic1");
    EXPECT_EQ(settings.Number(fontName), 0u);
    EXPECT_EQ(FindSetting("Delay")->DialogMax, 5000);
    EXPECT_EQ(FindSetting("Start Char")->DialogMax, 254);
    EXPECT_FALSE(FindSetting("Font Size")->HasDialogRange());
}
