#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/wayland/WaylandBufferFlip.h"
#include "raster/Pixmap.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_shm;
struct wl_surface;

// What every output's presenter needs of the compositor, bound once per saver.
struct WaylandShmGlobals {
    wl_display* Display = nullptr;
    wl_compositor* Compositor = nullptr;
    wl_shm* Shm = nullptr;
    bool Complete() const { return Display != nullptr && Compositor != nullptr && Shm != nullptr; }
};

// Presents the engine's picture on an output's surface from two shared-memory buffers of our own,
// which are also what the engine draws on (WaylandBufferFlip keeps the order): there is no third
// copy of the screen.
//
// Frames follow the compositor's frame callbacks: while one is awaited, or no buffer is free,
// the damage waits for the next Present.
//
// A compositor that falls behind (stopped, busy, resuming) is back-pressure, not an error: the
// client library treats a full outgoing buffer whose socket cannot take more as a lost connection.
// So a frame is sent only when everything queued before it has left and the socket has room, and
// it is kept small: past MaxDamageRequests rectangles, its damage is told as horizontal bands
// instead.
class WaylandShmPresenter {
public:
    // Presents on surface, which the caller owns and keeps until the presenter is gone, and whose
    // buffer scale is scale. Nil when the shared memory cannot be had.
    static std::unique_ptr<WaylandShmPresenter> Create(const WaylandShmGlobals& globals, wl_surface* surface,
                                                       int32_t width, int32_t height, int32_t scale);
    ~WaylandShmPresenter();
    WaylandShmPresenter(const WaylandShmPresenter&) = delete;
    WaylandShmPresenter& operator=(const WaylandShmPresenter&) = delete;

    // The pixmap the engine draws on now, with damage tracking on and the whole latest picture.
    // Ask again each tick: once a frame has gone, it is another one.
    Pixmap& Surface() { return m_flip->Surface(); }
    void Present();

    // The most damage requests one frame sends: a few kilobytes, far less than a socket holds.
    static constexpr size_t MaxDamageRequests = 128;
    // Damage as the compositor is told it: the rectangles themselves, or, past MaxDamageRequests of
    // them, the bounds of those that start in each of Bands horizontal bands of the whole area.
    static constexpr int32_t Bands = 64;
    [[nodiscard]] static std::vector<PixRect> DamageToSend(const std::vector<PixRect>& damage,
                                                           const PixRect& whole);

private:
    WaylandShmPresenter() = default;
    bool Allocate(const WaylandShmGlobals& globals, int32_t width, int32_t height);
    // True when the connection has sent all it queued and its socket can take a frame now.
    bool CanSend() const;

    static void OnFrameDone(void* data, wl_callback* callback, uint32_t time);
    static void OnRelease(void* data, wl_buffer* buffer);

    WaylandShmGlobals m_globals;
    wl_surface* m_wlSurface = nullptr;
    wl_callback* m_frame = nullptr;
    void* m_memory = nullptr;
    size_t m_memorySize = 0;
    int32_t m_scale = 1;
    std::array<wl_buffer*, 2> m_handles{};
    std::optional<WaylandBufferFlip> m_flip;
};
