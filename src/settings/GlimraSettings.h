#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "settings/GlimraSettingsStore.h"

// The key under the current user's root that holds the 25 settings values.
inline constexpr std::string_view SettingsKeyPath = "Software\\KLOV\\Glimra";

// "Font Name" is read through a buffer of at most this many bytes. Face names are 31 characters at
// most wherever they are chosen, so only a hand-edited store can hold more; the rest of such a name
// is never read, whatever its size in the store.
inline constexpr uint32_t MaxFontNameBytes = 256;

// The one error Save raises: "Failed to set data for 'Delay'", with the name of the first value the
// store refused.
class GlimraSettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct GlimraSettingInfo;

// Everything the user can tune. The engine and the settings dialog each create, load and free their
// own record; the store validates nothing, so any 32-bit value comes back exactly as it went in.
class vGlimraSettings {
public:
    vGlimraSettings();

    void SetDefaults();
    // Reads the installed store; without one, the record keeps what it holds. Never reports a
    // failure: the first value that cannot be read ends reading, and it and the values after it keep
    // what they held. An engine's settings also take the command line's overrides: it loads them
    // with LoadWithOverrides (GlimraSettingOptions.h).
    void Load();
    void Load(GlimraSettingsStore& store);
    // Writes all 25 values to the installed store, as one batch. Throws GlimraSettingsError naming the
    // first value that was not stored (the first value of all when the key cannot be opened). The
    // registry keeps the values written before a refused one; the settings file stores all of them
    // or none.
    void Save();
    void Save(GlimraSettingsStore& store);

    // A numeric field by its row of GlimraSettingsTable, as its 32 bits (a flag is 1 or 0); 0 for
    // "Font Name". Setting a flag makes it true for any non-zero value; "Font Name" ignores it.
    [[nodiscard]] uint32_t Number(const GlimraSettingInfo& setting) const;
    void SetNumber(const GlimraSettingInfo& setting, uint32_t value);

    bool operator==(const vGlimraSettings&) const = default;

    int32_t Delay{};
    int32_t Saturation{};
    int32_t FontSize{};
    std::string FontName;
    bool Horizontal{};
    bool Vertical{};
    int32_t StartChar{};
    int32_t EndChar{};
    int32_t Volatility{};
    int32_t Creature{};
    uint32_t CreatureStartColor{};
    uint32_t CreatureEndColor{};
    int32_t CreatureStates{};
    uint32_t FlipperStartColor{};
    uint32_t FlipperMidColor{};
    uint32_t FlipperEndColor{};
    int32_t FlipperStates{};
    int32_t SpeedRange{};
    int32_t Blank{};
    int32_t Static{};
    uint32_t StaticStartColor{};
    uint32_t StaticMidColor{};
    uint32_t StaticEndColor{};
    int32_t StaticStates{};
    int32_t Nothing{};
};

// How the settings dialog edits a value.
enum class GlimraSettingControl : uint8_t {
    UpDown,      // an edit box with an up-down control limited to [DialogMin, DialogMax]
    CheckBox,    // checked is 1
    ColourPanel, // the colour chooser gives 0x00BBGGRR
    FontChooser, // face and size come from the font chooser, which sets no limits
};

// The field of the record that a value is kept in; its type tells the kind of value.
using GlimraSettingField = std::variant<int32_t vGlimraSettings::*, uint32_t vGlimraSettings::*,
                                        bool vGlimraSettings::*, std::string vGlimraSettings::*>;

// One identifier a setting, in the order of GlimraSettingsTable, which it indexes. Code names a
// setting by its identifier; the value name, the text the stores and the user see, lives once, in
// the table.
enum class GlimraSettingId : uint8_t {
    Delay,
    Saturation,
    FontSize,
    Volatility,
    Horizontal,
    Vertical,
    Creature,
    Blank,
    Static,
    Nothing,
    CreatureStartColor,
    CreatureEndColor,
    CreatureStates,
    FontName,
    FlipperStartColor,
    FlipperMidColor,
    FlipperEndColor,
    StaticStartColor,
    StaticMidColor,
    StaticEndColor,
    FlipperStates,
    StaticStates,
    StartChar,
    EndChar,
    SpeedRange,
};

struct GlimraSettingInfo {
    GlimraSettingId Id;
    std::string_view Name; // the registry value name, the setting's name everywhere
    GlimraValueType Type;
    GlimraSettingField Field;
    uint32_t Default;             // the 32 bits of a numeric default
    std::string_view DefaultText; // the default of "Font Name"
    GlimraSettingControl Control;
    int32_t DialogMin;
    int32_t DialogMax;

    [[nodiscard]] constexpr bool HasDialogRange() const {
        return Control != GlimraSettingControl::FontChooser;
    }
    [[nodiscard]] constexpr bool IsText() const {
        return std::holds_alternative<std::string vGlimraSettings::*>(Field);
    }
};

// The 25 settings in the order Load reads and Save writes them. The stores, the record, the engine's
// bounds, the renderer's options and the dialog all read this one table.
inline constexpr std::array<GlimraSettingInfo, 25> GlimraSettingsTable{{
    // clang-format off
    {GlimraSettingId::Delay,              "Delay",                GlimraValueType::Dword,  &vGlimraSettings::Delay,              100,        "", GlimraSettingControl::UpDown,      0, 5000},
    {GlimraSettingId::Saturation,         "Saturation",           GlimraValueType::Dword,  &vGlimraSettings::Saturation,         5,          "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::FontSize,           "Font Size",            GlimraValueType::Dword,  &vGlimraSettings::FontSize,           10,         "", GlimraSettingControl::FontChooser, 0, 0},
    {GlimraSettingId::Volatility,         "Volatility",           GlimraValueType::Dword,  &vGlimraSettings::Volatility,         10,         "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::Horizontal,         "Horizontal",           GlimraValueType::Dword,  &vGlimraSettings::Horizontal,         1,          "", GlimraSettingControl::CheckBox,    0, 1},
    {GlimraSettingId::Vertical,           "Vertical",             GlimraValueType::Dword,  &vGlimraSettings::Vertical,           0,          "", GlimraSettingControl::CheckBox,    0, 1},
    {GlimraSettingId::Creature,           "Creature",             GlimraValueType::Dword,  &vGlimraSettings::Creature,           50,         "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::Blank,              "Blank",                GlimraValueType::Dword,  &vGlimraSettings::Blank,              50,         "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::Static,             "Static",               GlimraValueType::Dword,  &vGlimraSettings::Static,             50,         "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::Nothing,            "Nothing",              GlimraValueType::Dword,  &vGlimraSettings::Nothing,            0,          "", GlimraSettingControl::UpDown,      0, 100},
    {GlimraSettingId::CreatureStartColor, "Creature Start Color", GlimraValueType::Dword,  &vGlimraSettings::CreatureStartColor, 0x00C6FF00, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::CreatureEndColor,   "Creature End Color",   GlimraValueType::Dword,  &vGlimraSettings::CreatureEndColor,   0x00008000, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::CreatureStates,     "Creature States",      GlimraValueType::Dword,  &vGlimraSettings::CreatureStates,     8,          "", GlimraSettingControl::UpDown,      0, 50},
    {GlimraSettingId::FontName,           "Font Name",            GlimraValueType::String, &vGlimraSettings::FontName,           0,          "Japanese Generic1", GlimraSettingControl::FontChooser, 0, 0},
    {GlimraSettingId::FlipperStartColor,  "Flipper Start Color",  GlimraValueType::Dword,  &vGlimraSettings::FlipperStartColor,  0x00000000, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::FlipperMidColor,    "Flipper Mid Color",    GlimraValueType::Dword,  &vGlimraSettings::FlipperMidColor,    0x00C6FF00, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::FlipperEndColor,    "Flipper End Color",    GlimraValueType::Dword,  &vGlimraSettings::FlipperEndColor,    0x00008000, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::StaticStartColor,   "Static Start Color",   GlimraValueType::Dword,  &vGlimraSettings::StaticStartColor,   0x00000000, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::StaticMidColor,     "Static Mid Color",     GlimraValueType::Dword,  &vGlimraSettings::StaticMidColor,     0x00C6FF00, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::StaticEndColor,     "Static End Color",     GlimraValueType::Dword,  &vGlimraSettings::StaticEndColor,     0x00008000, "", GlimraSettingControl::ColourPanel, 0, 0x00FFFFFF},
    {GlimraSettingId::FlipperStates,      "Flipper States",       GlimraValueType::Dword,  &vGlimraSettings::FlipperStates,      6,          "", GlimraSettingControl::UpDown,      0, 50},
    {GlimraSettingId::StaticStates,       "Static States",        GlimraValueType::Dword,  &vGlimraSettings::StaticStates,       12,         "", GlimraSettingControl::UpDown,      0, 50},
    {GlimraSettingId::StartChar,          "Start Char",           GlimraValueType::Dword,  &vGlimraSettings::StartChar,          193,        "", GlimraSettingControl::UpDown,      0, 254},
    {GlimraSettingId::EndChar,            "End Char",             GlimraValueType::Dword,  &vGlimraSettings::EndChar,            237,        "", GlimraSettingControl::UpDown,      0, 254},
    {GlimraSettingId::SpeedRange,         "Speed Range",          GlimraValueType::Dword,  &vGlimraSettings::SpeedRange,         3,          "", GlimraSettingControl::UpDown,      0, 20},
    // clang-format on
}};

// The table row of every identifier is the identifier's own index.
static_assert([] {
    for (size_t row = 0; row < GlimraSettingsTable.size(); ++row)
        if (static_cast<size_t>(GlimraSettingsTable[row].Id) != row)
            return false;
    return true;
}());

// The row of a setting by its identifier.
[[nodiscard]] constexpr const GlimraSettingInfo& Setting(GlimraSettingId id) {
    return GlimraSettingsTable[static_cast<size_t>(id)];
}

// The row of a setting by its value name, compared without regard to ASCII case; nil if none.
[[nodiscard]] const GlimraSettingInfo* FindSetting(std::string_view name);
