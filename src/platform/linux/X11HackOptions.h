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
