// glimracode: the saver on Linux. It answers the Windows switches as the Windows saver does, and
// the command-line conventions of Linux screen-saver daemons beside them.

#include <cstdio>
#include <cstdlib>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "platform/x11/X11HackOptions.h"
#include "platform/x11/X11HackScreen.h"
#include "platform/x11/X11ProgramHost.h"
#include "shell/GlimraModules.h"

namespace {

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
    const X11HackOptions options = ParseHackOptions(argc, argv);
    if (options.Mode == X11HackMode::Help) {
        std::fputs(HackUsage, stdout);
        return 0;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "glimracode: %s\n%s", options.Error.c_str(), HackUsage);
        return 1;
    }
    FreeTypeRasteriser rasteriser;
    InstallRasteriser(&rasteriser);
    FileSettingsStore store;
    InstallSettingsStore(&store);
    X11StopSignals signals;
    int code = 0;
    if (options.Mode == X11HackMode::NotAHack) {
        X11ProgramHost host(signals);
        code = RunGlimraCode(host, argc, argv);
    } else {
        code = RunHack(options, signals);
    }
    InstallSettingsStore(nullptr);
    InstallRasteriser(nullptr);
    return code;
}
