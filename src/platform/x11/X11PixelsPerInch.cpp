#include "platform/x11/X11PixelsPerInch.h"

#include "glyphs/GlimraRasteriser.h"
#include "platform/linux/XftPixelsPerInch.h"

void FollowPixelsPerInch(Display* display) {
    if (GlimraRasteriser* rasteriser = InstalledRasteriser())
        rasteriser->SetPixelsPerInch(XftPixelsPerInch(display));
}
