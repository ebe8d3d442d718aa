#pragma once

#include "platform/linux/StopSignals.h"

// The saver on every output of the Wayland compositor, for LinuxFaces::RunWaylandSaver: all that a
// program's entry point needs of this face. False, having said why on standard error, when the
// compositor cannot be reached or cannot show the saver, or the connection fails while it runs.
bool RunWaylandSaver(StopSignals& signals);
