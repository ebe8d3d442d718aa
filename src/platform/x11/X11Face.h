#pragma once

#include "platform/linux/StopSignals.h"
#include "platform/linux/X11HackOptions.h"

class GlimraRuntime;

// What a program's entry point needs of the X11 face, for LinuxFaces.

// The saver on $DISPLAY, for LinuxFaces::RunX11Saver. False, having said why on standard error,
// when the display cannot be opened or its screen cannot show the saver.
bool RunX11Saver(StopSignals& signals);

// The hack modes, for LinuxFaces::RunX11Hack: the runtime's modules start once the display is
// open. Returns the exit code, having said why on standard error when it is not 0.
int RunX11Hack(const X11HackOptions& options, StopSignals& signals, GlimraRuntime& runtime);
