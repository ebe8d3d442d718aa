#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/GlimraInstalled.h"
#include "settings/GlimraSettings.h"

// Command-line options that override settings for one run, as XScreenSaver's settings panel passes
// them to a hack: "--delay 50", "--flip-horizontal", "--creature-start-color #00FFC6". Each option is
// named after its setting; the value must lie in the range the settings dialog offers, since the
// panel stands in for the dialog. Nothing an option sets is ever written to a store.

// Where the dialog edits a setting (its general page, that page's font frame, the creature page, the
// static page), which groups the options in descriptions.
enum class GlimraSettingPage : uint8_t { General, Font, Creature, Static };

struct GlimraSettingOption {
    GlimraSettingId Id;
    std::string_view Option; // without the leading "--"; a boolean also takes "--no-" before it
    std::string_view Label;  // as the dialog labels the control
    GlimraSettingPage Page;
};

// Every setting's option, in the order of GlimraSettingsTable.
inline constexpr std::array<GlimraSettingOption, 25> GlimraSettingOptionsTable{{
    // clang-format off
    {GlimraSettingId::Delay,              "delay",                "Tick delay (ms)",              GlimraSettingPage::General},
    {GlimraSettingId::Saturation,         "saturation",           "Column saturation (%)",        GlimraSettingPage::General},
    {GlimraSettingId::FontSize,           "font-size",            "Font size (points)",           GlimraSettingPage::Font},
    {GlimraSettingId::Volatility,         "volatility",           "Volatility (%)",               GlimraSettingPage::Creature},
    {GlimraSettingId::Horizontal,         "flip-horizontal",      "Flip characters horizontally", GlimraSettingPage::Font},
    {GlimraSettingId::Vertical,           "flip-vertical",        "Flip characters vertically",   GlimraSettingPage::Font},
    {GlimraSettingId::Creature,           "creature-weight",      "Creature weight",              GlimraSettingPage::General},
    {GlimraSettingId::Blank,              "sweeper-weight",       "Sweeper weight",               GlimraSettingPage::General},
    {GlimraSettingId::Static,             "static-weight",        "Static weight",                GlimraSettingPage::General},
    {GlimraSettingId::Nothing,            "nothing-weight",       "Nothing weight",               GlimraSettingPage::General},
    {GlimraSettingId::CreatureStartColor, "creature-start-color", "Cascade initial color",        GlimraSettingPage::Creature},
    {GlimraSettingId::CreatureEndColor,   "creature-end-color",   "Cascade final color",          GlimraSettingPage::Creature},
    {GlimraSettingId::CreatureStates,     "creature-states",      "Cascade fade length",          GlimraSettingPage::Creature},
    {GlimraSettingId::FontName,           "font",                 "Font",                         GlimraSettingPage::Font},
    {GlimraSettingId::FlipperStartColor,  "flipper-start-color",  "Flipper initial color",        GlimraSettingPage::Creature},
    {GlimraSettingId::FlipperMidColor,    "flipper-mid-color",    "Flipper mid color",            GlimraSettingPage::Creature},
    {GlimraSettingId::FlipperEndColor,    "flipper-end-color",    "Flipper final color",          GlimraSettingPage::Creature},
    {GlimraSettingId::StaticStartColor,   "static-start-color",   "Static initial color",         GlimraSettingPage::Static},
    {GlimraSettingId::StaticMidColor,     "static-mid-color",     "Static mid color",             GlimraSettingPage::Static},
    {GlimraSettingId::StaticEndColor,     "static-end-color",     "Static final color",           GlimraSettingPage::Static},
    {GlimraSettingId::FlipperStates,      "flipper-states",       "Flipper fade length",          GlimraSettingPage::Creature},
    {GlimraSettingId::StaticStates,       "static-states",        "Static fade length",           GlimraSettingPage::Static},
    {GlimraSettingId::StartChar,          "start-char",           "Start character",              GlimraSettingPage::Font},
    {GlimraSettingId::EndChar,            "end-char",             "End character",                GlimraSettingPage::Font},
    {GlimraSettingId::SpeedRange,         "speed-range",          "Cascade speed range",          GlimraSettingPage::Creature},
    // clang-format on
}};

static_assert([] {
    for (size_t row = 0; row < GlimraSettingOptionsTable.size(); ++row)
        if (static_cast<size_t>(GlimraSettingOptionsTable[row].Id) != row)
            return false;
    return true;
}());

// The font chooser sets no limits; options take the sizes the engine draws (larger ones it bounds
// to guard memory) and the face names a font record can hold.
inline constexpr int32_t OptionFontSizeMin = 1;
inline constexpr int32_t OptionFontSizeMax = 400;
inline constexpr size_t OptionFontNameMax = 31;

// The range an option's number must lie in.
[[nodiscard]] std::pair<int32_t, int32_t> OptionRange(const GlimraSettingInfo& setting);

// Values given on the command line, applied over a loaded record.
class GlimraSettingOverrides {
public:
    // Takes the option at argv[index] (and its value, which follows it) if it is one of these.
    // Returns how many arguments it used: 0 when the option is not a setting's. Throws
    // GlimraSettingsError with a message that names the option and its range when the value is
    // missing or refused.
    int Take(int argc, char** argv, int index);
    // Takes every setting's option from a whole command line and returns the arguments left, the
    // program's name first, in their order. Throws as Take does.
    std::vector<char*> TakeAll(int argc, char** argv);
    void ApplyTo(vGlimraSettings& settings) const;
    // Whether "--name" is a setting's option (name without the dashes), and if so whether a value
    // follows it: nothing for a name that no setting has.
    [[nodiscard]] static std::optional<bool> OptionTakesValue(std::string_view name);
    [[nodiscard]] bool Empty() const { return m_values.empty(); }

private:
    std::vector<std::pair<GlimraSettingId, std::variant<uint32_t, std::string>>> m_values;
};

// Overrides that LoadWithOverrides applies once it has read the installed store; nil for none. The programs
// install them for a run of the saver or the renderer, never for the dialog, so no Save can write them.
inline void InstallSettingOverrides(const GlimraSettingOverrides* overrides) {
    GlimraInstalled<const GlimraSettingOverrides>::Install(overrides);
}
[[nodiscard]] inline const GlimraSettingOverrides* InstalledSettingOverrides() {
    return GlimraInstalled<const GlimraSettingOverrides>::Get();
}

// Loads settings from the installed store, then applies the installed overrides over them: the
// settings an engine runs with.
void LoadWithOverrides(vGlimraSettings& settings);

// "#RRGGBB" as a colour value 0x00BBGGRR, and back.
[[nodiscard]] std::optional<uint32_t> ColourFromHex(std::string_view text);
[[nodiscard]] std::string HexFromColour(uint32_t colour);

// The options with their ranges and defaults, for --help and the manual page.
[[nodiscard]] std::string SettingOptionsUsage();
// The same as entries of a manual page (roff), which the manual pages hold verbatim.
[[nodiscard]] std::string SettingOptionsManual();
// The XScreenSaver description of the hack: its settings panel, grouped as the dialog's pages are.
[[nodiscard]] std::string XScreenSaverDescription(std::string_view program, std::string_view label);
