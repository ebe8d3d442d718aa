#include "platform/linux/XftPixelsPerInch.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cmath>
#include <cstdlib>

int32_t XftPixelsPerInch(_XDisplay* display) {
    constexpr int32_t Usual = 96;
    // The string belongs to the display; the database made from it is ours.
    const char* resources = XResourceManagerString(display);
    if (resources == nullptr)
        return Usual;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (database == nullptr)
        return Usual;
    char* type = nullptr;
    XrmValue value{};
    double dpi = 0;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr)
        dpi = std::strtod(value.addr, nullptr);
    XrmDestroyDatabase(database);
    // Nonsense (zero, negative, or beyond any screen) is ignored rather than drawn at.
    if (!(dpi >= 1 && dpi <= 4800))
        return Usual;
    return static_cast<int32_t>(std::lround(dpi));
}
