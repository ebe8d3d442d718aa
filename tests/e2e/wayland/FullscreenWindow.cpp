// glimra-fullscreen-window: an ordinary application window, full screen and all one colour, for
// the tests to prove that the saver covers even that.

#include <gtk/gtk.h>

#include <cstdio>

namespace {

gboolean PaintRed(GtkWidget*, cairo_t* cr, gpointer) {
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

gboolean SayShown(GtkWidget*, GdkEvent*, gpointer) {
    std::puts("shown");
    std::fflush(stdout);
    return FALSE;
}

} // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "glimra-fullscreen-window");
    gtk_widget_set_app_paintable(window, TRUE);
    g_signal_connect(window, "draw", G_CALLBACK(PaintRed), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(SayShown), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_window_fullscreen(GTK_WINDOW(window));
    gtk_widget_show(window);
    gtk_main();
    return 0;
}
