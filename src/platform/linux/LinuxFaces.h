#pragma once

#include "platform/linux/StopSignals.h"
#include "platform/linux/X11HackOptions.h"

class FileSettingsStore;
class GlimraLockFile;
class GlimraRuntime;

// What a Linux program can show, filled in by its entry point. The saver, on X11 and on Wayland,
// runs in a program that loads no toolkit, since a daemon or the idle watcher starts it on every
// activation; the settings dialog and the idle watcher need GTK or GLib and run in a sibling
// program. A face a program lacks is null, and a command line that needs it is handed whole to the
// sibling, so that users and daemons only ever run `glimracode`.
struct LinuxFaces {
    // The saver on $DISPLAY. False when the display cannot be opened or cannot show it; the face
    // has then said why on standard error.
    bool (*RunX11Saver)(StopSignals& signals) = nullptr;
    // The hack modes of X11 screen-saver daemons, which start the runtime's modules once the
    // display is open; returns the exit code.
    int (*RunX11Hack)(const X11HackOptions& options, StopSignals& signals, GlimraRuntime& runtime) = nullptr;
    // The saver on every output of the Wayland compositor. False, with nothing shown, when the
    // compositor cannot be reached.
    bool (*RunWaylandSaver)(StopSignals& signals) = nullptr;
    // The settings dialog over store, the installed one; false, with nothing shown, when no display
    // can be opened. lock is the instance lock the program holds, which the dialog lends to the
    // saver it starts as its preview.
    bool (*RunSettingsDialog)(FileSettingsStore& store, const GlimraLockFile& lock) = nullptr;
    // The session's idle watcher and its autostart entry (--idle, --autostart): the exit code.
    int (*RunIdleMode)(int argc, char** argv) = nullptr;
    // The file name, beside this program, of the program that has the faces this one lacks.
    const char* Sibling = nullptr;
};
