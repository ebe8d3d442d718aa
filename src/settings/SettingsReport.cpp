#include "settings/SettingsReport.h"

#include <cstdio>

namespace {

std::string Report(const std::string& path, std::string_view origin, const vGlimraSettings& settings) {
    std::string report = "Settings file: " + path + "\n" + std::string(origin);
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        char line[64];
        if (setting.IsText()) {
            // A hand-edited name may be long; it is shown whole.
            std::snprintf(line, sizeof line, "  %-22s ", std::string(setting.Name).c_str());
            report += line + ("\"" + settings.FontName + "\"\n");
            continue;
        }
        if (setting.Control == GlimraSettingControl::ColourPanel) {
            std::snprintf(line, sizeof line, "  %-22s 0x%08X\n", std::string(setting.Name).c_str(),
                          static_cast<unsigned>(settings.Number(setting)));
        } else {
            std::snprintf(line, sizeof line, "  %-22s %d\n", std::string(setting.Name).c_str(),
                          static_cast<int>(settings.Number(setting)));
        }
        report += line;
    }
    return report;
}

} // namespace

std::string SettingsReport(const std::string& path, bool fileExists, const vGlimraSettings& settings) {
    return Report(path,
                  fileExists ? "Values in use:\n" : "(the file does not exist yet; these are the defaults)\n",
                  settings);
}

std::string RefusedSettingsReport(const std::string& path, std::string_view refusal,
                                  const vGlimraSettings& settings) {
    return Report(path,
                  "(the file " + std::string(refusal) + ", so it is not read; these are the defaults)\n",
                  settings);
}
