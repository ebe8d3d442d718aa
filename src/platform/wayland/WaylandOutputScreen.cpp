#include "platform/wayland/WaylandOutputScreen.h"

#include <wayland-client.h>

#include <algorithm>

#include "glyphs/GlimraRasteriser.h"
#include "platform/wayland/WaylandPointerAnchor.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

WaylandOutputScreen::WaylandOutputScreen(WaylandOutputOwner& owner, WaylandOutput& output,
                                         int32_t densestScale, const WaylandShmGlobals& shm,
                                         const WaylandShells& shells)
    : m_owner(owner), m_output(output), m_shm(shm), m_scale(std::max(1, output.Scale)),
      m_densestScale(densestScale), m_modeWidth(output.ModeWidth), m_modeHeight(output.ModeHeight) {
    m_wlSurface = wl_compositor_create_surface(m_shm.Compositor);
    wl_surface_set_user_data(m_wlSurface, this);
    wl_surface_set_buffer_scale(m_wlSurface, m_scale);
    if (shells.LayerShell != nullptr)
        MakeLayerSurface(shells.LayerShell);
    else
        MakeToplevel(shells.WmBase);
    // A role's first commit carries no buffer: it asks the compositor for the surface's size.
    wl_surface_commit(m_wlSurface);
}

WaylandOutputScreen::~WaylandOutputScreen() {
    // The buffers go before the surface they were attached to, the role before its surface.
    m_presenter.reset();
    if (m_layerSurface != nullptr)
        zwlr_layer_surface_v1_destroy(m_layerSurface);
    if (m_toplevel != nullptr)
        xdg_toplevel_destroy(m_toplevel);
    if (m_xdgSurface != nullptr)
        xdg_surface_destroy(m_xdgSurface);
    wl_surface_destroy(m_wlSurface);
}

void WaylandOutputScreen::MakeLayerSurface(zwlr_layer_shell_v1* shell) {
    m_layerSurface = zwlr_layer_shell_v1_get_layer_surface(shell, m_wlSurface, m_output.Handle,
                                                           ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "glimracode");
    static const zwlr_layer_surface_v1_listener Listener = {OnLayerConfigure, OnLayerClosed};
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &Listener, this);
    zwlr_layer_surface_v1_set_anchor(
        m_layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                            ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // -1: lie over the space that panels reserve for themselves instead of beside it.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, -1);
    // 1 is "exclusive" in every version of the interface: every key comes here.
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface, 1);
}

void WaylandOutputScreen::MakeToplevel(xdg_wm_base* wmBase) {
    // Without layer shell the best a client can ask for is to be full screen on the output; the
    // compositor keeps it above ordinary windows while it has the focus.
    m_xdgSurface = xdg_wm_base_get_xdg_surface(wmBase, m_wlSurface);
    static const xdg_surface_listener SurfaceListener = {OnXdgConfigure};
    xdg_surface_add_listener(m_xdgSurface, &SurfaceListener, this);
    m_toplevel = xdg_surface_get_toplevel(m_xdgSurface);
    constexpr auto Ignore = [](auto...) {};
    static const xdg_toplevel_listener ToplevelListener = {OnToplevelConfigure, OnToplevelClose, Ignore,
                                                           Ignore};
    xdg_toplevel_add_listener(m_toplevel, &ToplevelListener, this);
    xdg_toplevel_set_title(m_toplevel, "glimrascreen");
    xdg_toplevel_set_app_id(m_toplevel, "glimracode");
    xdg_toplevel_set_fullscreen(m_toplevel, m_output.Handle);
}

void WaylandOutputScreen::OnLayerConfigure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial,
                                           uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    static_cast<WaylandOutputScreen*>(data)->Configured(static_cast<int32_t>(width),
                                                        static_cast<int32_t>(height));
}

void WaylandOutputScreen::OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
    // The compositor takes layers away with their output, whose removal follows on its own; an
    // output that stays refused us, and asking again would only be refused again.
    auto* screen = static_cast<WaylandOutputScreen*>(data);
    screen->m_output.Refused = true;
    screen->m_owner.ScheduleRearrange();
}

void WaylandOutputScreen::OnToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height,
                                              wl_array*) {
    auto* screen = static_cast<WaylandOutputScreen*>(data);
    screen->m_pendingWidth = width;
    screen->m_pendingHeight = height;
}

void WaylandOutputScreen::OnXdgConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* screen = static_cast<WaylandOutputScreen*>(data);
    xdg_surface_ack_configure(surface, serial);
    screen->Configured(screen->m_pendingWidth, screen->m_pendingHeight);
}

void WaylandOutputScreen::OnToplevelClose(void* data, xdg_toplevel*) {
    // Asked to close, as a user closes a window: the saver is done, as when the logic closes it.
    static_cast<WaylandOutputScreen*>(data)->CloseWindow();
}

void WaylandOutputScreen::Configured(int32_t width, int32_t height) {
    const GlimraPoint size = m_output.SurfaceSize(width, height);
    width = size.X;
    height = size.Y;
    if (m_width == 0) {
        m_width = width;
        m_height = height;
        Start();
        return;
    }
    if (width != m_width || height != m_height) {
        m_resized = true;
        m_owner.ScheduleRearrange();
        return;
    }
    // The acknowledgement takes effect with a commit; the buffer stays the one shown.
    wl_surface_commit(m_wlSurface);
}

void WaylandOutputScreen::Start() {
    if (GlimraRasteriser* rasteriser = InstalledRasteriser())
        rasteriser->SetPixelsPerInch(96 * m_densestScale);
    m_form.FormCreate();
    // The first frame also answers the configure, whether or not the engine drew anything yet.
    Present();
}

bool WaylandOutputScreen::Fits(int32_t densestScale) const {
    return !m_resized && m_output.ModeWidth == m_modeWidth && m_output.ModeHeight == m_modeHeight &&
           std::max(1, m_output.Scale) == m_scale && densestScale == m_densestScale;
}

GlimraScreenMetrics WaylandOutputScreen::ScreenMetrics() {
    // The engine works in device pixels, so that on a scaled output each glyph pixel is one pixel
    // of the screen, as it is on the other faces.
    GlimraScreenMetrics metrics;
    metrics.PrimaryWidth = m_width * m_scale;
    metrics.PrimaryHeight = m_height * m_scale;
    metrics.MonitorCount = 1;
    metrics.VirtualWidth = metrics.PrimaryWidth;
    metrics.VirtualHeight = metrics.PrimaryHeight;
    return metrics;
}

GlimraPoint WaylandOutputScreen::WindowOrigin() {
    return WaylandPointerAnchor::WindowOrigin();
}

GlimraPoint WaylandOutputScreen::CursorPosition() {
    return WaylandPointerAnchor::CursorPosition();
}

void WaylandOutputScreen::ShowPointer(bool show) {
    m_pointerShown += show ? 1 : -1;
    m_owner.PointerShownChanged(*this);
}

Pixmap& WaylandOutputScreen::Surface(int32_t width, int32_t height) {
    if (m_presenter) {
        // Asked once a tick: the presenter may first bring the buffer it hands out up to date.
        Pixmap& surface = m_presenter->Surface();
        if (surface.Width() == width && surface.Height() == height)
            return surface;
    }
    m_presenter.reset();
    if (width > 0 && height > 0)
        m_presenter = WaylandShmPresenter::Create(m_shm, m_wlSurface, width, height, m_scale);
    if (m_presenter)
        return m_presenter->Surface();
    if (m_spareSurface.Width() != width || m_spareSurface.Height() != height)
        m_spareSurface = Pixmap(std::max(width, 0), std::max(height, 0));
    return m_spareSurface;
}

void WaylandOutputScreen::Present() {
    if (m_presenter)
        m_presenter->Present();
}

void WaylandOutputScreen::StartTimer(GlimraTimer timer, int32_t intervalMs) {
    m_timers.Start(timer, intervalMs, PollTimers::Clock::now());
}

void WaylandOutputScreen::StopTimer(GlimraTimer timer) {
    m_timers.Stop(timer);
}

void WaylandOutputScreen::FireTimers() {
    for (GlimraTimer timer : m_timers.TakeDue(PollTimers::Clock::now())) {
        // A handler may stop a timer that is due in the same round, or end the saver.
        if (m_owner.Ending() || !m_timers.IsRunning(timer))
            continue;
        m_form.TimerFired(timer);
    }
}

void WaylandOutputScreen::CloseWindow() {
    m_owner.OutputClosed();
}
