// glimra-app-window [--fullscreen]: the user's application, all one colour, which the saver must
// cover and from which it must take the keyboard. It says on stdout when it shows, when it gains
// or loses the keyboard, and every key it receives, so that a test can tell which window had the
// keys.

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

namespace {

void Say(const char* what, const char* detail = nullptr) {
    if (detail != nullptr)
        std::printf("%s %s\n", what, detail);
    else
        std::printf("%s\n", what);
    std::fflush(stdout);
}

gboolean PaintRed(GtkWidget*, cairo_t* cr, gpointer) {
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer) {
    Say("shown");
    return FALSE;
}

gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer) {
    Say(event->in ? "focus-in" : "focus-out");
    return FALSE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer) {
    Say("key", gdk_keyval_name(event->keyval));
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    const bool fullscreen = argc > 1 && std::strcmp(argv[1], "--fullscreen") == 0;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), fullscreen ? "glimra-app-fullscreen" : "glimra-app-window");
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 400);
    gtk_widget_set_app_paintable(window, TRUE);
    g_signal_connect(window, "draw", G_CALLBACK(PaintRed), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(OnMapped), nullptr);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(OnFocus), nullptr);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocus), nullptr);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    if (fullscreen)
        gtk_window_fullscreen(GTK_WINDOW(window));
    gtk_widget_show(window);
    gtk_main();
    return 0;
}
