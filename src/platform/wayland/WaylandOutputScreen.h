#pragma once

#include <gtk/gtk.h>

#include <array>
#include <memory>

#include "platform/wayland/WaylandShmPresenter.h"
#include "shell/GlimraSaverMain.h"

class WaylandSaver;

// The saver on one Wayland output: a surface that covers it, with an engine of its own at the
// output's size in device pixels.
//
// Where the compositor offers layer shell, the surface sits on the overlay layer, above panels and
// full-screen windows, and takes the keyboard for itself; elsewhere it is an ordinary full-screen
// window. The engine's pixmap reaches the screen through a WaylandShmPresenter on the window. Where
// that cannot be had, the pixmap lies over the memory of a cairo image surface instead, and each
// Present asks GTK to repaint the damaged rectangles, which it does on its frame clock.
//
// Input is not handled here but handed to the WaylandSaver, which speaks for the whole desktop.
class WaylandOutputScreen final : public GlimraSaverHost {
public:
    WaylandOutputScreen(WaylandSaver& saver, GdkMonitor* monitor, bool layerShell,
                        const WaylandShmGlobals& shm);
    ~WaylandOutputScreen() override;
    WaylandOutputScreen(const WaylandOutputScreen&) = delete;
    WaylandOutputScreen& operator=(const WaylandOutputScreen&) = delete;

    // Starts the logic (which creates the engine) and shows the surface.
    void Show();
    GdkMonitor* Monitor() const { return m_monitor; }
    // False once the output's size or scale, or the scale of the densest output, whose density the
    // glyphs are drawn for, is no longer the one the engine was made for.
    bool Fits() const;
    // True when the compositor has told the monitor's size.
    static bool Describes(GdkMonitor* monitor);
    Tglimrascreen& Form() { return m_form; }
    bool FilterInstalled() const { return m_filterInstalled; }

    GlimraScreenMetrics ScreenMetrics() override;
    // The surface already covers its output; there is nothing to place.
    void MaximiseWindow() override {}
    void SetWindowBounds(int32_t, int32_t, int32_t, int32_t) override {}
    GlimraPoint WindowOrigin() override;
    GlimraPoint CursorPosition() override;
    void ShowPointer(bool show) override;
    Pixmap& Surface(int32_t width, int32_t height) override;
    void Present() override;
    void StartTimer(GlimraTimer timer, int32_t intervalMs) override;
    void StopTimer(GlimraTimer timer) override;
    void InstallMessageFilter(bool installed) override { m_filterInstalled = installed; }
    void CloseWindow() override;

private:
    struct TimerSource {
        WaylandOutputScreen* Screen = nullptr;
        GlimraTimer Timer = GlimraTimer::Main;
        guint Id = 0;
    };

    void CreateWindow(bool layerShell);
    void ReleaseImage();
    void Fire(GlimraTimer timer);
    void ReportPointer(double x, double y);

    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, WaylandOutputScreen* screen);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, WaylandOutputScreen* screen);
    static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, WaylandOutputScreen* screen);
    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, WaylandOutputScreen* screen);
    static gboolean OnEnter(GtkWidget* widget, GdkEventCrossing* event, WaylandOutputScreen* screen);
    static gboolean OnTimer(gpointer data);

    WaylandSaver& m_saver;
    GdkMonitor* m_monitor;
    GtkWidget* m_window = nullptr;
    GdkCursor* m_blankCursor = nullptr;
    int m_pointerShown = 0;
    int m_scale = 1;
    int m_densestScale = 1;
    GdkRectangle m_geometry{};
    WaylandShmGlobals m_shm;
    std::unique_ptr<WaylandShmPresenter> m_presenter;
    cairo_surface_t* m_image = nullptr;
    Pixmap m_surface;
    std::array<TimerSource, 3> m_timers{};
    bool m_filterInstalled = false;
    // The toolkit has drawn the window once, so its surface is on screen.
    bool m_shown = false;
    // Last, so that the logic goes before everything its host owns.
    Tglimrascreen m_form{*this};
};
