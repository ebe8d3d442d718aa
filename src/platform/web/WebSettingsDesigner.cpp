#include "platform/web/WebSettingsDesigner.h"

#include <sys/stat.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

#include "settings/GlimraSettingOptions.h"

namespace {

const GlimraSettingOption* OptionNamed(std::string_view option) {
    for (const GlimraSettingOption& row : GlimraSettingOptionsTable)
        if (row.Option == option)
            return &row;
    return nullptr;
}

const GlimraSettingOption& OptionOf(const GlimraSettingInfo& setting) {
    return GlimraSettingOptionsTable[static_cast<size_t>(setting.Id)];
}

// The tabs of the dialog, and the frame that holds the font on its first tab.
std::string_view PageTitle(GlimraSettingPage page) {
    switch (page) {
    case GlimraSettingPage::General:
    case GlimraSettingPage::Font:
        return "General Settings";
    case GlimraSettingPage::Creature:
        return "Creature";
    case GlimraSettingPage::Static:
        return "Static";
    }
    return {};
}

std::string_view ControlName(const GlimraSettingInfo& setting) {
    switch (setting.Control) {
    case GlimraSettingControl::UpDown:
        return "number";
    case GlimraSettingControl::CheckBox:
        return "check";
    case GlimraSettingControl::ColourPanel:
        return "colour";
    case GlimraSettingControl::FontChooser:
        return setting.IsText() ? "text" : "number";
    }
    return {};
}

// JSON text, with the characters of markup escaped too, so that no consumer can mistake it for any.
void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&' || c == '\'') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// As an address's query encodes a value: every byte but the unreserved ones as %XX.
std::string QueryEncoded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        }
    }
    return out;
}

std::string NumberText(const GlimraSettingInfo& setting, uint32_t number) {
    if (setting.Control == GlimraSettingControl::ColourPanel)
        return HexFromColour(number);
    if (setting.Control == GlimraSettingControl::CheckBox)
        return number != 0 ? "1" : "0";
    return std::to_string(static_cast<int32_t>(number));
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

WebSettingsDesigner::WebSettingsDesigner(const std::string& folder)
    : m_folder(folder), m_store(folder + "/settings.reg"), m_options(*this) {
    mkdir(folder.c_str(), 0700);
}

std::string WebSettingsDesigner::Apply(std::string_view option, std::string_view value) {
    const GlimraSettingOption* row = OptionNamed(option);
    if (!row)
        return "there is no setting '" + std::string(option) + "'";
    std::string flag = "--" + std::string(option);
    bool valueFollows = true;
    if (Setting(row->Id).Control == GlimraSettingControl::CheckBox) {
        if (value != "1" && value != "0")
            return "--" + std::string(option) + " takes 1 or 0, not '" + std::string(value) + "'";
        if (value == "0")
            flag = "--no-" + std::string(option);
        valueFollows = false;
    }
    std::string text(value);
    char program[] = "glimracode";
    char* argv[] = {program, flag.data(), text.data(), nullptr};
    GlimraSettingOverrides overrides;
    try {
        (void)overrides.Take(valueFollows ? 3 : 2, argv, 1);
    } catch (const GlimraSettingsError& refusal) {
        return refusal.what();
    }
    vGlimraSettings record = Settings();
    overrides.ApplyTo(record);
    return Adopt(record);
}

std::string WebSettingsDesigner::Edit(std::string_view option, std::string_view text) {
    const GlimraSettingOption* row = OptionNamed(option);
    if (!row)
        return "there is no setting '" + std::string(option) + "'";
    const GlimraSettingInfo& setting = Setting(row->Id);
    switch (setting.Control) {
    case GlimraSettingControl::UpDown:
        m_options.EditChanged(setting, text);
        if (!PositionFromText(setting, text))
            return std::string(row->Label) + " takes a whole number from " +
                   std::to_string(setting.DialogMin) + " to " + std::to_string(setting.DialogMax);
        break;
    case GlimraSettingControl::CheckBox:
        m_options.SetChecked(setting, text == "1");
        break;
    case GlimraSettingControl::ColourPanel: {
        const std::optional<uint32_t> colour = ColourFromHex(text);
        if (!colour)
            return std::string(row->Label) + " takes a colour #RRGGBB";
        m_options.SetColour(setting, *colour);
        break;
    }
    case GlimraSettingControl::FontChooser:
        if (setting.IsText()) {
            if (text.empty() || text.size() > OptionFontNameMax)
                return "a font name has 1 to " + std::to_string(OptionFontNameMax) + " characters";
            m_options.FontChosen(text, m_options.FontSize());
        } else {
            int32_t points = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), points);
            if (error != std::errc() || end != text.data() + text.size() || points < OptionFontSizeMin ||
                points > OptionFontSizeMax)
                return std::string(row->Label) + " takes a whole number from " +
                       std::to_string(OptionFontSizeMin) + " to " + std::to_string(OptionFontSizeMax);
            m_options.FontChosen(m_options.FontFace(), points);
        }
        break;
    }
    return StoreControls();
}

void WebSettingsDesigner::Defaults() {
    m_options.Defaults();
    (void)StoreControls();
    m_options.LoadControls(true);
}

std::string WebSettingsDesigner::StoreControls() {
    try {
        m_options.StoreControls();
    } catch (const GlimraSettingsError& refusal) {
        return refusal.what();
    }
    return {};
}

std::string WebSettingsDesigner::Adopt(vGlimraSettings& record) {
    try {
        record.Save(m_store);
    } catch (const GlimraSettingsError& refusal) {
        return refusal.what();
    }
    m_options.LoadControls(true);
    return {};
}

std::string WebSettingsDesigner::Export() const {
    std::string bytes;
    return ReadWhole(m_store.Path(), bytes) ? bytes : std::string();
}

std::string WebSettingsDesigner::Import(std::string_view bytes, std::string_view fileName) {
    const std::string path = m_folder + "/import.reg";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file)
            return "'" + std::string(fileName) + "' could not be read";
    }
    FileSettingsStore imported(path, FileSettingsStore::Access::ReadOnly);
    GlimraStoreKey key = 0;
    if (!imported.OpenKey(SettingsKeyPath, key)) {
        if (!imported.Refusal().empty())
            return "'" + std::string(fileName) + "' " + imported.Refusal() +
                   "; the settings are as they were";
        return "'" + std::string(fileName) + "' holds no key HKEY_CURRENT_USER\\" +
               std::string(SettingsKeyPath) + "; the settings are as they were";
    }
    imported.CloseKey(key);
    vGlimraSettings record;
    record.Load(imported);
    return Adopt(record);
}

std::string WebSettingsDesigner::Link() const {
    const vGlimraSettings& settings = Settings();
    std::string query;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        std::string value;
        if (setting.IsText()) {
            if (settings.FontName == setting.DefaultText)
                continue;
            value = settings.FontName;
        } else {
            if (settings.Number(setting) == setting.Default)
                continue;
            value = NumberText(setting, settings.Number(setting));
        }
        query += query.empty() ? "" : "&";
        query += std::string(OptionOf(setting).Option) + "=" + QueryEncoded(value);
    }
    return query;
}

std::string WebSettingsDesigner::Json() const {
    std::string json = "[";
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const GlimraSettingOption& option = OptionOf(setting);
        const bool fontSize = setting.Control == GlimraSettingControl::FontChooser && !setting.IsText();
        int32_t low = setting.DialogMin;
        int32_t high = setting.DialogMax;
        if (setting.Control == GlimraSettingControl::FontChooser) {
            low = fontSize ? OptionFontSizeMin : 1;
            high = fontSize ? OptionFontSizeMax : static_cast<int32_t>(OptionFontNameMax);
        }
        json += json.size() > 1 ? ",{" : "{";
        json += "\"option\":";
        AppendJsonString(json, option.Option);
        json += ",\"label\":";
        AppendJsonString(json, option.Label);
        json += ",\"page\":";
        AppendJsonString(json, PageTitle(option.Page));
        json += ",\"frame\":";
        AppendJsonString(json, option.Page == GlimraSettingPage::Font ? "Font" : "");
        json += ",\"control\":";
        AppendJsonString(json, ControlName(setting));
        json += ",\"min\":" + std::to_string(low) + ",\"max\":" + std::to_string(high) + ",\"default\":";
        AppendJsonString(json, setting.IsText() ? std::string(setting.DefaultText)
                                                : NumberText(setting, setting.Default));
        json += ",\"value\":";
        AppendJsonString(json, m_shown[static_cast<size_t>(setting.Id)]);
        json += "}";
    }
    return json + "]";
}

void WebSettingsDesigner::ShowPosition(const GlimraSettingInfo& setting, int32_t position) {
    m_shown[static_cast<size_t>(setting.Id)] = std::to_string(position);
}

void WebSettingsDesigner::ShowChecked(const GlimraSettingInfo& setting, bool checked) {
    m_shown[static_cast<size_t>(setting.Id)] = checked ? "1" : "0";
}

void WebSettingsDesigner::ShowColour(const GlimraSettingInfo& setting, uint32_t colour) {
    m_shown[static_cast<size_t>(setting.Id)] = HexFromColour(colour);
}

void WebSettingsDesigner::ShowFont(const std::string& face, int32_t points) {
    m_shown[static_cast<size_t>(GlimraSettingId::FontName)] = face;
    m_shown[static_cast<size_t>(GlimraSettingId::FontSize)] = std::to_string(points);
}

// The samples draw a byte of the glyph font, which the page's own text cannot show.
void WebSettingsDesigner::ShowSample(const GlimraSettingInfo&, const std::string&) {
}
