#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/posix/FileSettingsStore.h"
#include "settings/GlimraOptions.h"
#include "settings/GlimraSettings.h"

// The page's settings panel over the dialog's own logic (GlimraOptions) and the settings table:
// the panel's controls are the table's rows, and every edit is judged as the dialogs judge it.
//
// The settings live in a settings file in the page's memory, written by the store the Linux
// programs write settings.reg with; that store must be the installed one while the designer lives.
// So an export is that file as it stands, and an import is read with the same parser and rules
// (fixed order, stop at the first missing or mistyped value) and refused with the same words.
//
// Text handed out here (Json, Link) is data for the page to show as text, never as markup.
class WebSettingsDesigner final : private GlimraOptionsView {
public:
    // folder: where the settings file and an imported file live in the page's file system.
    explicit WebSettingsDesigner(const std::string& folder);

    FileSettingsStore& Store() { return m_store; }
    const vGlimraSettings& Settings() const { return m_options.Settings(); }

    // A setting given by its option name of --help with its value as text, by the rules of the
    // command-line options: flags take 1 or 0, colours #RRGGBB. Returns why it was refused, or
    // nothing; a refused value changes nothing.
    std::string Apply(std::string_view option, std::string_view value);
    // An edit in the panel, by the dialog's rules: a number out of its pair's range, or not a whole
    // number, leaves the pair at its last valid position and is reported as refused.
    std::string Edit(std::string_view option, std::string_view text);
    void Defaults();

    // The settings as a registry-export file (the bytes of settings.reg).
    std::string Export() const;
    // Reads a registry-export file named fileName (for messages only). Returns why it was refused,
    // or nothing; a refused file changes nothing.
    std::string Import(std::string_view bytes, std::string_view fileName);

    // The settings that differ from the defaults, as an address's query: "saturation=30&font=X".
    std::string Link() const;
    // The panel: every row of the table with its option, label, page, range, default and the value
    // its control shows, as a JSON array.
    std::string Json() const;

private:
    void ShowPosition(const GlimraSettingInfo& setting, int32_t position) override;
    void ShowChecked(const GlimraSettingInfo& setting, bool checked) override;
    void ShowColour(const GlimraSettingInfo& setting, uint32_t colour) override;
    void ShowFont(const std::string& face, int32_t points) override;
    void ShowSample(const GlimraSettingInfo& setting, const std::string& text) override;

    // Writes the controls to the store; the refusal's words when it fails.
    std::string StoreControls();
    // Makes record the settings: stored, then shown.
    std::string Adopt(vGlimraSettings& record);

    std::string m_folder;
    FileSettingsStore m_store;
    GlimraOptions m_options;
    // What each row's control shows, as the text the page puts in it.
    std::array<std::string, GlimraSettingsTable.size()> m_shown;
};
