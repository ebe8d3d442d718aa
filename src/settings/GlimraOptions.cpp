#include "settings/GlimraOptions.h"

#include <algorithm>
#include <cassert>

namespace {

bool IsCharacterPair(const GlimraSettingInfo& setting) {
    return setting.Id == GlimraSettingId::StartChar || setting.Id == GlimraSettingId::EndChar;
}

} // namespace

int32_t PositionFromStored(const GlimraSettingInfo& setting, uint32_t stored) {
    const auto low = static_cast<int16_t>(static_cast<uint16_t>(stored & 0xFFFF));
    return std::clamp<int32_t>(low, setting.DialogMin, setting.DialogMax);
}

std::optional<int32_t> PositionFromText(const GlimraSettingInfo& setting, std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Digits beyond the range's width cannot be in range; stopping there keeps the sum from overflowing.
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{1} << 32)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < setting.DialogMin || value > setting.DialogMax)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::string SampleText(int32_t position) {
    const auto code = static_cast<char>(static_cast<uint8_t>(position & 0xFF));
    if (code == 0)
        return {};
    return std::string(1, code);
}

void GlimraOptions::LoadControls(bool reload) {
    if (reload)
        m_settings.Load();
    for (const GlimraSettingId id : LoadControlsOrder) {
        const GlimraSettingInfo& setting = Setting(id);
        switch (setting.Control) {
        case GlimraSettingControl::UpDown:
            m_controls[Row(setting)] =
                static_cast<uint32_t>(PositionFromStored(setting, m_settings.Number(setting)));
            m_view.ShowPosition(setting, Position(setting));
            if (IsCharacterPair(setting))
                ShowSampleOf(setting);
            break;
        case GlimraSettingControl::CheckBox:
            m_controls[Row(setting)] = m_settings.Number(setting) != 0 ? 1 : 0;
            m_view.ShowChecked(setting, Checked(setting));
            break;
        case GlimraSettingControl::ColourPanel:
            m_controls[Row(setting)] = m_settings.Number(setting);
            m_view.ShowColour(setting, Colour(setting));
            break;
        case GlimraSettingControl::FontChooser:
            // Face and size are one step of the order; the second of the two names adds nothing.
            if (setting.IsText())
                FontChosen(m_settings.FontName, m_settings.FontSize);
            break;
        }
    }
}

void GlimraOptions::StoreControls() {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        if (setting.Control == GlimraSettingControl::FontChooser)
            continue;
        m_settings.SetNumber(setting, m_controls[Row(setting)]);
    }
    m_settings.FontName = m_fontFace;
    m_settings.FontSize = m_fontSize;
    m_settings.Save();
}

void GlimraOptions::Defaults() {
    m_settings.SetDefaults();
    LoadControls(false);
}

void GlimraOptions::EditChanged(const GlimraSettingInfo& setting, std::string_view text) {
    if (const std::optional<int32_t> position = PositionFromText(setting, text))
        m_controls[Row(setting)] = static_cast<uint32_t>(*position);
    if (IsCharacterPair(setting))
        ShowSampleOf(setting);
}

void GlimraOptions::SetChecked(const GlimraSettingInfo& setting, bool checked) {
    m_controls[Row(setting)] = checked ? 1 : 0;
}

void GlimraOptions::SetColour(const GlimraSettingInfo& setting, uint32_t colour) {
    m_controls[Row(setting)] = colour;
    m_view.ShowColour(setting, colour);
}

void GlimraOptions::FontChosen(std::string_view face, int32_t points) {
    m_fontFace = face;
    m_fontSize = points;
    m_view.ShowFont(m_fontFace, m_fontSize);
}

int32_t GlimraOptions::Position(const GlimraSettingInfo& setting) const {
    return static_cast<int32_t>(m_controls[Row(setting)]);
}

bool GlimraOptions::Checked(const GlimraSettingInfo& setting) const {
    return m_controls[Row(setting)] != 0;
}

uint32_t GlimraOptions::Colour(const GlimraSettingInfo& setting) const {
    return m_controls[Row(setting)];
}

void GlimraOptions::ShowSampleOf(const GlimraSettingInfo& setting) {
    m_view.ShowSample(setting, SampleText(Position(setting)));
}

size_t GlimraOptions::Row(const GlimraSettingInfo& setting) {
    return static_cast<size_t>(&setting - GlimraSettingsTable.data());
}

const std::string_view GlimraAboutText =
    "Glimra Code\n"
    "\n"
    "A screen saver that fills the screen with falling columns of glyphs. Each column grows a bright "
    "track of characters that fades as it falls, single glyphs flicker and turn into others, and now "
    "and then a sweeper wipes a column back to black.\n"
    "\n"
    "INSTALLING\n"
    "Copy GlimraCode.scr and GlimraCode.TTF into the same folder, for instance the Windows system "
    "folder, then pick \"Glimra Code\" in the screen saver list of the display settings. The font "
    "file must stay beside the saver: it is registered while the saver runs and released when it "
    "ends, so nothing is installed into the system's font folder.\n"
    "\n"
    "HISTORY\n"
    "2.7  This release. The Windows saver (32-bit and 64-bit) and the Linux saver share one core, so "
    "both draw the same animation from the same settings; a settings file exported from one can be "
    "imported on the other. A renderer writes the animation as pictures on machines without a "
    "screen.\n"
    "\n"
    "THE SETTINGS\n"
    "Tick Delay is the time between two steps of the animation; smaller is faster. Column Saturation "
    "is how likely each column is to start something new at each step. The weights decide what that "
    "something is: a falling cascade (Creature), a sweeper, a static glyph, or nothing at all; only "
    "their proportions matter. The start and end characters choose the range of the font that is "
    "drawn, and the samples show them. Fade Length is the number of colour steps between the initial "
    "and the final colour. Volatility is how often a cascade leaves a flickering glyph behind. Click "
    "any colour to change it. Defaults puts back the values the saver came with; nothing is saved "
    "until you press Ok.\n"
    "\n"
    "SEVERAL MONITORS\n"
    "The saver covers the whole desktop, across every monitor. Monitors of different sizes leave "
    "parts of the desktop that no monitor shows, and columns there are drawn unseen; a larger font "
    "makes the animation lighter on large desktops.\n"
    "\n"
    "KNOWN ISSUES\n"
    "A very small tick delay with a small font can keep a slow machine busy. A start character "
    "above the end character is kept as entered. Changes take effect the next time the saver starts.\n";
