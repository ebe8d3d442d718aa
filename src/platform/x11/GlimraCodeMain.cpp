// glimracode: the saver on Linux, on X11 or Wayland. It answers the Windows switches as the Windows
// saver does, and the command-line conventions of X11 screen-saver daemons beside them.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/linux/IdleMode.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "platform/wayland/WaylandDisplayChoice.h"
#include "platform/wayland/WaylandProgramHost.h"
#include "platform/x11/X11HackOptions.h"
#include "platform/x11/X11HackScreen.h"
#include "platform/x11/X11ProgramHost.h"
#include "settings/GlimraSettingOptions.h"
#include "shell/GlimraCode.h"
#include "shell/GlimraModules.h"

namespace {

constexpr const char* Usage =
    "usage: glimracode [--wayland | --x11] [/s | /c | /p HWND | /a HWND]\n"
    "       glimracode --root | --window-id ID | --window | --help\n"
    "  /s              the saver, full screen on every monitor; a key, a click or moving the\n"
    "                  mouse ends it\n"
    "  /c or nothing   the settings dialog; without a display, prints where the settings file\n"
    "                  is and the values it holds\n"
    "  /p, /a          do nothing on Linux (preview and password change belong to Windows)\n"
    "  --wayland       /s and /c on Wayland, the choice when $WAYLAND_DISPLAY is set\n"
    "  --x11           /s and /c on X11 ($DISPLAY), the choice otherwise\n"
    "  --root          draws on the root window, or on the window $XSCREENSAVER_WINDOW names\n"
    "  --window-id ID  draws into the window ID (decimal or 0x hexadecimal), as a preview\n"
    "  --window        draws in a window of its own\n"
    "The last three are for X11 screen-saver daemons: input does not end the program there;\n"
    "SIGTERM or SIGINT does.\n"
    "With /s and in the last three, settings for this run only, over the settings file, which is\n"
    "never written (XScreenSaver's settings panel passes them):\n";

Window HackTarget(Display* display, const X11HackOptions& options) {
    if (options.Mode == X11HackMode::WindowId)
        return static_cast<Window>(options.WindowId);
    // A daemon that keeps a window of its own for hacks names it here.
    if (const char* named = std::getenv("XSCREENSAVER_WINDOW"))
        if (const std::optional<uint64_t> id = ParseWindowId(named))
            return static_cast<Window>(*id);
    return DefaultRootWindow(display);
}

// The hack modes take no instance marker: the daemon that starts them decides how many run, and a
// settings program's preview must be able to run beside the saver.
int RunHack(const X11HackOptions& options, X11StopSignals& signals) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        std::fprintf(stderr, "glimracode: cannot open the X display '%s'\n", name != nullptr ? name : "");
        return 1;
    }
    StartupModules(ExecutableDirectory());
    std::string problem;
    {
        X11HackScreen screen(display, signals);
        problem = options.Mode == X11HackMode::Window ? screen.RunInOwnWindow()
                                                      : screen.Run(HackTarget(display, options));
    }
    ShutdownModules();
    XCloseDisplay(display);
    if (problem.empty())
        return 0;
    std::fprintf(stderr, "glimracode: %s\n", problem.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> code = RunIdleMode(argc, argv))
        return *code;
    GlimraSettingOverrides overrides;
    std::vector<char*> rest;
    try {
        rest = overrides.TakeAll(argc, argv);
    } catch (const GlimraSettingsError& error) {
        std::fprintf(stderr, "glimracode: %s\n", error.what());
        return 2;
    }
    rest.push_back(nullptr);
    const GlimraDisplayChoice display =
        ChooseDisplayFace(static_cast<int>(rest.size()) - 1, rest.data(), std::getenv("WAYLAND_DISPLAY"));
    const X11HackOptions options = ParseHackOptions(display.Argc(), display.Argv());
    if (options.Mode == X11HackMode::Help) {
        std::fputs(Usage, stdout);
        std::fputs(SettingOptionsUsage().c_str(), stdout);
        std::fputs(IdleModeUsage, stdout);
        return 0;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "glimracode: %s\n%s", options.Error.c_str(), Usage);
        return 1;
    }
    if (!overrides.Empty()) {
        // The settings dialog would save what it loaded: options must never reach it.
        const char* first = display.Argc() >= 2 ? display.Argv()[1] : "";
        if (options.Mode == X11HackMode::NotAHack &&
            SelectRunMode(UpperCaseAscii(first)) != GlimraRunMode::Saver) {
            std::fprintf(stderr,
                         "glimracode: the settings' options go with /s or a hack mode, not with '%s'\n",
                         first);
            return 2;
        }
        InstallSettingOverrides(&overrides);
    }
    // The settings dialog asks GTK for a display of its own; a flag binds it to the chosen one.
    if (display.Forced)
        setenv("GDK_BACKEND", display.Face == GlimraDisplayFace::Wayland ? "wayland" : "x11", 1);
    FreeTypeRasteriser rasteriser;
    InstallRasteriser(&rasteriser);
    FileSettingsStore store;
    InstallSettingsStore(&store);
    X11StopSignals signals;
    int code = 0;
    if (options.Mode == X11HackMode::NotAHack && display.Face == GlimraDisplayFace::Wayland) {
        WaylandProgramHost host(signals);
        code = RunGlimraCode(host, display.Argc(), display.Argv());
    } else if (options.Mode == X11HackMode::NotAHack) {
        X11ProgramHost host(signals);
        code = RunGlimraCode(host, display.Argc(), display.Argv());
    } else {
        code = RunHack(options, signals);
    }
    InstallSettingsStore(nullptr);
    InstallRasteriser(nullptr);
    return code;
}
