#pragma once

#include <cstdint>
#include <memory>

#include "platform/linux/PollTimers.h"
#include "platform/wayland/WaylandOutput.h"
#include "platform/wayland/WaylandOutputOwner.h"
#include "platform/wayland/WaylandShmPresenter.h"
#include "shell/GlimraSaverMain.h"

struct wl_surface;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// Which of the two ways of covering an output the compositor offers; layer shell wins.
struct WaylandShells {
    zwlr_layer_shell_v1* LayerShell = nullptr;
    xdg_wm_base* WmBase = nullptr;
};

// The saver on one Wayland output: a surface that covers it, with an engine of its own at the
// output's size in device pixels.
//
// Where the compositor offers layer shell, the surface sits on the overlay layer, above panels and
// full-screen windows, and takes the keyboard for itself; elsewhere it is a full-screen toplevel.
// Either way the compositor first tells the size it gives the surface, and only then does the
// logic start, with an engine of that size; the engine's pixmap reaches the surface through a
// WaylandShmPresenter.
//
// Input is not handled here but by the owner, the WaylandSaver, which speaks for the whole desktop.
class WaylandOutputScreen final : public GlimraSaverHost {
public:
    WaylandOutputScreen(WaylandOutputOwner& owner, WaylandOutput& output, int32_t densestScale,
                        const WaylandShmGlobals& shm, const WaylandShells& shells);
    ~WaylandOutputScreen() override;
    WaylandOutputScreen(const WaylandOutputScreen&) = delete;
    WaylandOutputScreen& operator=(const WaylandOutputScreen&) = delete;

    WaylandOutput& Output() const { return m_output; }
    wl_surface* WlSurface() const { return m_wlSurface; }
    // False once the output's mode or scale, the size the compositor gives the surface, or the
    // scale of the densest output, whose density the glyphs are drawn for, is no longer the one
    // the engine was made for.
    bool Fits(int32_t densestScale) const;
    Tglimrascreen& Form() { return m_form; }
    bool FilterInstalled() const { return m_filterInstalled; }
    bool PointerHidden() const { return m_pointerShown < 0; }

    // Milliseconds until this output's nearest timer, as poll() reads them.
    int TimeoutMs(PollTimers::Clock::time_point now) const { return m_timers.TimeoutMs(now); }
    // Hands the logic the timers that are due; stops early when the saver is ending.
    void FireTimers();

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
    void MakeLayerSurface(zwlr_layer_shell_v1* shell);
    void MakeToplevel(xdg_wm_base* wmBase);
    // The compositor's size for the surface, in logical pixels; 0 leaves it to the client.
    void Configured(int32_t width, int32_t height);
    void Start();

    static void OnLayerConfigure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial, uint32_t width,
                                 uint32_t height);
    static void OnLayerClosed(void* data, zwlr_layer_surface_v1* surface);
    static void OnXdgConfigure(void* data, xdg_surface* surface, uint32_t serial);
    static void OnToplevelConfigure(void* data, xdg_toplevel* toplevel, int32_t width, int32_t height,
                                    struct wl_array* states);
    static void OnToplevelClose(void* data, xdg_toplevel* toplevel);

    WaylandOutputOwner& m_owner;
    WaylandOutput& m_output;
    WaylandShmGlobals m_shm;
    int32_t m_scale;
    int32_t m_densestScale;
    int32_t m_modeWidth;
    int32_t m_modeHeight;
    wl_surface* m_wlSurface = nullptr;
    zwlr_layer_surface_v1* m_layerSurface = nullptr;
    xdg_surface* m_xdgSurface = nullptr;
    xdg_toplevel* m_toplevel = nullptr;
    // The toplevel's size waits for the xdg_surface configure that completes it.
    int32_t m_pendingWidth = 0;
    int32_t m_pendingHeight = 0;
    // The surface's size in logical pixels, once the compositor has told it.
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_resized = false;
    std::unique_ptr<WaylandShmPresenter> m_presenter;
    // Answers the logic when no shared memory could be had, so that it still runs and stays wakeable.
    Pixmap m_spareSurface;
    PollTimers m_timers;
    int m_pointerShown = 0;
    bool m_filterInstalled = false;
    // Last, so that the logic goes before everything its host owns.
    Tglimrascreen m_form{*this};
};
