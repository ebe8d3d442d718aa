#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/GlimraSettings.h"

// The settings dialog's logic, whatever toolkit draws it: what each control holds, how a number
// pair turns text into a position, the order in which the controls are filled, what OK stores and
// what the character samples show. A toolkit implements GlimraOptionsView and forwards the user's
// edits to GlimraOptions; the record and the rules stay here.

// The toolkit's side. GlimraOptions calls it to put values into the controls; each call only shows
// what it is given and never calls back with the same value as a fresh edit that matters (doing so
// is harmless: an edit equal to the position changes nothing).
class GlimraOptionsView {
public:
    virtual ~GlimraOptionsView() = default;
    // The pair of an UpDown setting: the edit box shows position as a plain whole number.
    virtual void ShowPosition(const GlimraSettingInfo& setting, int32_t position) = 0;
    virtual void ShowChecked(const GlimraSettingInfo& setting, bool checked) = 0;
    // colour is 0x00BBGGRR.
    virtual void ShowColour(const GlimraSettingInfo& setting, uint32_t colour) = 0;
    // The "Sample" panel, both character samples and the face box, in face at points.
    virtual void ShowFont(const std::string& face, int32_t points) = 0;
    // The sample beside the "Start Char" or "End Char" pair; text is empty or one byte.
    virtual void ShowSample(const GlimraSettingInfo& setting, const std::string& text) = 0;
};

// The position a stored value gives its pair: only the low 16 bits reach the control, as a signed
// number, which is then limited to the pair's range. 70000 is 4464; 65535 is -1, limited to 0.
[[nodiscard]] int32_t PositionFromStored(const GlimraSettingInfo& setting, uint32_t stored);

// The position an edit box's text asks for: a whole number (an optional sign, then decimal digits,
// nothing else) within the pair's range. Anything else asks for nothing, and the pair keeps its
// last valid position.
[[nodiscard]] std::optional<int32_t> PositionFromText(const GlimraSettingInfo& setting,
                                                      std::string_view text);

// What a character sample shows for its pair's position: the one character of the position's low
// byte, or nothing for code 0.
[[nodiscard]] std::string SampleText(int32_t position);

// The settings the dialog's LoadControls fills, in the order it fills them. The font's size and
// name stand together for the one font step.
inline constexpr std::array<GlimraSettingId, 25> LoadControlsOrder{
    GlimraSettingId::Delay,
    GlimraSettingId::Saturation,
    GlimraSettingId::Volatility,
    GlimraSettingId::Creature,
    GlimraSettingId::Blank,
    GlimraSettingId::Static,
    GlimraSettingId::Horizontal,
    GlimraSettingId::Vertical,
    GlimraSettingId::Nothing,
    GlimraSettingId::CreatureStartColor,
    GlimraSettingId::CreatureEndColor,
    GlimraSettingId::CreatureStates,
    GlimraSettingId::FontName,
    GlimraSettingId::FontSize,
    GlimraSettingId::StartChar,
    GlimraSettingId::EndChar,
    GlimraSettingId::FlipperStartColor,
    GlimraSettingId::FlipperMidColor,
    GlimraSettingId::FlipperEndColor,
    GlimraSettingId::StaticStartColor,
    GlimraSettingId::StaticMidColor,
    GlimraSettingId::StaticEndColor,
    GlimraSettingId::FlipperStates,
    GlimraSettingId::StaticStates,
    GlimraSettingId::SpeedRange,
};

// The text of the About page, lines separated by "\n".
extern const std::string_view GlimraAboutText;

// The dialog's own field, the settings record, and the values its controls hold. The record
// changes only in StoreControls and Defaults; edits change the controls alone, so Cancel needs
// nothing undone.
class GlimraOptions {
public:
    explicit GlimraOptions(GlimraOptionsView& view) : m_view(view) {}

    // reload reads the installed store into the record first; then every control gets its
    // setting's value, in LoadControlsOrder, and the view is told each one.
    void LoadControls(bool reload);
    // The controls into the record, then the record into the installed store. Throws
    // GlimraSettingsError when the store refuses a value; the values before it stay written.
    void StoreControls();
    // The record's defaults into the controls; the store is left alone.
    void Defaults();

    // The text of an UpDown pair's edit box changed, by typing, by its arrows or by loading. The
    // position follows valid text only; a character pair's sample then shows the position.
    void EditChanged(const GlimraSettingInfo& setting, std::string_view text);
    void SetChecked(const GlimraSettingInfo& setting, bool checked);
    void SetColour(const GlimraSettingInfo& setting, uint32_t colour);
    // What the font chooser confirmed. Only face and size are kept: a style, colour or script chosen
    // with them has no place to go.
    void FontChosen(std::string_view face, int32_t points);

    [[nodiscard]] int32_t Position(const GlimraSettingInfo& setting) const;
    [[nodiscard]] bool Checked(const GlimraSettingInfo& setting) const;
    [[nodiscard]] uint32_t Colour(const GlimraSettingInfo& setting) const;
    [[nodiscard]] const std::string& FontFace() const { return m_fontFace; }
    [[nodiscard]] int32_t FontSize() const { return m_fontSize; }
    [[nodiscard]] const vGlimraSettings& Settings() const { return m_settings; }

private:
    void ShowSampleOf(const GlimraSettingInfo& setting);
    [[nodiscard]] static size_t Row(const GlimraSettingInfo& setting);

    GlimraOptionsView& m_view;
    vGlimraSettings m_settings;
    // By row of GlimraSettingsTable: a pair's position, a check box's 1 or 0, a panel's colour.
    std::array<uint32_t, GlimraSettingsTable.size()> m_controls{};
    std::string m_fontFace;
    int32_t m_fontSize = 0;
};
