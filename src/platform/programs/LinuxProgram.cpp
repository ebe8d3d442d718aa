// glimracode: the saver on Linux, on X11 or Wayland. It answers the Windows switches as the Windows
// saver does, and the command-line conventions of X11 screen-saver daemons beside them.

#include "platform/programs/LinuxProgram.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/idle/IdleMode.h"
#include "platform/linux/LinuxProgramHost.h"
#include "platform/linux/WaylandDisplayChoice.h"
#include "platform/posix/CommandLine.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "platform/posix/ShownText.h"
#include "settings/AsciiCase.h"
#include "settings/GlimraSettingOptions.h"
#include "shell/GlimraCode.h"
#include "shell/GlimraRuntime.h"

namespace {

constexpr const char* Usage =
    "usage: glimracode [--wayland | --x11] [/s | /c | /p HWND | /a HWND]\n"
    "       glimracode --root | --window-id ID | --window | --help | --version\n"
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

constexpr GlimraOwnOption OwnOptions[] = {
    {"wayland", false, true}, {"x11", false, true},      {"root", false, true},
    {"window", false, true},  {"window-id", true, true},
};

// The saver's usage only: a mistake in the saver's switches has nothing to do with the idle modes.
int Mistaken(const std::string& mistake) {
    return TellMistake("glimracode", mistake, Usage);
}

// What is left after the options must be one Windows switch (read as Windows reads it, by its
// first letter), with the window handle that /c, /p and /a may carry, or nothing but the window id
// in the hack modes.
std::string MisplacedArgument(const X11HackOptions& options, const GlimraDisplayChoice& display) {
    const char* const* argv = display.Argv();
    int used = 1;
    if (options.Mode != X11HackMode::NotAHack) {
        used = options.Mode == X11HackMode::WindowId ? 3 : 2;
    } else if (display.Argc() > 1) {
        const std::string_view argument = argv[1];
        const GlimraRunMode mode = SelectRunMode(AsciiUppered(argument));
        if (mode == GlimraRunMode::None)
            return "unknown switch '" + ShownText(argument) + "'";
        used = mode == GlimraRunMode::Saver ? 2 : 3;
    }
    if (display.Argc() > used)
        return "unexpected argument '" + ShownText(argv[used]) + "'";
    return "";
}

// A $WAYLAND_DISPLAY left over from another session names a socket that nobody answers; with an X
// display beside it, the saver and the dialog show there instead of nowhere. The variable goes, so
// that GTK and a sibling program this one hands over to see only the X display.
void FallBackFromAbsentCompositor(GlimraDisplayChoice& display) {
    if (display.Face != GlimraDisplayFace::Wayland || display.Forced)
        return;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    if (x11 == nullptr || *x11 == '\0' || WaylandSocketAnswers(wayland, std::getenv("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "glimracode: no Wayland compositor answers at '%s'; using the X display '%s'\n",
                 wayland, x11);
    display.Face = GlimraDisplayFace::X11;
    unsetenv("WAYLAND_DISPLAY");
}

} // namespace

int RunLinuxProgram(int argc, char** argv, const LinuxFaces& faces) {
    if (IsIdleModeLine(argc, argv))
        return faces.RunIdleMode != nullptr ? faces.RunIdleMode(argc, argv)
                                            : HandOverToSibling(faces.Sibling, argv);
    const GlimraCommandLine line = ReadCommandLine(argc, argv, OwnOptions, true);
    static const std::string usage = std::string(Usage) + IdleModeUsage;
    if (const std::optional<int> answered = AnswerWithoutRunning(line, "glimracode", usage.c_str()))
        return *answered;
    const std::vector<const char*> rest = line.Argv();
    GlimraDisplayChoice display =
        ChooseDisplayFace(static_cast<int>(rest.size()) - 1, rest.data(), std::getenv("WAYLAND_DISPLAY"));
    const X11HackOptions options = ParseHackOptions(display.Argc(), display.Argv());
    if (!options.Error.empty())
        return Mistaken(options.Error);
    if (const std::string problem = MisplacedArgument(options, display); !problem.empty())
        return Mistaken(problem);
    const GlimraSettingOverrides& overrides = line.Overrides;
    if (!overrides.Empty()) {
        // The settings dialog would save what it loaded: options must never reach it.
        const char* first = display.Argc() >= 2 ? display.Argv()[1] : "";
        if (options.Mode == X11HackMode::NotAHack &&
            SelectRunMode(AsciiUppered(first)) != GlimraRunMode::Saver) {
            std::fprintf(stderr,
                         "glimracode: the settings' options go with /s or a hack mode, not with '%s'\n",
                         first);
            return 2;
        }
    }
    // The hack modes need the X11 face; a program without it hands them to the one that has it.
    if (options.Mode != X11HackMode::NotAHack && faces.RunX11Hack == nullptr)
        return HandOverToSibling(faces.Sibling, argv);
    if (options.Mode == X11HackMode::NotAHack)
        FallBackFromAbsentCompositor(display);
    // The settings dialog asks GTK for a display of its own; a flag binds it to the chosen one.
    if (display.Forced)
        setenv("GDK_BACKEND", display.Face == GlimraDisplayFace::Wayland ? "wayland" : "x11", 1);
    FreeTypeRasteriser rasteriser;
    FileSettingsStore store;
    GlimraRuntime runtime({&rasteriser, &store, overrides.Empty() ? nullptr : &overrides});
    StopSignals signals;
    if (options.Mode != X11HackMode::NotAHack)
        return faces.RunX11Hack(options, signals, runtime);
    LinuxProgramHost host(faces, display.Face, signals, store, argv);
    const int code = RunGlimraCode(runtime, host, display.Argc(), display.Argv());
    // The Windows saver ends with 0 whatever happens; here a daemon or a user at a terminal must
    // learn that no display could show the saver.
    return host.DisplayFailed() ? 1 : code;
}
