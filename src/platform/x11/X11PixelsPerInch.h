#pragma once

#include <cstdint>

#include "platform/x11/X11Headers.h"

// The pixels per inch of an X display, so that a font size in points is the size it is elsewhere on
// that screen. Desktops publish the density they draw at as the Xft.dpi resource in the root
// window's resource database (a desktop scaled to 200 % publishes 192); without it, 96, the density
// X clients assume. A fractional value is rounded.
int32_t X11PixelsPerInch(Display* display);

// Gives the installed rasteriser the display's density, before an engine measures its glyphs.
void FollowPixelsPerInch(Display* display);
