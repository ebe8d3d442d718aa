#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The command-line conventions of Linux screen-saver daemons, which start a hack with an X window
// to draw in rather than with a Windows switch. They are read before the Windows switches; a
// first argument that is none of them is left to the run-mode selection.
enum class X11HackMode {
    NotAHack,
    Root,     // --root / -root: the root window, or the one $XSCREENSAVER_WINDOW names
    WindowId, // --window-id ID / -window-id ID: a window someone else made, such as a preview
    Window,   // --window / -window: an ordinary window of our own
    Help,     // --help / -help / -h
};

struct X11HackOptions {
    X11HackMode Mode = X11HackMode::NotAHack;
    uint64_t WindowId = 0;
    // Set when the command line asked for a hack mode in a way that cannot be followed.
    std::string Error;
};

X11HackOptions ParseHackOptions(int argc, const char* const* argv);

// A window id as daemons write it: decimal, or hexadecimal after 0x or 0X. Nothing for an empty
// text, trailing rubbish, 0, or a value beyond 32 bits (X ids have 29).
std::optional<uint64_t> ParseWindowId(std::string_view text);

inline constexpr const char* HackUsage =
    "usage: glimracode [/s | /c | /p HWND | /a HWND]\n"
    "       glimracode --root | --window-id ID | --window | --help\n"
    "  /s              the saver, full screen; a key, a click or moving the mouse ends it\n"
    "  /c or nothing   shows where the settings file is and the values it holds\n"
    "  /p, /a          do nothing on Linux (preview and password change belong to Windows)\n"
    "  --root          draws on the root window, or on the window $XSCREENSAVER_WINDOW names\n"
    "  --window-id ID  draws into the window ID (decimal or 0x hexadecimal), as a preview\n"
    "  --window        draws in a window of its own\n"
    "In the last three, input does not end the program; SIGTERM or SIGINT does.\n";
