#include "platform/x11/X11Face.h"

#include <cstdio>
#include <cstdlib>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/x11/X11HackScreen.h"
#include "platform/x11/X11SaverWindow.h"
#include "shell/GlimraRuntime.h"

namespace {

void ReportUnopenedDisplay() {
    const char* name = XDisplayName(nullptr);
    std::fprintf(stderr, "glimracode: cannot open the X display '%s'\n", name != nullptr ? name : "");
}

Window HackTarget(Display* display, const X11HackOptions& options) {
    if (options.Mode == X11HackMode::WindowId)
        return static_cast<Window>(options.WindowId);
    // A daemon that keeps a window of its own for hacks names it here.
    if (const char* named = std::getenv("XSCREENSAVER_WINDOW"))
        if (const std::optional<uint64_t> id = ParseWindowId(named))
            return static_cast<Window>(*id);
    return DefaultRootWindow(display);
}

} // namespace

bool RunX11Saver(StopSignals& signals) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        ReportUnopenedDisplay();
        return false;
    }
    bool shown = false;
    {
        X11SaverWindow window(display, signals);
        shown = window.Run();
        if (!shown)
            std::fputs("glimracode: the screen is not 24-bit TrueColor; the saver cannot show\n", stderr);
    }
    XCloseDisplay(display);
    return shown;
}

// The hack modes take no instance marker: the daemon that starts them decides how many run, and a
// settings program's preview must be able to run beside the saver.
int RunX11Hack(const X11HackOptions& options, StopSignals& signals, GlimraRuntime& runtime) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        ReportUnopenedDisplay();
        return 1;
    }
    runtime.StartModules(ExecutableDirectory());
    std::string problem;
    {
        X11HackScreen screen(display, signals);
        problem = options.Mode == X11HackMode::Window ? screen.RunInOwnWindow()
                                                      : screen.Run(HackTarget(display, options));
    }
    runtime.StopModules();
    XCloseDisplay(display);
    if (problem.empty())
        return 0;
    std::fprintf(stderr, "glimracode: %s\n", problem.c_str());
    return 1;
}
