#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/win32/RegistrySettingsStore.h"
#include "settings/StoreCases.h"

namespace {

// HKEY_CURRENT_USER is pointed at a scratch key for each test (RegOverridePredefKey), so the store
// runs its real calls and the user's own settings are never touched.
class RegistryHarness final : public StoreHarness {
public:
    RegistryHarness() {
        m_scratchPath = "Software\\GlimraCodeTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(s_count++);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_scratch, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch), ERROR_SUCCESS);
    }
    ~RegistryHarness() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(m_scratch);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_scratchPath.c_str());
        // Only succeeds once the last scratch key is gone.
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\GlimraCodeTests");
    }

    GlimraSettingsStore& Store() override { return m_store; }

    void Put(std::string_view name, const RawValue& value) override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, std::string(name).c_str(), 0, static_cast<DWORD>(value.Type),
                                 value.Data.data(), static_cast<DWORD>(value.Data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    std::optional<RawValue> Get(std::string_view name) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        RawValue value;
        DWORD type = 0;
        DWORD size = 0;
        std::optional<RawValue> result;
        if (RegQueryValueExA(key, std::string(name).c_str(), nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS) {
            value.Data.resize(size);
            if (RegQueryValueExA(key, std::string(name).c_str(), nullptr, &type, value.Data.data(), &size) ==
                ERROR_SUCCESS) {
                value.Type = static_cast<GlimraValueType>(type);
                value.Data.resize(size);
                result = value;
            }
        }
        RegCloseKey(key);
        return result;
    }

    bool KeyExists() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

private:
    static inline int s_count = 0;
    std::string m_scratchPath;
    HKEY m_scratch = nullptr;
    RegistrySettingsStore m_store;
};

std::unique_ptr<StoreHarness> MakeRegistryHarness() {
    return std::make_unique<RegistryHarness>();
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Registry, StoreCases, ::testing::Values(&MakeRegistryHarness), StoreName);

TEST(RegistrySettingsStore, AnExpandableFontNameIsTakenLiterallyAndAHugeOneIsCutAtTheBound) {
    RegistryHarness harness;
    PutAll(harness, UnusualSettings());
    harness.Put("Font Name", {GlimraValueType::ExpandString,
                              {'%', 'S', 'y', 's', 't', 'e', 'm', 'R', 'o', 'o', 't', '%', 0}});
    vGlimraSettings settings;
    settings.Load(harness.Store());
    EXPECT_EQ(settings.FontName, "%SystemRoot%");
    EXPECT_EQ(settings.SpeedRange, 7);

    RawValue huge = Sz(std::string(100000, 'h'));
    harness.Put("Font Name", huge);
    settings.Load(harness.Store());
    EXPECT_EQ(settings.FontName, std::string(MaxFontNameBytes, 'h'));
    EXPECT_EQ(settings.SpeedRange, 7);
}

TEST(RegistrySettingsStore, ADwordLongerThanFourBytesStopsReadingAndSaveMakesItADword) {
    RegistryHarness harness;
    PutAll(harness, UnusualSettings());
    harness.Put("Volatility", {GlimraValueType::Dword, {1, 0, 0, 0, 0, 0, 0, 0}});
    vGlimraSettings settings;
    settings.Load(harness.Store());
    EXPECT_EQ(settings, DefaultsWithRowsFrom(UnusualSettings(), 0, 3));
    settings.Save(harness.Store());
    EXPECT_EQ(harness.Get("Volatility"), Dword(10));
}
