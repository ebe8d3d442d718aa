#include "platform/gtk/GtkScreen.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>

#include <algorithm>

#include "platform/linux/XftPixelsPerInch.h"

int32_t ScreenPixelsPerInch(GtkWidget* widget) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (GDK_IS_X11_DISPLAY(display))
        return XftPixelsPerInch(GDK_DISPLAY_XDISPLAY(display));
    return 96 * std::max(gtk_widget_get_scale_factor(widget), 1);
}

std::string SaverDisplayFlag(GtkWidget* widget) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    if (GDK_IS_WAYLAND_DISPLAY(display))
        return "--wayland";
    return GDK_IS_X11_DISPLAY(display) ? "--x11" : "";
}
