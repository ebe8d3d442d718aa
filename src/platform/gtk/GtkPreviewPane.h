#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster/DamageBands.h"
#include "raster/Pixmap.h"

class vGlimra;

// The animation inside the settings dialog, drawn by the saver's own engine with the values the
// dialog's controls hold. The modules must run and a rasteriser be installed, as in the saver; the
// pane owns the one engine of the process while it lives.
//
// The engine reads its settings only when it starts, so a change of values starts a new one, once
// the values have stayed the same for RestartQuiet: holding a spin button's arrow restarts it once,
// not at every step. The pane ticks at the engine's delay, only while it is mapped in a window
// that is not minimised and not paused, and presents only what each tick changed.
class GtkPreviewPane {
public:
    static constexpr std::chrono::milliseconds RestartQuiet{200};

    GtkPreviewPane();
    ~GtkPreviewPane();
    GtkPreviewPane(const GtkPreviewPane&) = delete;
    GtkPreviewPane& operator=(const GtkPreviewPane&) = delete;

    [[nodiscard]] GtkWidget* Widget() const { return m_area; }

    // The values to show, as the command-line options of the saver (--delay 100 and the rest), which
    // the engine takes over whatever the settings file holds. Options equal to those shown change
    // nothing; options the command line refuses keep the picture as it is.
    void Show(std::vector<std::string> options);
    // While something else covers the screen (the full-screen preview), ticking would be wasted.
    void SetPaused(bool paused);

    // For the tests, which look at what the pane shows as a user would.
    [[nodiscard]] const Pixmap& Surface() const { return m_surface; }
    [[nodiscard]] int Starts() const { return m_starts; }
    // Steps of the running engine, the first one taken at its start: time on the pane's own clock,
    // which a busy machine slows but does not skip.
    [[nodiscard]] int Steps() const { return m_steps; }
    [[nodiscard]] bool Ticking() const { return m_tickSource != 0; }
    [[nodiscard]] int32_t PixelsPerInch() const { return m_pixelsPerInch; }

private:
    void ScheduleRestart();
    void Restart();
    void Stop();
    void Tick();
    void FollowTicking();
    [[nodiscard]] bool Visible() const;

    static gboolean OnDraw(GtkWidget* widget, cairo_t* cairo, GtkPreviewPane* pane);
    static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, GtkPreviewPane* pane);
    static gboolean OnWindowState(GtkWidget* window, GdkEventWindowState* event, GtkPreviewPane* pane);
    static void OnHierarchyChanged(GtkWidget* widget, GtkWidget* previous, GtkPreviewPane* pane);

    GtkWidget* m_area = nullptr;
    GtkWidget* m_toplevel = nullptr;
    gulong m_stateHandler = 0;
    guint m_restartSource = 0;
    guint m_tickSource = 0;
    // The options asked for, and those the running engine was started with.
    std::vector<std::string> m_wanted;
    std::vector<std::string> m_shown;
    // The engine draws straight into the pixels of an image surface of device pixels.
    cairo_surface_t* m_image = nullptr;
    Pixmap m_surface;
    std::unique_ptr<vGlimra> m_engine;
    DamageBands m_bands;
    int32_t m_pixelsPerInch = 96;
    int m_scale = 1;
    int m_starts = 0;
    int m_steps = 0;
    bool m_paused = false;
    bool m_iconified = false;
};
