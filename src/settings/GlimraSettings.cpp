#include "settings/GlimraSettings.h"

#include "settings/AsciiCase.h"

#include <algorithm>
#include <vector>

namespace {

// Closes a key on every way out of Load and Save, Save's error included.
class ScopedKey {
public:
    ScopedKey(GlimraSettingsStore& store, GlimraStoreKey key) : m_store(store), m_key(key) {}
    ~ScopedKey() { m_store.CloseKey(m_key); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

private:
    GlimraSettingsStore& m_store;
    GlimraStoreKey m_key;
};

GlimraSettingsError WriteFailure(std::string_view name) {
    return GlimraSettingsError("Failed to set data for '" + std::string(name) + "'");
}

// A 32-bit value must be a REG_DWORD of at most 4 bytes. A shorter one has its missing high bytes
// zero, as the registry leaves them in the caller's zeroed buffer.
bool ReadNumber(GlimraSettingsStore& store, GlimraStoreKey key, std::string_view name, uint32_t& value) {
    GlimraValueType type{};
    uint32_t size = 0;
    if (!store.QueryValue(key, name, type, size))
        return false;
    if (type != GlimraValueType::Dword || size > 4)
        return false;
    std::array<uint8_t, 4> bytes{};
    uint32_t copied = 0;
    if (!store.ReadValue(key, name, type, bytes, copied) || type != GlimraValueType::Dword)
        return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

// A missing or empty name is a successful read of the empty name, so that the platform's default
// face is used; any other value must be a string, and it is taken literally up to its first zero.
bool ReadText(GlimraSettingsStore& store, GlimraStoreKey key, std::string_view name, std::string& text) {
    GlimraValueType type{};
    uint32_t size = 0;
    if (!store.QueryValue(key, name, type, size) || size == 0) {
        text.clear();
        return true;
    }
    std::vector<uint8_t> buffer(std::min(size, MaxFontNameBytes));
    uint32_t copied = 0;
    if (!store.ReadValue(key, name, type, buffer, copied))
        return false;
    if (type != GlimraValueType::String && type != GlimraValueType::ExpandString)
        return false;
    const auto end = buffer.begin() + std::min<size_t>(copied, buffer.size());
    text.assign(buffer.begin(), std::find(buffer.begin(), end, uint8_t{0}));
    return true;
}

// The bytes of a value as Save stores it: a dword's four bytes little-endian, a string with its
// terminating zero.
std::vector<uint8_t> StoredBytes(const vGlimraSettings& settings, const GlimraSettingInfo& setting) {
    if (setting.IsText()) {
        const std::string& text = settings.*std::get<std::string vGlimraSettings::*>(setting.Field);
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        return bytes;
    }
    const uint32_t value = settings.Number(setting);
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

} // namespace

vGlimraSettings::vGlimraSettings() {
    SetDefaults();
}

void vGlimraSettings::SetDefaults() {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        if (setting.IsText())
            this->*std::get<std::string vGlimraSettings::*>(setting.Field) = setting.DefaultText;
        else
            SetNumber(setting, setting.Default);
    }
}

void vGlimraSettings::Load() {
    if (GlimraSettingsStore* store = InstalledSettingsStore())
        Load(*store);
}

void vGlimraSettings::Load(GlimraSettingsStore& store) {
    GlimraStoreKey key = 0;
    if (!store.OpenKey(SettingsKeyPath, key))
        return;
    ScopedKey closer(store, key);
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        if (setting.IsText()) {
            if (!ReadText(store, key, setting.Name,
                          this->*std::get<std::string vGlimraSettings::*>(setting.Field)))
                return;
            continue;
        }
        uint32_t value = 0;
        if (!ReadNumber(store, key, setting.Name, value))
            return;
        SetNumber(setting, value);
    }
}

void vGlimraSettings::Save() {
    GlimraSettingsStore* store = InstalledSettingsStore();
    if (!store)
        throw WriteFailure(GlimraSettingsTable.front().Name);
    Save(*store);
}

void vGlimraSettings::Save(GlimraSettingsStore& store) {
    GlimraStoreKey key = 0;
    if (!store.OpenKey(SettingsKeyPath, key))
        throw WriteFailure(GlimraSettingsTable.front().Name);
    ScopedKey closer(store, key);
    std::array<std::vector<uint8_t>, GlimraSettingsTable.size()> bytes;
    std::array<GlimraStoreWrite, GlimraSettingsTable.size()> writes;
    for (size_t i = 0; i < GlimraSettingsTable.size(); ++i) {
        const GlimraSettingInfo& setting = GlimraSettingsTable[i];
        bytes[i] = StoredBytes(*this, setting);
        writes[i] = {setting.Name, setting.Type, bytes[i]};
    }
    const size_t written = store.WriteValues(key, writes);
    if (written < writes.size())
        throw WriteFailure(GlimraSettingsTable[written].Name);
}

uint32_t vGlimraSettings::Number(const GlimraSettingInfo& setting) const {
    if (const auto* field = std::get_if<int32_t vGlimraSettings::*>(&setting.Field))
        return static_cast<uint32_t>(this->**field);
    if (const auto* field = std::get_if<uint32_t vGlimraSettings::*>(&setting.Field))
        return this->**field;
    if (const auto* field = std::get_if<bool vGlimraSettings::*>(&setting.Field))
        return this->**field ? 1u : 0u;
    return 0;
}

void vGlimraSettings::SetNumber(const GlimraSettingInfo& setting, uint32_t value) {
    if (const auto* field = std::get_if<int32_t vGlimraSettings::*>(&setting.Field))
        this->** field = static_cast<int32_t>(value);
    else if (const auto* field = std::get_if<uint32_t vGlimraSettings::*>(&setting.Field))
        this->** field = value;
    else if (const auto* field = std::get_if<bool vGlimraSettings::*>(&setting.Field))
        this->** field = value != 0;
}

const GlimraSettingInfo* FindSetting(std::string_view name) {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        if (SameIgnoringAsciiCase(setting.Name, name))
            return &setting;
    }
    return nullptr;
}
