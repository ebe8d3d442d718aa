#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/Pixmap.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;

// What every output's presenter needs of the compositor, bound once per saver.
struct WaylandShmGlobals {
    wl_display* Display = nullptr;
    wl_compositor* Compositor = nullptr;
    wl_subcompositor* Subcompositor = nullptr;
    wl_shm* Shm = nullptr;
    bool Complete() const {
        return Display != nullptr && Compositor != nullptr && Subcompositor != nullptr && Shm != nullptr;
    }
};

// Presents the engine's pixmap on a sub-surface of an output's window, from two shared-memory
// buffers of our own that live as long as the presenter.
//
// Toolkit drawing would hand the compositor a fresh buffer each frame and copy the whole previous
// frame into it whenever the compositor still holds the last one, which is most of the time: at
// full HD that costs several times what the engine does. Here a frame copies only what changed
// into a buffer the compositor has released, and tells the compositor only those rectangles.
// Frames follow the compositor's frame callbacks: while one is awaited, or no buffer is free,
// the damage waits for the next Present.
//
// A compositor that falls behind (stopped, busy, resuming) is back-pressure, not an error: the
// client library treats a full outgoing buffer whose socket cannot take more as a lost connection,
// and GDK then ends the process. So a frame is sent only when everything queued before it has
// left and the socket has room, and it is kept small: past MaxDamageRequests rectangles, its
// damage is told as horizontal bands instead.
//
// The sub-surface takes no input, so pointer events still reach the window beneath it.
class WaylandShmPresenter {
public:
    // Nil when shared memory cannot be had; the caller then draws through the toolkit.
    static std::unique_ptr<WaylandShmPresenter> Create(const WaylandShmGlobals& globals, int32_t width,
                                                       int32_t height, int32_t scale);
    // Puts the sub-surface on parent. Until then Present keeps the damage. A compositor takes a new
    // sub-surface into its tree with the parent's next commit, so the caller has the parent
    // repainted afterwards.
    void Attach(wl_surface* parent);
    bool Attached() const { return m_wlSurface != nullptr; }
    ~WaylandShmPresenter();
    WaylandShmPresenter(const WaylandShmPresenter&) = delete;
    WaylandShmPresenter& operator=(const WaylandShmPresenter&) = delete;

    // The pixmap the engine draws on, with damage tracking on.
    Pixmap& Surface() { return m_surface; }
    void Present();

    // The most damage requests one frame sends: a few kilobytes, far less than a socket holds.
    static constexpr size_t MaxDamageRequests = 128;
    // Damage as the compositor is told it: the rectangles themselves, or, past MaxDamageRequests of
    // them, the bounds of those that start in each of Bands horizontal bands of the whole area.
    static constexpr int32_t Bands = 64;
    [[nodiscard]] static std::vector<PixRect> DamageToSend(const std::vector<PixRect>& damage,
                                                           const PixRect& whole);

private:
    struct Buffer {
        wl_buffer* Handle = nullptr;
        Pixmap Pixels;
        bool Busy = false;
        // What changed on screen since this buffer was last filled.
        std::vector<PixRect> Stale;
    };

    WaylandShmPresenter() = default;
    bool Allocate(const WaylandShmGlobals& globals, int32_t width, int32_t height);
    static void NoteStale(std::vector<PixRect>& stale, const std::vector<PixRect>& damage,
                          const PixRect& whole);
    // True when the connection has sent all it queued and its socket can take a frame now.
    bool CanSend() const;

    static void OnFrameDone(void* data, wl_callback* callback, uint32_t time);

    WaylandShmGlobals m_globals;
    wl_surface* m_wlSurface = nullptr;
    wl_subsurface* m_subsurface = nullptr;
    wl_callback* m_frame = nullptr;
    void* m_memory = nullptr;
    size_t m_memorySize = 0;
    int32_t m_scale = 1;
    std::array<Buffer, 2> m_buffers{};
    Pixmap m_surface;
};
