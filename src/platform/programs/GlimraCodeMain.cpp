// glimracode: the saver on X11 and on Wayland, and the hack modes of screen-saver daemons, in a
// process that maps no toolkit. The settings dialog and the idle watcher are the sibling program's.

#include <cstdio>
#include <cstdlib>

#include "platform/linux/WaylandFace.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/programs/LinuxProgram.h"
#include "platform/x11/X11HackScreen.h"
#include "platform/x11/X11SaverWindow.h"
#include "shell/GlimraModules.h"

namespace {

void ReportUnopenedDisplay() {
    const char* name = XDisplayName(nullptr);
    std::fprintf(stderr, "glimracode: cannot open the X display '%s'\n", name != nullptr ? name : "");
}

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
int RunHack(const X11HackOptions& options, StopSignals& signals) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        ReportUnopenedDisplay();
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
    LinuxFaces faces;
    faces.RunX11Saver = RunX11Saver;
    faces.RunX11Hack = RunHack;
    faces.RunWaylandSaver = RunWaylandSaver;
    faces.Sibling = "glimracode-gtk";
    return RunLinuxProgram(argc, argv, faces);
}
