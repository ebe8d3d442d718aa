#include "settings/GlimraSettingOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

const GlimraSettingOption& OptionOf(const GlimraSettingInfo& setting) {
    return GlimraSettingOptionsTable[static_cast<size_t>(setting.Id)];
}

bool IsBoolean(const GlimraSettingInfo& setting) {
    return setting.Control == GlimraSettingControl::CheckBox;
}

bool IsColour(const GlimraSettingInfo& setting) {
    return setting.Control == GlimraSettingControl::ColourPanel;
}

std::string Flag(std::string_view option) {
    return "--" + std::string(option);
}

// What a refused value is told: the option, what it takes, and what it was given.
[[noreturn]] void Refuse(const GlimraSettingInfo& setting, std::string_view given) {
    const std::string option = Flag(OptionOf(setting).Option);
    std::string takes;
    if (setting.IsText()) {
        takes = "a font name of 1 to " + std::to_string(OptionFontNameMax) + " characters";
    } else if (IsColour(setting)) {
        takes = "a colour #RRGGBB, from #000000 to #FFFFFF";
    } else {
        const auto [low, high] = OptionRange(setting);
        takes = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    }
    std::string message = option + " takes " + takes;
    if (given.data() == nullptr)
        message += ", and none was given";
    else
        message.append(", not '").append(given).append("'");
    throw GlimraSettingsError(message);
}

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// One control of the settings panel.
std::string PanelControl(const GlimraSettingInfo& setting) {
    const GlimraSettingOption& option = OptionOf(setting);
    const std::string id = std::string(option.Option);
    const std::string label = XmlEscaped(option.Label);
    if (IsBoolean(setting)) {
        // The panel adds an argument only for the state that is not the default.
        if (setting.Default != 0)
            return "<boolean id=\"" + id + "\" _label=\"" + label + "\" arg-unset=\"--no-" + id + "\"/>";
        return "<boolean id=\"" + id + "\" _label=\"" + label + "\" arg-set=\"--" + id + "\"/>";
    }
    if (setting.IsText() || IsColour(setting)) {
        // The panel has no colour control: a colour is typed as #RRGGBB, and left empty it is the
        // stored one.
        return "<string id=\"" + id + "\" _label=\"" + label + (IsColour(setting) ? " (#RRGGBB)" : "") +
               "\" arg=\"--" + id + " %\"/>";
    }
    const auto [low, high] = OptionRange(setting);
    return "<number id=\"" + id + "\" type=\"spinbutton\" arg=\"--" + id + " %\" _label=\"" + label +
           "\" low=\"" + std::to_string(low) + "\" high=\"" + std::to_string(high) + "\" default=\"" +
           std::to_string(static_cast<int32_t>(setting.Default)) + "\"/>";
}

std::string DefaultText(const GlimraSettingInfo& setting) {
    if (setting.IsText())
        return std::string(setting.DefaultText);
    if (IsColour(setting))
        return HexFromColour(setting.Default);
    return std::to_string(static_cast<int32_t>(setting.Default));
}

} // namespace

std::pair<int32_t, int32_t> OptionRange(const GlimraSettingInfo& setting) {
    if (setting.Id == GlimraSettingId::FontSize)
        return {OptionFontSizeMin, OptionFontSizeMax};
    return {setting.DialogMin, setting.DialogMax};
}

int GlimraSettingOverrides::Take(int argc, char** argv, int index) {
    const std::string_view argument = argv[index];
    if (!argument.starts_with("--"))
        return 0;
    const std::string_view name = argument.substr(2);
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const std::string_view option = OptionOf(setting).Option;
        if (IsBoolean(setting)) {
            if (name == option || (name.starts_with("no-") && name.substr(3) == option)) {
                m_values.emplace_back(setting.Id, name == option ? 1u : 0u);
                return 1;
            }
            continue;
        }
        if (name != option)
            continue;
        if (index + 1 >= argc)
            Refuse(setting, {});
        const std::string_view value = argv[index + 1];
        if (setting.IsText()) {
            if (value.empty() || value.size() > OptionFontNameMax)
                Refuse(setting, value);
            m_values.emplace_back(setting.Id, std::string(value));
        } else if (IsColour(setting)) {
            const std::optional<uint32_t> colour = ColourFromHex(value);
            if (!colour)
                Refuse(setting, value);
            m_values.emplace_back(setting.Id, *colour);
        } else {
            int32_t number = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
            const auto [low, high] = OptionRange(setting);
            if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < low ||
                number > high)
                Refuse(setting, value);
            m_values.emplace_back(setting.Id, static_cast<uint32_t>(number));
        }
        return 2;
    }
    return 0;
}

std::optional<bool> GlimraSettingOverrides::OptionTakesValue(std::string_view name) {
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const std::string_view option = OptionOf(setting).Option;
        if (IsBoolean(setting) && (name == option || (name.starts_with("no-") && name.substr(3) == option)))
            return false;
        if (!IsBoolean(setting) && name == option)
            return true;
    }
    return std::nullopt;
}

std::vector<char*> GlimraSettingOverrides::TakeAll(int argc, char** argv) {
    std::vector<char*> rest;
    if (argc > 0)
        rest.push_back(argv[0]);
    for (int i = 1; i < argc;) {
        const int taken = Take(argc, argv, i);
        if (taken == 0)
            rest.push_back(argv[i++]);
        i += taken;
    }
    return rest;
}

void LoadWithOverrides(vGlimraSettings& settings) {
    settings.Load();
    if (const GlimraSettingOverrides* overrides = InstalledSettingOverrides())
        overrides->ApplyTo(settings);
}

void GlimraSettingOverrides::ApplyTo(vGlimraSettings& settings) const {
    for (const auto& [id, value] : m_values) {
        if (const auto* text = std::get_if<std::string>(&value))
            settings.FontName = *text;
        else
            settings.SetNumber(Setting(id), std::get<uint32_t>(value));
    }
}

std::optional<uint32_t> ColourFromHex(std::string_view text) {
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    uint32_t rgb = 0;
    const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (error != std::errc() || end != text.data() + 7)
        return std::nullopt;
    // #RRGGBB reads red first; a colour value keeps red in its low byte.
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::string HexFromColour(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text;
}

std::string SettingOptionsUsage() {
    std::string usage;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const GlimraSettingOption& option = OptionOf(setting);
        std::string form = "  " + Flag(option.Option);
        std::string meaning = std::string(option.Label);
        if (IsBoolean(setting)) {
            form += " / --no-" + std::string(option.Option);
            meaning += setting.Default != 0 ? " (default: on)" : " (default: off)";
        } else if (setting.IsText()) {
            form += " NAME";
            meaning += " (default: " + DefaultText(setting) + ")";
        } else if (IsColour(setting)) {
            form += " #RRGGBB";
            meaning += " (default: " + DefaultText(setting) + ")";
        } else {
            const auto [low, high] = OptionRange(setting);
            form += " N";
            meaning += ", " + std::to_string(low) + " to " + std::to_string(high) +
                       " (default: " + DefaultText(setting) + ")";
        }
        // A long option takes a line of its own, and its meaning the next.
        if (form.size() >= 36)
            form += "\n";
        form.resize(form.back() == '\n' ? form.size() + 36 : 36, ' ');
        usage += form + meaning + "\n";
    }
    return usage;
}

std::string SettingOptionsManual() {
    const auto roff = [](std::string_view text) {
        std::string escaped;
        for (const char c : text)
            escaped += c == '-' ? std::string("\\-") : std::string(1, c);
        return escaped;
    };
    std::string manual;
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const GlimraSettingOption& option = OptionOf(setting);
        const std::string flag = roff(Flag(option.Option));
        manual += ".TP\n";
        if (IsBoolean(setting)) {
            manual += ".BR " + flag + " \", \" " + roff("--no-" + std::string(option.Option)) + "\n";
            manual +=
                std::string(option.Label) + "; " + (setting.Default != 0 ? "on" : "off") + " by default.\n";
            continue;
        }
        if (setting.IsText())
            manual += ".BI " + flag + " \" NAME\"\n";
        else if (IsColour(setting))
            manual += ".BI " + flag + " \" #RRGGBB\"\n";
        else
            manual += ".BI " + flag + " \" N\"\n";
        manual += std::string(option.Label);
        if (!setting.IsText() && !IsColour(setting)) {
            const auto [low, high] = OptionRange(setting);
            manual += ", " + std::to_string(low) + " to " + std::to_string(high);
        }
        manual += "; " + roff(DefaultText(setting)) + " by default.\n";
    }
    return manual;
}

std::string XScreenSaverDescription(std::string_view program, std::string_view label) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\n";
    xml += "<screensaver name=\"" + XmlEscaped(program) + "\" _label=\"" + XmlEscaped(label) + "\">\n\n";
    xml += "  <command arg=\"--root\"/>\n\n";
    // A column for each of the dialog's pages, the general page's font frame apart.
    xml += "  <hgroup>\n";
    for (const GlimraSettingPage page : {GlimraSettingPage::General, GlimraSettingPage::Font,
                                         GlimraSettingPage::Creature, GlimraSettingPage::Static}) {
        xml += "    <vgroup>\n";
        for (const GlimraSettingInfo& setting : GlimraSettingsTable)
            if (OptionOf(setting).Page == page)
                xml += "      " + PanelControl(setting) + "\n";
        xml += "    </vgroup>\n";
    }
    xml += "  </hgroup>\n\n";
    xml += "  <_description>\n"
           "Columns of glyphs grow down the screen and fade from a bright colour to a\n"
           "dark one; glyphs flicker and morph in place, and sweepers wipe columns black.\n\n"
           "What is set here applies to this saver's runs only; the settings dialog\n"
           "(glimracode /c) keeps its own values in ~/.config/glimracode/settings.reg,\n"
           "which these options override.\n"
           "  </_description>\n";
    xml += "</screensaver>\n";
    return xml;
}
