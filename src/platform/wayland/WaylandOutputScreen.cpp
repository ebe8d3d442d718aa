#include "platform/wayland/WaylandOutputScreen.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell.h>

#include <algorithm>

#include "platform/posix/FreeTypeRasteriser.h"
#include "platform/wayland/WaylandSaver.h"

namespace {

// A Wayland output's density is 96 pixels per inch times its scale. The glyph images are made once
// for the whole program and shared by every output's engine, so all outputs draw at the density of
// the densest one: glyphs made for a lower one would be too small to read there.
int DensestScale(GdkDisplay* display) {
    int scale = 1;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i)
        scale = std::max(scale, gdk_monitor_get_scale_factor(gdk_display_get_monitor(display, i)));
    return scale;
}

} // namespace

WaylandOutputScreen::WaylandOutputScreen(WaylandSaver& saver, GdkMonitor* monitor, bool layerShell,
                                         const WaylandShmGlobals& shm)
    : m_saver(saver), m_monitor(monitor), m_scale(std::max(1, gdk_monitor_get_scale_factor(monitor))),
      m_densestScale(DensestScale(gdk_monitor_get_display(monitor))), m_shm(shm) {
    g_object_ref(m_monitor);
    gdk_monitor_get_geometry(m_monitor, &m_geometry);
    for (size_t i = 0; i < m_timers.size(); ++i)
        m_timers[i] = {this, static_cast<GlimraTimer>(i), 0};
    CreateWindow(layerShell);
}

WaylandOutputScreen::~WaylandOutputScreen() {
    for (TimerSource& source : m_timers)
        if (source.Id != 0)
            g_source_remove(source.Id);
    // The sub-surface goes before the window it sits on.
    m_presenter.reset();
    if (m_window != nullptr) {
        g_signal_handlers_disconnect_by_data(m_window, this);
        gtk_widget_destroy(m_window);
    }
    ReleaseImage();
    if (m_blankCursor != nullptr)
        g_object_unref(m_blankCursor);
    g_object_unref(m_monitor);
}

void WaylandOutputScreen::CreateWindow(bool layerShell) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(m_window);
    gtk_window_set_title(window, "glimrascreen");
    gtk_window_set_decorated(window, FALSE);
    gtk_widget_set_app_paintable(m_window, TRUE);
    gtk_window_set_default_size(window, m_geometry.width, m_geometry.height);
    if (layerShell) {
        gtk_layer_init_for_window(window);
        gtk_layer_set_namespace(window, "glimracode");
        gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
        gtk_layer_set_monitor(window, m_monitor);
        for (GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                       GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM})
            gtk_layer_set_anchor(window, edge, TRUE);
        // -1: lie over the space that panels reserve for themselves instead of beside it.
        gtk_layer_set_exclusive_zone(window, -1);
        gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    } else {
        // Without layer shell the best a client can ask for is to be full screen on the output;
        // the compositor keeps it above ordinary windows while it has the focus.
        GdkDisplay* display = gdk_monitor_get_display(m_monitor);
        int index = 0;
        for (int i = 0; i < gdk_display_get_n_monitors(display); ++i)
            if (gdk_display_get_monitor(display, i) == m_monitor)
                index = i;
        gtk_window_fullscreen_on_monitor(window, gdk_display_get_default_screen(display), index);
        gtk_window_set_keep_above(window, TRUE);
    }
    gtk_widget_add_events(m_window, GDK_KEY_PRESS_MASK | GDK_BUTTON_PRESS_MASK | GDK_POINTER_MOTION_MASK |
                                        GDK_ENTER_NOTIFY_MASK);
    g_signal_connect(m_window, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(m_window, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(m_window, "enter-notify-event", G_CALLBACK(OnEnter), this);
    // The pointer is hidden through the GDK window, which exists only once the widget is realised.
    gtk_widget_realize(m_window);
    m_blankCursor = gdk_cursor_new_for_display(gdk_monitor_get_display(m_monitor), GDK_BLANK_CURSOR);
}

void WaylandOutputScreen::Show() {
    if (auto* rasteriser = dynamic_cast<FreeTypeRasteriser*>(InstalledRasteriser()))
        rasteriser->SetPixelsPerInch(96 * m_densestScale);
    m_form.FormCreate();
    gtk_widget_show(m_window);
}

GlimraScreenMetrics WaylandOutputScreen::ScreenMetrics() {
    // The engine works in device pixels, so that on a scaled output each glyph pixel is one pixel
    // of the screen, as it is on the other faces.
    GlimraScreenMetrics metrics;
    metrics.PrimaryWidth = m_geometry.width * m_scale;
    metrics.PrimaryHeight = m_geometry.height * m_scale;
    metrics.MonitorCount = 1;
    metrics.VirtualWidth = metrics.PrimaryWidth;
    metrics.VirtualHeight = metrics.PrimaryHeight;
    return metrics;
}

bool WaylandOutputScreen::Fits() const {
    GdkRectangle now{};
    gdk_monitor_get_geometry(m_monitor, &now);
    return now.width == m_geometry.width && now.height == m_geometry.height &&
           std::max(1, gdk_monitor_get_scale_factor(m_monitor)) == m_scale &&
           DensestScale(gdk_monitor_get_display(m_monitor)) == m_densestScale;
}

bool WaylandOutputScreen::Describes(GdkMonitor* monitor) {
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(monitor, &geometry);
    return geometry.width > 0 && geometry.height > 0;
}

GlimraPoint WaylandOutputScreen::WindowOrigin() {
    return WaylandPointerAnchor::WindowOrigin();
}

GlimraPoint WaylandOutputScreen::CursorPosition() {
    return WaylandPointerAnchor::CursorPosition();
}

void WaylandOutputScreen::ShowPointer(bool show) {
    m_pointerShown += show ? 1 : -1;
    if (GdkWindow* window = gtk_widget_get_window(m_window))
        gdk_window_set_cursor(window, m_pointerShown < 0 ? m_blankCursor : nullptr);
}

void WaylandOutputScreen::ReleaseImage() {
    m_presenter.reset();
    m_surface = Pixmap();
    if (m_image != nullptr)
        cairo_surface_destroy(m_image);
    m_image = nullptr;
}

Pixmap& WaylandOutputScreen::Surface(int32_t width, int32_t height) {
    if (m_presenter && m_presenter->Surface().Width() == width && m_presenter->Surface().Height() == height)
        return m_presenter->Surface();
    if (m_image != nullptr && m_surface.Width() == width && m_surface.Height() == height)
        return m_surface;
    ReleaseImage();
    if (width <= 0 || height <= 0)
        return m_surface;
    m_presenter = WaylandShmPresenter::Create(m_shm, width, height, m_scale);
    if (m_presenter)
        return m_presenter->Surface();
    // RGB24 keeps each pixel as 0x00RRGGBB in a native 32-bit word, the pixmap's own layout, so
    // the engine draws straight into what cairo paints from.
    m_image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(m_image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(m_image);
        m_image = nullptr;
        // The logic still runs, and stays wakeable, on memory that is never shown.
        m_surface = Pixmap(width, height);
        return m_surface;
    }
    cairo_surface_set_device_scale(m_image, m_scale, m_scale);
    const int stride = cairo_image_surface_get_stride(m_image);
    m_surface = Pixmap::Wrap(reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(m_image)), width,
                             height, stride / 4);
    m_surface.TrackDamage(true);
    return m_surface;
}

void WaylandOutputScreen::Present() {
    if (m_presenter) {
        // The sub-surface goes on once the toolkit has shown the window's own surface.
        if (!m_presenter->Attached() && m_shown) {
            GdkWindow* window = gtk_widget_get_window(m_window);
            m_presenter->Attach(window != nullptr ? gdk_wayland_window_get_wl_surface(window) : nullptr);
            gtk_widget_queue_draw(m_window);
        }
        m_presenter->Present();
        return;
    }
    if (m_image == nullptr)
        return;
    // cairo must know that its memory was written behind its back before it paints from it.
    cairo_surface_mark_dirty(m_image);
    for (const PixRect& rect : m_surface.Damage()) {
        if (rect.Width <= 0 || rect.Height <= 0)
            continue;
        // Damage is in device pixels, GTK's areas in logical ones: round outwards.
        const int left = rect.X / m_scale;
        const int top = rect.Y / m_scale;
        const int right = (rect.X + rect.Width + m_scale - 1) / m_scale;
        const int bottom = (rect.Y + rect.Height + m_scale - 1) / m_scale;
        gtk_widget_queue_draw_area(m_window, left, top, right - left, bottom - top);
    }
    m_surface.ClearDamage();
}

gboolean WaylandOutputScreen::OnDraw(GtkWidget* widget, cairo_t* cr, WaylandOutputScreen* screen) {
    screen->m_shown = true;
    // GTK has clipped cr to what was queued; whatever the image does not reach stays black.
    cairo_set_source_rgb(cr, 0, 0, 0);
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (screen->m_image == nullptr || screen->m_surface.Width() < width * screen->m_scale ||
        screen->m_surface.Height() < height * screen->m_scale)
        cairo_paint(cr);
    if (screen->m_image != nullptr) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, screen->m_image, 0, 0);
        cairo_paint(cr);
    }
    return TRUE;
}

void WaylandOutputScreen::StartTimer(GlimraTimer timer, int32_t intervalMs) {
    StopTimer(timer);
    if (intervalMs <= 0)
        return;
    TimerSource& source = m_timers[static_cast<size_t>(timer)];
    source.Id = g_timeout_add(static_cast<guint>(intervalMs), OnTimer, &source);
}

void WaylandOutputScreen::StopTimer(GlimraTimer timer) {
    TimerSource& source = m_timers[static_cast<size_t>(timer)];
    if (source.Id != 0)
        g_source_remove(source.Id);
    source.Id = 0;
}

gboolean WaylandOutputScreen::OnTimer(gpointer data) {
    auto* source = static_cast<TimerSource*>(data);
    const guint id = source->Id;
    source->Screen->Fire(source->Timer);
    // The handler may have stopped this timer, or restarted it as a new source.
    return source->Id == id ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void WaylandOutputScreen::Fire(GlimraTimer timer) {
    m_form.TimerFired(timer);
}

void WaylandOutputScreen::CloseWindow() {
    gtk_widget_hide(m_window);
    m_saver.OutputClosed();
}

gboolean WaylandOutputScreen::OnKeyPress(GtkWidget*, GdkEventKey* event, WaylandOutputScreen* screen) {
    screen->m_saver.KeyPressed(GlimraMessage{WmKeyDown, event->hardware_keycode, 0});
    return TRUE;
}

gboolean WaylandOutputScreen::OnButtonPress(GtkWidget*, GdkEventButton* event, WaylandOutputScreen* screen) {
    // A double click arrives as a press followed by GDK's own 2BUTTON_PRESS; one click is enough.
    if (event->type == GDK_BUTTON_PRESS)
        screen->m_form.screenpaintClick();
    return TRUE;
}

gboolean WaylandOutputScreen::OnMotion(GtkWidget*, GdkEventMotion* event, WaylandOutputScreen* screen) {
    screen->ReportPointer(event->x, event->y);
    return TRUE;
}

gboolean WaylandOutputScreen::OnEnter(GtkWidget*, GdkEventCrossing* event, WaylandOutputScreen* screen) {
    screen->ReportPointer(event->x, event->y);
    return TRUE;
}

void WaylandOutputScreen::ReportPointer(double x, double y) {
    // Surface positions are logical pixels from the output's corner, which sits at the monitor's
    // place in the compositor's layout.
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(m_monitor, &geometry);
    m_saver.PointerAt(geometry.x + x, geometry.y + y);
}
