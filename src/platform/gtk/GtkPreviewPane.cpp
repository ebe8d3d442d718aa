#include "platform/gtk/GtkPreviewPane.h"

#include <algorithm>
#include <exception>

#include "animation/Glimra.h"
#include "glyphs/GlimraRasteriser.h"
#include "platform/gtk/GtkScreen.h"
#include "settings/GlimraSettingOptions.h"
#include "settings/GlimraSettingsStore.h"

namespace {

// For the scope of an engine's start: settings from overrides alone, which name every value. The
// settings file has nothing to add, and a start during Ok's wait for the file's lock must not read
// the store that is saving.
class ScopedEngineSettings {
public:
    explicit ScopedEngineSettings(const GlimraSettingOverrides& overrides)
        : m_store(InstalledSettingsStore()), m_overrides(InstalledSettingOverrides()) {
        InstallSettingsStore(nullptr);
        InstallSettingOverrides(&overrides);
    }
    ~ScopedEngineSettings() {
        InstallSettingOverrides(m_overrides);
        InstallSettingsStore(m_store);
    }
    ScopedEngineSettings(const ScopedEngineSettings&) = delete;
    ScopedEngineSettings& operator=(const ScopedEngineSettings&) = delete;

private:
    GlimraSettingsStore* m_store;
    const GlimraSettingOverrides* m_overrides;
};

} // namespace

GtkPreviewPane::GtkPreviewPane() {
    m_area = gtk_drawing_area_new();
    g_object_ref_sink(m_area);
    gtk_widget_set_hexpand(m_area, TRUE);
    gtk_widget_set_vexpand(m_area, TRUE);
    g_signal_connect(m_area, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(m_area, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
    g_signal_connect(m_area, "hierarchy-changed", G_CALLBACK(OnHierarchyChanged), this);
    // Mapping and unmapping come with a minimised window on most window managers, and with a window
    // on another workspace; the window's state tells the rest.
    g_signal_connect_swapped(m_area, "map", G_CALLBACK(+[](GtkPreviewPane* pane) { pane->FollowTicking(); }),
                             this);
    g_signal_connect_swapped(m_area, "unmap",
                             G_CALLBACK(+[](GtkPreviewPane* pane) { pane->FollowTicking(); }), this);
    // Scale changes when the window moves to a monitor of another density; the cells must follow.
    g_signal_connect_swapped(m_area, "notify::scale-factor",
                             G_CALLBACK(+[](GtkPreviewPane* pane) { pane->ScheduleRestart(); }), this);
}

GtkPreviewPane::~GtkPreviewPane() {
    Stop();
    if (m_restartSource != 0)
        g_source_remove(m_restartSource);
    if (m_toplevel != nullptr && m_stateHandler != 0)
        g_signal_handler_disconnect(m_toplevel, m_stateHandler);
    g_signal_handlers_disconnect_by_data(m_area, this);
    g_object_unref(m_area);
    if (m_image != nullptr)
        cairo_surface_destroy(m_image);
}

void GtkPreviewPane::Show(std::vector<std::string> options) {
    m_wanted = std::move(options);
    ScheduleRestart();
}

void GtkPreviewPane::SetPaused(bool paused) {
    m_paused = paused;
    FollowTicking();
}

void GtkPreviewPane::ScheduleRestart() {
    if (m_restartSource != 0)
        g_source_remove(m_restartSource);
    m_restartSource = g_timeout_add(
        static_cast<guint>(RestartQuiet.count()),
        +[](gpointer data) -> gboolean {
            auto* pane = static_cast<GtkPreviewPane*>(data);
            pane->m_restartSource = 0;
            pane->Restart();
            return G_SOURCE_REMOVE;
        },
        this);
}

void GtkPreviewPane::Restart() {
    const int scale = std::max(gtk_widget_get_scale_factor(m_area), 1);
    const int32_t width = gtk_widget_get_allocated_width(m_area) * scale;
    const int32_t height = gtk_widget_get_allocated_height(m_area) * scale;
    const int32_t pixelsPerInch = ScreenPixelsPerInch(m_area);
    const bool sameSize = m_engine && width == m_surface.Width() && height == m_surface.Height() &&
                          scale == m_scale && pixelsPerInch == m_pixelsPerInch;
    if (sameSize && m_wanted == m_shown)
        return;

    // A value the saver's command line refuses is one the dialog would not save either: the picture
    // of the last good values stays.
    std::vector<std::string> arguments{"glimracode"};
    arguments.insert(arguments.end(), m_wanted.begin(), m_wanted.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    GlimraSettingOverrides overrides;
    try {
        if (overrides.TakeAll(static_cast<int>(argv.size()), argv.data()).size() != 1)
            return;
    } catch (const GlimraSettingsError&) {
        return;
    }

    Stop();
    if (width <= 0 || height <= 0)
        return;
    if (width != m_surface.Width() || height != m_surface.Height()) {
        m_surface = Pixmap();
        if (m_image != nullptr)
            cairo_surface_destroy(m_image);
        m_image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        if (cairo_surface_status(m_image) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(m_image);
            m_image = nullptr;
            return;
        }
        // RGB24 keeps each pixel as 0x00RRGGBB in a 32-bit word, the engine's own layout.
        m_surface = Pixmap::Wrap(reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(m_image)), width,
                                 height, cairo_image_surface_get_stride(m_image) / 4);
    }
    cairo_surface_set_device_scale(m_image, scale, scale);
    m_scale = scale;
    m_pixelsPerInch = pixelsPerInch;
    cairo_surface_flush(m_image);
    try {
        if (GlimraRasteriser* rasteriser = InstalledRasteriser())
            rasteriser->SetPixelsPerInch(pixelsPerInch);
        const ScopedEngineSettings installed(overrides);
        m_engine = StartEngine(m_surface, width, height);
    } catch (const std::exception&) {
        // Glyphs too large for memory: the pane stays black, as the saver would not start either.
        m_engine.reset();
    }
    // The first tick at once: a change shows without waiting a whole delay more.
    m_steps = 0;
    if (m_engine && m_engine->Delay() > 0) {
        m_engine->Step(m_surface);
        ++m_steps;
    }
    m_surface.TrackDamage(true);
    cairo_surface_mark_dirty(m_image);
    m_shown = m_wanted;
    ++m_starts;
    gtk_widget_queue_draw(m_area);
    FollowTicking();
}

void GtkPreviewPane::Stop() {
    if (m_tickSource != 0)
        g_source_remove(m_tickSource);
    m_tickSource = 0;
    m_engine.reset();
}

bool GtkPreviewPane::Visible() const {
    return gtk_widget_get_mapped(m_area) && !m_iconified && !m_paused;
}

void GtkPreviewPane::FollowTicking() {
    const bool tick = m_engine && m_engine->Delay() > 0 && Visible();
    if (tick == (m_tickSource != 0))
        return;
    if (!tick) {
        g_source_remove(m_tickSource);
        m_tickSource = 0;
        return;
    }
    m_tickSource = g_timeout_add(
        static_cast<guint>(m_engine->Delay()),
        +[](gpointer data) -> gboolean {
            static_cast<GtkPreviewPane*>(data)->Tick();
            return G_SOURCE_CONTINUE;
        },
        this);
}

void GtkPreviewPane::Tick() {
    cairo_surface_flush(m_image);
    m_engine->Step(m_surface);
    ++m_steps;
    const std::vector<PixRect>& damage = m_surface.Damage();
    if (damage.empty())
        return;
    cairo_surface_mark_dirty(m_image);
    // GTK repaints in its own pixels: each band grows to whole ones there.
    cairo_region_t* region = cairo_region_create();
    for (const PixRect& band : m_bands.Band(damage, 16)) {
        const int left = band.X / m_scale;
        const int top = band.Y / m_scale;
        const cairo_rectangle_int_t rect{left, top, (band.X + band.Width + m_scale - 1) / m_scale - left,
                                         (band.Y + band.Height + m_scale - 1) / m_scale - top};
        cairo_region_union_rectangle(region, &rect);
    }
    m_surface.ClearDamage();
    gtk_widget_queue_draw_region(m_area, region);
    cairo_region_destroy(region);
}

gboolean GtkPreviewPane::OnDraw(GtkWidget*, cairo_t* cairo, GtkPreviewPane* pane) {
    cairo_set_source_rgb(cairo, 0, 0, 0);
    cairo_paint(cairo);
    if (pane->m_image != nullptr && pane->m_engine) {
        cairo_set_source_surface(cairo, pane->m_image, 0, 0);
        cairo_paint(cairo);
    }
    return TRUE;
}

void GtkPreviewPane::OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, GtkPreviewPane* pane) {
    const int scale = std::max(pane->m_scale, 1);
    if (allocation->width * scale != pane->m_surface.Width() ||
        allocation->height * scale != pane->m_surface.Height())
        pane->ScheduleRestart();
}

gboolean GtkPreviewPane::OnWindowState(GtkWidget*, GdkEventWindowState* event, GtkPreviewPane* pane) {
    pane->m_iconified =
        (event->new_window_state & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN)) != 0;
    pane->FollowTicking();
    return FALSE;
}

void GtkPreviewPane::OnHierarchyChanged(GtkWidget* widget, GtkWidget*, GtkPreviewPane* pane) {
    if (pane->m_toplevel != nullptr && pane->m_stateHandler != 0)
        g_signal_handler_disconnect(pane->m_toplevel, pane->m_stateHandler);
    pane->m_toplevel = nullptr;
    pane->m_stateHandler = 0;
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    if (!gtk_widget_is_toplevel(toplevel))
        return;
    pane->m_toplevel = toplevel;
    pane->m_stateHandler = g_signal_connect(toplevel, "window-state-event", G_CALLBACK(OnWindowState), pane);
}
