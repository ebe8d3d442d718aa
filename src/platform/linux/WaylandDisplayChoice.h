#pragma once

#include <string>
#include <vector>

// Which display server the saver talks to. A Wayland client finds its compositor through
// $WAYLAND_DISPLAY; a session that sets it also runs XWayland, so its $DISPLAY would only give a
// window inside the compositor. --wayland and --x11, anywhere on the command line, override that
// guess and are taken out of the arguments, so that the switches keep their places.
enum class GlimraDisplayFace { X11, Wayland };

struct GlimraDisplayChoice {
    GlimraDisplayFace Face = GlimraDisplayFace::X11;
    // True when a flag chose the face rather than the environment.
    bool Forced = false;
    // argv without the face flags, argv[0] first and a null last, as main receives it.
    std::vector<const char*> Arguments;

    int Argc() const { return static_cast<int>(Arguments.size()) - 1; }
    const char* const* Argv() const { return Arguments.data(); }
};

// waylandDisplay is the value of $WAYLAND_DISPLAY, or null when unset; an empty value counts as
// unset, as libwayland itself would fall back to a default socket that the user never named.
GlimraDisplayChoice ChooseDisplayFace(int argc, const char* const* argv, const char* waylandDisplay);

// Whether a compositor listens at the socket $WAYLAND_DISPLAY names: an absolute path, or a name in
// $XDG_RUNTIME_DIR. Asked with a plain connect, so that a process that ends up on X11 loads no
// Wayland library.
bool WaylandSocketAnswers(const char* waylandDisplay, const char* runtimeDir);
