#pragma once

#include <windows.h>

#include <commdlg.h>

#include <array>
#include <bitset>
#include <functional>
#include <memory>
#include <string>

#include "settings/GlimraOptions.h"

// TGlimraOpts, the settings dialog of the Windows programs: the template IDD_GLIMRAOPTS of
// GlimraOptions.rc, over the portable GlimraOptions. The dialog procedure forwards every message to
// the instance kept in DWLP_USER; the handlers carry the names of the dialog's design.
//
// Use: Create, then RunMessageLoop, which returns once OK, Cancel or the close box ended the dialog.
// Tests drive the same window through messages without the loop, and replace the choosers and the
// error box, which are modal and would wait for a user.
class TGlimraOpts final : public GlimraOptionsView {
public:
    using ColourChooser = std::function<bool(CHOOSECOLORA&)>;
    using FontChooser = std::function<bool(CHOOSEFONTA&)>;
    using ErrorBox = std::function<void(HWND owner, const char* message)>;

    TGlimraOpts();
    ~TGlimraOpts() override;
    TGlimraOpts(const TGlimraOpts&) = delete;
    TGlimraOpts& operator=(const TGlimraOpts&) = delete;

    // Loads the settings and makes the dialog, shown, centred, on its first page. False when the
    // template or the window cannot be made.
    [[nodiscard]] bool Create(HINSTANCE instance);
    void RunMessageLoop();

    HWND Window() const { return m_window; }
    // Set by OK once saved, and by Cancel and the close box; the window is destroyed then.
    bool Ended() const { return m_ended; }

    void SetColourChooser(ColourChooser chooser) { m_colourChooser = std::move(chooser); }
    void SetFontChooser(FontChooser chooser) { m_fontChooser = std::move(chooser); }
    void SetErrorBox(ErrorBox box) { m_errorBox = std::move(box); }

    void ShowPosition(const GlimraSettingInfo& setting, int32_t position) override;
    void ShowChecked(const GlimraSettingInfo& setting, bool checked) override;
    void ShowColour(const GlimraSettingInfo& setting, uint32_t colour) override;
    void ShowFont(const std::string& face, int32_t points) override;
    void ShowSample(const GlimraSettingInfo& setting, const std::string& text) override;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleCommand(int id, int code);
    bool HeldSinceBeforeShown(const MSG& message);

    void FormCreate();
    void FormDestroy();
    void okbuttonClick();
    void cancelbuttonClick();
    void defaultbuttonClick();
    void colorpanelClick(int panel);
    void startchareditChange();
    void endchareditChange();
    void changefontbuttonClick();

    void NumberEditChange(const GlimraSettingInfo& setting);
    void ShowPage(int page);
    void PlaceFrame();
    void DrawColourPanel(const DRAWITEMSTRUCT& item);
    int PixelsPerInch() const;
    void EndForm();

    HWND m_window = nullptr;
    bool m_ended = false;
    std::bitset<256> m_pressedWhileShown;
    std::unique_ptr<GlimraOptions> m_options;
    HFONT m_sampleFont = nullptr;
    HFONT m_captionFont = nullptr;
    std::array<COLORREF, 16> m_customColours{};
    ColourChooser m_colourChooser;
    FontChooser m_fontChooser;
    ErrorBox m_errorBox;
};
