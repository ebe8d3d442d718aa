#include "platform/win32/OptionsDialogPages.h"

#include <commctrl.h>

#include "resource.h"

namespace {

// The client area at 96 dpi, and the strip of buttons below the pages.
constexpr int ClientWidth = 401;
constexpr int ClientHeight = 458;
constexpr int ButtonStrip = 41;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

// How much wider and taller the client area is than the template's own extent in the dialog's
// font, in 1/1000, so that the pages keep their proportions with a font wider or narrower than
// MS Sans Serif.
struct PageScale {
    HWND Dialog;
    int X;
    int Y;
};

BOOL CALLBACK ScaleIfOnPage(HWND child, LPARAM scaleAddress) {
    const int id = GetDlgCtrlID(child);
    if (id < IDC_PAGEFIRST)
        return TRUE;
    const auto& scale = *reinterpret_cast<const PageScale*>(scaleAddress);
    RECT bounds{};
    if (!GetWindowRect(child, &bounds))
        return TRUE;
    MapWindowPoints(nullptr, scale.Dialog, reinterpret_cast<POINT*>(&bounds), 2);
    MoveWindow(child, MulDiv(bounds.left, scale.X, 1000), MulDiv(bounds.top, scale.Y, 1000),
               MulDiv(bounds.right - bounds.left, scale.X, 1000),
               MulDiv(bounds.bottom - bounds.top, scale.Y, 1000), FALSE);
    return TRUE;
}

struct PageChoice {
    int Page;
    int PageCount;
};

BOOL CALLBACK ShowIfOnPage(HWND child, LPARAM choiceAddress) {
    const auto& choice = *reinterpret_cast<const PageChoice*>(choiceAddress);
    const int id = GetDlgCtrlID(child);
    if (id < IDC_PAGEFIRST || id >= IDC_PAGEFIRST + IDC_PAGESPAN * choice.PageCount)
        return TRUE;
    const bool shown = (id - IDC_PAGEFIRST) / IDC_PAGESPAN == choice.Page;
    ShowWindow(child, shown ? SW_SHOW : SW_HIDE);
    return TRUE;
}

} // namespace

void PlaceDialogFrame(HWND dialog, int dpi) {
    const int width = MulDiv(ClientWidth, dpi, 96);
    const int height = MulDiv(ClientHeight, dpi, 96);
    RECT templateClient{};
    if (!GetClientRect(dialog, &templateClient) || templateClient.right <= 0 || templateClient.bottom <= 0)
        return;
    PageScale scale{dialog, MulDiv(width, 1000, templateClient.right),
                    MulDiv(height, 1000, templateClient.bottom)};
    EnumChildWindows(dialog, ScaleIfOnPage, reinterpret_cast<LPARAM>(&scale));
    RECT frame{0, 0, width, height};
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE));
    const auto extendedStyle = static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&frame, style, FALSE, extendedStyle))
        return;
    RECT workArea{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0))
        return;
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    SetWindowPos(dialog, nullptr, workArea.left + (workArea.right - workArea.left - frameWidth) / 2,
                 workArea.top + (workArea.bottom - workArea.top - frameHeight) / 2, frameWidth, frameHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    const int strip = MulDiv(ButtonStrip, dpi, 96);
    const int buttonWidth = MulDiv(ButtonWidth, dpi, 96);
    const int buttonHeight = MulDiv(ButtonHeight, dpi, 96);
    const int gap = MulDiv(8, dpi, 96);
    const int buttonTop = height - strip + (strip - buttonHeight) / 2;
    MoveWindow(GetDlgItem(dialog, IDC_OPTIONPAGES), 0, 0, width, height - strip, TRUE);
    MoveWindow(GetDlgItem(dialog, IDC_DEFAULTBUTTON), gap, buttonTop, buttonWidth, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), width - 2 * (buttonWidth + gap), buttonTop, buttonWidth,
               buttonHeight, TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), width - buttonWidth - gap, buttonTop, buttonWidth, buttonHeight,
               TRUE);
}

void ShowControlsOfPage(HWND dialog, int page, int pageCount) {
    PageChoice choice{page, pageCount};
    EnumChildWindows(dialog, ShowIfOnPage, reinterpret_cast<LPARAM>(&choice));
}

// The dialog's background as a page shows it: the button face, and over it the tab control with
// its page body, which a theme may paint lighter than the dialog.
void PaintPageBackground(HWND dialog, HDC dc) {
    RECT client{};
    GetClientRect(dialog, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    // A themed tab control may ask the dialog for the background beneath its own parts, which would
    // come back here: that request gets the button face alone.
    static bool s_printing = false;
    if (s_printing)
        return;
    HWND pages = GetDlgItem(dialog, IDC_OPTIONPAGES);
    RECT tab{};
    if (pages == nullptr || !GetWindowRect(pages, &tab))
        return;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&tab), 2);
    POINT origin{};
    OffsetViewportOrgEx(dc, tab.left, tab.top, &origin);
    s_printing = true;
    SendMessageA(pages, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    s_printing = false;
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

// The tab control clips its siblings, so nothing but a label itself paints beneath it; a label that
// draws its text transparently would show whatever a control of another page left there. It gets
// the page's background painted first.
void PaintPageBackgroundUnder(HWND dialog, HWND control, HDC dc) {
    RECT area{};
    if (!GetWindowRect(control, &area))
        return;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, area.right - area.left, area.bottom - area.top);
    OffsetViewportOrgEx(dc, -area.left, -area.top, nullptr);
    PaintPageBackground(dialog, dc);
    RestoreDC(dc, saved);
}

bool IsGroupBox(HWND control) {
    char className[16]{};
    GetClassNameA(control, className, sizeof className);
    return lstrcmpiA(className, "Button") == 0 &&
           (static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & BS_TYPEMASK) == BS_GROUPBOX;
}
