#pragma once

// Xlib's headers, included only through here. Xlib names its server-side pixmaps "Pixmap", as the
// raster layer names its surfaces; in this program Xlib's type is XPixmap. Xlib's macro None would
// also rewrite the enumerators of that name elsewhere in the tree, so it is XNone here.

#include "raster/Pixmap.h"

#define Pixmap XPixmap
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#undef Pixmap

#ifdef None
inline constexpr XID XNone = None;
#undef None
#endif
