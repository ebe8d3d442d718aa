#pragma once

#include <cstdint>

struct _XDisplay;

// The pixels per inch of an X display, so that a font size in points is the size it is elsewhere on
// that screen. Desktops publish the density they draw at as the Xft.dpi resource in the root
// window's resource database (a desktop scaled to 200 % publishes 192); without it, 96, the density
// X clients assume. A fractional value is rounded. The X11 saver and the dialog's preview both ask
// here, so that the pane draws the glyphs at the size the saver will.
int32_t XftPixelsPerInch(_XDisplay* display);
