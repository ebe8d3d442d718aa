#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

// What the saver would find out about the screen that shows a widget, asked through GTK.

// The density the saver draws at there, in device pixels: on X11 the Xft.dpi resource (else 96),
// read as the X11 saver reads it; on Wayland 96 times the scale.
[[nodiscard]] int32_t ScreenPixelsPerInch(GtkWidget* widget);

// The flag that makes the saver show on the widget's display kind ("--x11" or "--wayland"): left to
// itself it takes Wayland whenever $WAYLAND_DISPLAY is set, even when a flag sent the dialog to X11.
[[nodiscard]] std::string SaverDisplayFlag(GtkWidget* widget);
