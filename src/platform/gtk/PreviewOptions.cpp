#include "platform/gtk/PreviewOptions.h"

#include <algorithm>

#include "settings/GlimraOptions.h"
#include "settings/GlimraSettingOptions.h"

std::vector<std::string> PreviewOptions(const GlimraOptions& options) {
    std::vector<std::string> arguments;
    for (const GlimraSettingOption& option : GlimraSettingOptionsTable) {
        const GlimraSettingInfo& setting = Setting(option.Id);
        const std::string flag = "--" + std::string(option.Option);
        switch (setting.Control) {
        case GlimraSettingControl::UpDown:
            arguments.insert(arguments.end(), {flag, std::to_string(options.Position(setting))});
            break;
        case GlimraSettingControl::CheckBox:
            arguments.push_back(options.Checked(setting) ? flag : "--no-" + std::string(option.Option));
            break;
        case GlimraSettingControl::ColourPanel:
            arguments.insert(arguments.end(), {flag, HexFromColour(options.Colour(setting))});
            break;
        case GlimraSettingControl::FontChooser:
            if (setting.IsText()) {
                // The font record keeps no more of a name than this either. An empty name, which
                // only a hand-edited file holds, is no option: the default face stands in.
                if (!options.FontFace().empty())
                    arguments.insert(arguments.end(),
                                     {flag, options.FontFace().substr(0, OptionFontNameMax)});
            } else {
                const int32_t points = std::clamp(options.FontSize(), OptionFontSizeMin, OptionFontSizeMax);
                arguments.insert(arguments.end(), {flag, std::to_string(points)});
            }
            break;
        }
    }
    return arguments;
}
