#pragma once

#include <cstdint>
#include <optional>

#include "raster/Pixmap.h"

// The saver host seam: what the saver window's logic (Tglimrascreen) needs of an operating system.
//
// A platform's saver window implements it and hands itself to Tglimrascreen, then feeds it the
// window's events: FormCreate once the window exists, each queued message to AppMessage while the
// filter is installed, clicks to screenpaintClick, timer firings to the three timer handlers, and
// FormClose when the window closes. Every call happens on the one user-interface thread. None of
// these operations reports failure: a host does what it can and the logic goes on, as the saver
// must stay wakeable whatever the system refuses.

struct GlimraPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const GlimraPoint&) const = default;
};

struct GlimraScreenMetrics {
    int32_t PrimaryWidth = 0;  // SM_CXSCREEN
    int32_t PrimaryHeight = 0; // SM_CYSCREEN
    int32_t MonitorCount = 1;  // SM_CMONITORS
    int32_t VirtualLeft = 0;   // SM_XVIRTUALSCREEN
    int32_t VirtualTop = 0;    // SM_YVIRTUALSCREEN
    int32_t VirtualWidth = 0;  // SM_CXVIRTUALSCREEN
    int32_t VirtualHeight = 0; // SM_CYVIRTUALSCREEN
};

enum class GlimraTimer { Main, PasswordDialog, Mouse };

// The window messages the saver reacts to, numbered as Windows numbers them; other hosts translate
// their events into these.
enum GlimraMessageId : uint32_t {
    WmActivate = 6,
    WmKeyDown = 256,
    WmCommand = 273,
    WmSysCommand = 274,
    WmMouseMove = 512,
};

struct GlimraMessage {
    uint32_t Message = 0;
    uintptr_t WParam = 0;
    // For WmMouseMove: x in the low 16 bits and y in the next 16, window coordinates.
    intptr_t LParam = 0;
};

// What the saver owes Windows itself: the system's screen-saver-running flag and the Windows 95/98
// password step. Only the Windows host provides it.
class GlimraWindowsDuties {
public:
    virtual ~GlimraWindowsDuties() = default;

    // The system's screen-saver-running flag.
    virtual void SetScreenSaverRunning(bool running) = 0;
    // The Windows 95/98 password step. IsWin9x false means there is none.
    virtual bool IsWin9x() = 0;
    // "ScreenSaveUsePassword" of "Control Panel\Desktop": nothing when the key cannot be opened or
    // the value is missing or not a 32-bit integer.
    virtual std::optional<uint32_t> ScreenSaveUsePassword() = 0;
    // The system's password dialog: true accepted, false refused; nothing when the password
    // library or its function is missing.
    virtual std::optional<bool> VerifyScreenSavePassword() = 0;
    // Before the window closes on Windows 95/98: normal state, then width 0, then height 0.
    virtual void ShrinkWindow() = 0;
};

class GlimraSaverHost {
public:
    virtual ~GlimraSaverHost() = default;

    virtual GlimraScreenMetrics ScreenMetrics() = 0;
    // Makes the window cover the primary monitor.
    virtual void MaximiseWindow() = 0;
    // Places the window in screen coordinates; left and top may be negative.
    virtual void SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
    // Where the window's top-left corner lies on the screen, so that window coordinates of pointer
    // messages can be compared with screen positions.
    virtual GlimraPoint WindowOrigin() = 0;

    virtual GlimraPoint CursorPosition() = 0;
    // Display-count semantics: each hide needs a show.
    virtual void ShowPointer(bool show) = 0;

    // The drawing surface, width x height, that the engine draws on; the host keeps it as its back
    // buffer, answers repaints from it, and shows what changed when Present is called.
    virtual Pixmap& Surface(int32_t width, int32_t height) = 0;
    virtual void Present() = 0;

    // A periodic timer on the window's thread. An interval of 0 (or less) never fires.
    virtual void StartTimer(GlimraTimer timer, int32_t intervalMs) = 0;
    virtual void StopTimer(GlimraTimer timer) = 0;
    // While installed, the host passes every queued message to AppMessage before dispatching it.
    virtual void InstallMessageFilter(bool installed) = 0;

    // Closes the window; as the main window, that ends the message loop.
    virtual void CloseWindow() = 0;

    // The duties only Windows has, or null on a system without them: the logic then has no flag to
    // set and no password step to take.
    virtual GlimraWindowsDuties* WindowsDuties() { return nullptr; }
};
