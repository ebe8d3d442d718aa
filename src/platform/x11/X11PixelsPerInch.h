#pragma once

#include "platform/x11/X11Headers.h"

// Gives the installed rasteriser the display's density (its Xft.dpi, else 96), before an engine
// measures its glyphs, so that a font size in points is the size it is elsewhere on that screen.
void FollowPixelsPerInch(Display* display);
