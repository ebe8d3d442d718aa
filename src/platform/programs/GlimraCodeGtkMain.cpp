// glimracode-gtk: the faces of glimracode that need GTK or GLib: the settings dialog and the
// session's idle watcher. glimracode hands its command line over to this program for them, and this
// program hands back the saver, on X11 and on Wayland alike.

#include "platform/gtk/GtkSettingsDialog.h"
#include "platform/idle/IdleMode.h"
#include "platform/programs/LinuxProgram.h"

namespace {

int RunIdle(int argc, char** argv) {
    return RunIdleMode(argc, argv).value_or(2);
}

} // namespace

int main(int argc, char** argv) {
    LinuxFaces faces;
    faces.RunSettingsDialog = RunGtkSettingsDialog;
    faces.RunIdleMode = RunIdle;
    faces.Sibling = "glimracode";
    return RunLinuxProgram(argc, argv, faces);
}
