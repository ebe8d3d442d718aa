#include "platform/win32/OptionsDialog.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/win32/OptionsDialogPages.h"
#include "resource.h"
#include "shell/GlimraCode.h"

namespace {

// Which controls show which setting. A pair has its edit box and up-down; a check box or colour
// panel has no second control.
struct SettingControls {
    GlimraSettingId Id;
    int Control;
    int UpDown;
};

constexpr std::array<SettingControls, 23> ControlTable{{
    {GlimraSettingId::Delay, IDC_TICKDELAYEDIT, IDC_TICKDELAYUPDOWN},
    {GlimraSettingId::Saturation, IDC_COLSATEDIT, IDC_COLSATUPDOWN},
    {GlimraSettingId::Volatility, IDC_VOLATILITYEDIT, IDC_VOLATILITYUPDOWN},
    {GlimraSettingId::Creature, IDC_CREATUREWEIGHT, IDC_CREATUREWEIGHTUPDOWN},
    {GlimraSettingId::Blank, IDC_BLANKWEIGHT, IDC_BLANKWEIGHTUPDOWN},
    {GlimraSettingId::Static, IDC_STATICWEIGHT, IDC_STATICWEIGHTUPDOWN},
    {GlimraSettingId::Horizontal, IDC_HFLIPCHECK, 0},
    {GlimraSettingId::Vertical, IDC_VFLIPCHECK, 0},
    {GlimraSettingId::Nothing, IDC_NOTHINGEDIT, IDC_NOTHINGUPDOWN},
    {GlimraSettingId::CreatureStartColor, IDC_STARTCOLORPANEL, 0},
    {GlimraSettingId::CreatureEndColor, IDC_ENDCOLORPANEL, 0},
    {GlimraSettingId::CreatureStates, IDC_STATEEDIT, IDC_STATEUPDOWN},
    {GlimraSettingId::StartChar, IDC_STARTCHAREDIT, IDC_STARTCHARUPDOWN},
    {GlimraSettingId::EndChar, IDC_ENDCHAREDIT, IDC_ENDCHARUPDOWN},
    {GlimraSettingId::FlipperStartColor, IDC_FLIPSTARTCOLOR, 0},
    {GlimraSettingId::FlipperMidColor, IDC_FLIPMIDCOLOR, 0},
    {GlimraSettingId::FlipperEndColor, IDC_FLIPFINALCOLOR, 0},
    {GlimraSettingId::StaticStartColor, IDC_STATICSTARTCOLOR, 0},
    {GlimraSettingId::StaticMidColor, IDC_STATICMIDCOLOR, 0},
    {GlimraSettingId::StaticEndColor, IDC_STATICFINALCOLOR, 0},
    {GlimraSettingId::FlipperStates, IDC_VOLSTATEEDIT, IDC_VOLSTATEUPDOWN},
    {GlimraSettingId::StaticStates, IDC_STATICSTATEEDIT, IDC_STATICSTATEUPDOWN},
    {GlimraSettingId::SpeedRange, IDC_SPEEDRANGEEDIT, IDC_SPEEDRANGEUPDOWN},
}};

constexpr std::array<const char*, 5> PageNames{"General Settings", "Creature", "Sweeper", "Static", "About"};

const SettingControls& ControlsOf(const GlimraSettingInfo& setting) {
    for (const SettingControls& controls : ControlTable) {
        if (controls.Id == setting.Id)
            return controls;
    }
    std::abort();
}

const GlimraSettingInfo* SettingOfControl(int id) {
    for (const SettingControls& controls : ControlTable) {
        if (controls.Control == id || (controls.UpDown != 0 && controls.UpDown == id))
            return &Setting(controls.Id);
    }
    return nullptr;
}

std::string ControlText(HWND window, int id) {
    const int length = GetWindowTextLengthA(GetDlgItem(window, id));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetDlgItemTextA(window, id, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied));
    return text;
}

// A multi-line edit box breaks lines at "\r\n" only.
std::string WithCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

} // namespace

TGlimraOpts::TGlimraOpts()
    : m_colourChooser([](CHOOSECOLORA& chooser) { return ChooseColorA(&chooser) != FALSE; }),
      m_fontChooser([](CHOOSEFONTA& chooser) { return ChooseFontA(&chooser) != FALSE; }),
      m_errorBox([](HWND owner, const char* message) {
          MessageBoxA(owner, message, ApplicationTitle, MB_OK | MB_ICONERROR);
      }) {
}

TGlimraOpts::~TGlimraOpts() {
    if (m_window != nullptr)
        DestroyWindow(m_window);
    if (m_sampleFont != nullptr)
        DeleteObject(m_sampleFont);
    if (m_captionFont != nullptr)
        DeleteObject(m_captionFont);
}

bool TGlimraOpts::Create(HINSTANCE instance) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    if (!InitCommonControlsEx(&classes))
        return false;
    if (CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_GLIMRAOPTS), nullptr, DialogProcedure,
                           reinterpret_cast<LPARAM>(this)) == nullptr)
        return false;
    ShowWindow(m_window, SW_SHOW);
    // The first page is painted again once the tab control can draw its page body as shown.
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
}

void TGlimraOpts::RunMessageLoop() {
    MSG message;
    while (!m_ended && m_window != nullptr && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (HeldSinceBeforeShown(message))
            continue;
        if (m_window != nullptr && IsDialogMessageA(m_window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A key that was already down when the dialog appeared repeats into it: Enter still held from the
// dialog that closed a moment ago would press this one's Ok. Only a key pressed while the dialog
// shows may act; its own repeats act too, as a held arrow key steps a number.
bool TGlimraOpts::HeldSinceBeforeShown(const MSG& message) {
    const auto key = static_cast<size_t>(message.wParam & 0xFF);
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if ((message.lParam & (1 << 30)) == 0)
            m_pressedWhileShown.set(key);
        return !m_pressedWhileShown.test(key);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        m_pressedWhileShown.reset(key);
        return false;
    default:
        return false;
    }
}

INT_PTR CALLBACK TGlimraOpts::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* form = reinterpret_cast<TGlimraOpts*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        form->m_window = window;
    }
    auto* form = reinterpret_cast<TGlimraOpts*>(GetWindowLongPtrA(window, DWLP_USER));
    if (form == nullptr)
        return FALSE;
    const INT_PTR result = form->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        form->m_window = nullptr;
    }
    return result;
}

INT_PTR TGlimraOpts::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        FormCreate();
        return TRUE;
    case WM_COMMAND:
        HandleCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_OPTIONPAGES && header->code == TCN_SELCHANGE)
            ShowPage(static_cast<int>(SendDlgItemMessageA(m_window, IDC_OPTIONPAGES, TCM_GETCURSEL, 0, 0)));
        return TRUE;
    }
    case WM_VSCROLL: {
        // An up-down's arrows moved its position; its edit box follows, and the edit box's change
        // takes the position to the options.
        if (LOWORD(wParam) != SB_THUMBPOSITION || lParam == 0)
            return FALSE;
        const GlimraSettingInfo* setting = SettingOfControl(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        if (setting == nullptr)
            return FALSE;
        const auto position =
            static_cast<int32_t>(SendMessageA(reinterpret_cast<HWND>(lParam), UDM_GETPOS32, 0, 0));
        SetDlgItemTextA(m_window, ControlsOf(*setting).Control, std::to_string(position).c_str());
        return TRUE;
    }
    case WM_DRAWITEM:
        DrawColourPanel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLOREDIT:
        // The notes box has the button face's colour, as a read-only box would, though it is typed in.
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_CREATUREMEMO)
            return FALSE;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CTLCOLORSTATIC: {
        // Labels show the page, which a themed tab control paints lighter than the dialog; the
        // sunken panels keep their own background under changing text. A group box's frame spans
        // other controls, so only what it asks of the dialog's background is painted for it.
        const auto control = reinterpret_cast<HWND>(lParam);
        const auto dc = reinterpret_cast<HDC>(wParam);
        const int id = GetDlgCtrlID(control);
        if (id == IDC_FONTPANEL || id == IDC_STARTCHARSAMPLE || id == IDC_ENDCHARSAMPLE ||
            id == IDC_FONTNAMEEDIT)
            return FALSE;
        if (!IsGroupBox(control))
            PaintPageBackgroundUnder(m_window, control, dc);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    case WM_ERASEBKGND:
        // Also what a themed control asks for when it draws its parent's background beneath it.
        PaintPageBackground(m_window, reinterpret_cast<HDC>(wParam));
        SetWindowLongPtrA(m_window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_CLOSE:
        cancelbuttonClick();
        return TRUE;
    case WM_DESTROY:
        FormDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}

void TGlimraOpts::HandleCommand(int id, int code) {
    switch (id) {
    case IDOK:
        okbuttonClick();
        return;
    case IDCANCEL:
        cancelbuttonClick();
        return;
    case IDC_DEFAULTBUTTON:
        defaultbuttonClick();
        return;
    case IDC_CHANGEFONTBUTTON:
        changefontbuttonClick();
        return;
    default:
        break;
    }
    // Loading fills the edit boxes while the dialog is being made, before there are options.
    const GlimraSettingInfo* setting = SettingOfControl(id);
    if (setting == nullptr || !m_options)
        return;
    switch (setting->Control) {
    case GlimraSettingControl::UpDown:
        if (code != EN_CHANGE)
            return;
        if (id == IDC_STARTCHAREDIT)
            startchareditChange();
        else if (id == IDC_ENDCHAREDIT)
            endchareditChange();
        else
            NumberEditChange(*setting);
        return;
    case GlimraSettingControl::CheckBox:
        if (code == BN_CLICKED)
            m_options->SetChecked(*setting, IsDlgButtonChecked(m_window, id) == BST_CHECKED);
        return;
    case GlimraSettingControl::ColourPanel:
        if (code == STN_CLICKED)
            colorpanelClick(id);
        return;
    case GlimraSettingControl::FontChooser:
        return;
    }
}

void TGlimraOpts::FormCreate() {
    for (int page = 0; page < static_cast<int>(PageNames.size()); ++page) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(PageNames[static_cast<size_t>(page)]);
        SendDlgItemMessageA(m_window, IDC_OPTIONPAGES, TCM_INSERTITEMA, static_cast<WPARAM>(page),
                            reinterpret_cast<LPARAM>(&item));
    }
    for (const SettingControls& controls : ControlTable) {
        const GlimraSettingInfo& setting = Setting(controls.Id);
        if (controls.UpDown != 0)
            SendDlgItemMessageA(m_window, controls.UpDown, UDM_SETRANGE32,
                                static_cast<WPARAM>(setting.DialogMin),
                                static_cast<LPARAM>(setting.DialogMax));
    }
    SetDlgItemTextA(m_window, IDC_MEMO1, WithCarriageReturns(GlimraAboutText).c_str());

    LOGFONTA caption{};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(m_window, WM_GETFONT, 0, 0));
    if (dialogFont != nullptr && GetObjectA(dialogFont, sizeof caption, &caption) == sizeof caption) {
        caption.lfHeight *= 2;
        caption.lfWeight = FW_BOLD;
        m_captionFont = CreateFontIndirectA(&caption);
        if (m_captionFont != nullptr)
            SendDlgItemMessageA(m_window, IDC_TITLECAPTION, WM_SETFONT,
                                reinterpret_cast<WPARAM>(m_captionFont), FALSE);
    }

    PlaceFrame();
    ShowPage(0);
    m_options = std::make_unique<GlimraOptions>(*this);
    m_options->LoadControls(true);
}

void TGlimraOpts::FormDestroy() {
    m_options.reset();
}

void TGlimraOpts::okbuttonClick() {
    try {
        m_options->StoreControls();
    } catch (const GlimraSettingsError& error) {
        m_errorBox(m_window, error.what());
        return;
    }
    EndForm();
}

void TGlimraOpts::cancelbuttonClick() {
    EndForm();
}

void TGlimraOpts::defaultbuttonClick() {
    m_options->Defaults();
}

void TGlimraOpts::colorpanelClick(int panel) {
    const GlimraSettingInfo* setting = SettingOfControl(panel);
    if (setting == nullptr)
        return;
    CHOOSECOLORA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = m_window;
    chooser.rgbResult = m_options->Colour(*setting) & 0x00FFFFFF;
    chooser.lpCustColors = m_customColours.data();
    chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!m_colourChooser(chooser))
        return;
    m_options->SetColour(*setting, chooser.rgbResult);
}

void TGlimraOpts::startchareditChange() {
    NumberEditChange(Setting(GlimraSettingId::StartChar));
}

void TGlimraOpts::endchareditChange() {
    NumberEditChange(Setting(GlimraSettingId::EndChar));
}

void TGlimraOpts::changefontbuttonClick() {
    LOGFONTA font{};
    font.lfHeight = -MulDiv(m_options->FontSize(), PixelsPerInch(), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(font.lfFaceName, m_options->FontFace().c_str(), LF_FACESIZE - 1);
    CHOOSEFONTA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = m_window;
    chooser.lpLogFont = &font;
    chooser.iPointSize = m_options->FontSize() * 10;
    chooser.Flags = CF_SCREENFONTS | CF_TTONLY | CF_INITTOLOGFONTSTRUCT;
    if (!m_fontChooser(chooser))
        return;
    font.lfFaceName[LF_FACESIZE - 1] = '\0';
    // The chooser reports the size in tenths of a point; the settings keep whole points.
    m_options->FontChosen(font.lfFaceName, (chooser.iPointSize + 5) / 10);
}

void TGlimraOpts::NumberEditChange(const GlimraSettingInfo& setting) {
    const SettingControls& controls = ControlsOf(setting);
    m_options->EditChanged(setting, ControlText(m_window, controls.Control));
    // The up-down steps from the last valid position, not from whatever the text says now.
    SendDlgItemMessageA(m_window, controls.UpDown, UDM_SETPOS32, 0, m_options->Position(setting));
}

void TGlimraOpts::ShowPosition(const GlimraSettingInfo& setting, int32_t position) {
    const SettingControls& controls = ControlsOf(setting);
    SendDlgItemMessageA(m_window, controls.UpDown, UDM_SETPOS32, 0, position);
    SetDlgItemTextA(m_window, controls.Control, std::to_string(position).c_str());
}

void TGlimraOpts::ShowChecked(const GlimraSettingInfo& setting, bool checked) {
    CheckDlgButton(m_window, ControlsOf(setting).Control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void TGlimraOpts::ShowColour(const GlimraSettingInfo& setting, uint32_t) {
    InvalidateRect(GetDlgItem(m_window, ControlsOf(setting).Control), nullptr, TRUE);
}

void TGlimraOpts::ShowFont(const std::string& face, int32_t points) {
    SetDlgItemTextA(m_window, IDC_FONTNAMEEDIT, face.c_str());
    LOGFONTA description{};
    description.lfHeight = -MulDiv(points, PixelsPerInch(), 72);
    description.lfWeight = FW_BOLD;
    description.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(description.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&description);
    if (font == nullptr)
        return;
    for (const int panel : {IDC_FONTPANEL, IDC_STARTCHARSAMPLE, IDC_ENDCHARSAMPLE})
        SendDlgItemMessageA(m_window, panel, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // Only now that no panel uses it any more.
    if (m_sampleFont != nullptr)
        DeleteObject(m_sampleFont);
    m_sampleFont = font;
}

void TGlimraOpts::ShowSample(const GlimraSettingInfo& setting, const std::string& text) {
    const int sample = setting.Id == GlimraSettingId::StartChar ? IDC_STARTCHARSAMPLE : IDC_ENDCHARSAMPLE;
    SetDlgItemTextA(m_window, sample, text.c_str());
}

void TGlimraOpts::ShowPage(int page) {
    ShowControlsOfPage(m_window, page, static_cast<int>(PageNames.size()));
    // Hiding a control makes only the dialog repaint where it was, not the tab control above it.
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TGlimraOpts::PlaceFrame() {
    PlaceDialogFrame(m_window, PixelsPerInch());
}

void TGlimraOpts::DrawColourPanel(const DRAWITEMSTRUCT& item) {
    const GlimraSettingInfo* setting = SettingOfControl(static_cast<int>(item.CtlID));
    if (setting == nullptr || !m_options)
        return;
    // The top byte of a colour value is kept in the settings, but means something else to GDI.
    HBRUSH brush = CreateSolidBrush(m_options->Colour(*setting) & 0x00FFFFFF);
    if (brush == nullptr)
        return;
    FillRect(item.hDC, &item.rcItem, brush);
    DeleteObject(brush);
}

int TGlimraOpts::PixelsPerInch() const {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void TGlimraOpts::EndForm() {
    m_ended = true;
    DestroyWindow(m_window);
}
