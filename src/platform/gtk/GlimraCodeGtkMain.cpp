// glimracode-gtk: the faces of glimracode that need GTK or GLib: the settings dialog, the saver on
// Wayland and the session's idle watcher. glimracode hands its command line over to this program for them,
// and this program hands back what is X11's.

#include <cstdio>
#include <cstdlib>

#include "platform/gtk/GtkSettingsDialog.h"
#include "platform/linux/IdleMode.h"
#include "platform/linux/LinuxProgram.h"
#include "platform/wayland/WaylandSaver.h"

namespace {

bool RunWaylandSaver(StopSignals& signals) {
    WaylandSaver saver(signals);
    if (saver.Run())
        return true;
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "glimracode: cannot connect to the Wayland display '%s'\n",
                 name != nullptr && *name != '\0' ? name : "wayland-0");
    return false;
}

int RunIdle(int argc, char** argv) {
    return RunIdleMode(argc, argv).value_or(2);
}

} // namespace

int main(int argc, char** argv) {
    LinuxFaces faces;
    faces.RunWaylandSaver = RunWaylandSaver;
    faces.RunSettingsDialog = RunGtkSettingsDialog;
    faces.RunIdleMode = RunIdle;
    faces.Sibling = "glimracode";
    return RunLinuxProgram(argc, argv, faces);
}
