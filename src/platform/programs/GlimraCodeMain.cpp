// glimracode: the saver on X11 and on Wayland, and the hack modes of screen-saver daemons, in a
// process that maps no toolkit. The settings dialog and the idle watcher are the sibling program's.

#include "platform/programs/LinuxProgram.h"
#include "platform/wayland/WaylandFace.h"
#include "platform/x11/X11Face.h"

int main(int argc, char** argv) {
    LinuxFaces faces;
    faces.RunX11Saver = RunX11Saver;
    faces.RunX11Hack = RunX11Hack;
    faces.RunWaylandSaver = RunWaylandSaver;
    faces.Sibling = "glimracode-gtk";
    return RunLinuxProgram(argc, argv, faces);
}
