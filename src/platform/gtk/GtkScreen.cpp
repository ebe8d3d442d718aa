#include "platform/gtk/GtkScreen.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int32_t XftDpi(Display* display) {
    constexpr int32_t Usual = 96;
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
    return dpi >= 1 && dpi <= 4800 ? static_cast<int32_t>(std::lround(dpi)) : Usual;
}

} // namespace

int32_t ScreenPixelsPerInch(GtkWidget* widget) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (GDK_IS_X11_DISPLAY(display))
        return XftDpi(GDK_DISPLAY_XDISPLAY(display));
    return 96 * std::max(gtk_widget_get_scale_factor(widget), 1);
}

std::string SaverDisplayFlag(GtkWidget* widget) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (GDK_IS_WAYLAND_DISPLAY(display))
        return "--wayland";
    return GDK_IS_X11_DISPLAY(display) ? "--x11" : "";
}
