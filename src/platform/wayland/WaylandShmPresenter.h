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
struct wl_surface;

// What every output's presenter needs of the compositor, bound once per saver.
struct WaylandShmGlobals {
    wl_display* Display = nullptr;
    wl_compositor* Compositor = nullptr;
    wl_shm* Shm = nullptr;
    bool Complete() const { return Display != nullptr && Compositor != nullptr && Shm != nullptr; }
};

// Presents the engine's picture on an output's surface from two shared-memory buffers of our own,
// which are also what the engine draws on: there is no third copy of the screen.
//
// The engine draws on a buffer that the compositor does not hold; Present hands it over. The next
// tick draws on the other buffer once the compositor has released it, after copying into it what
// changed since it was last the picture (each buffer keeps that list), so a frame copies only the
// previous frame's changes and tells the compositor only its own. A buffer the compositor holds is
// never written, so no frame tears. While the compositor holds both (it is stalled), the engine
// draws on a spare pixmap made for the occasion, which goes once a buffer is free again.
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
    Pixmap& Surface();
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
        // Handed to the compositor and not yet released.
        bool Busy = false;
        // Where this buffer differs from the latest picture.
        std::vector<PixRect> Stale;
    };

    WaylandShmPresenter() = default;
    bool Allocate(const WaylandShmGlobals& globals, int32_t width, int32_t height);
    PixRect Whole() const { return {0, 0, m_buffers[0].Pixels.Width(), m_buffers[0].Pixels.Height()}; }
    Pixmap& Current() { return m_current != nullptr ? m_current->Pixels : m_spare; }
    Buffer* FreeBuffer();
    // Takes what the engine drew since last asked: every other buffer lags behind by it, and the
    // compositor has yet to hear of it.
    void Harvest();
    // Makes a buffer the picture the engine draws on.
    void MakeCurrent(Buffer& buffer);
    static void NoteStale(std::vector<PixRect>& stale, const std::vector<PixRect>& damage,
                          const PixRect& whole);
    // True when the connection has sent all it queued and its socket can take a frame now.
    bool CanSend() const;

    static void OnFrameDone(void* data, wl_callback* callback, uint32_t time);

    WaylandShmGlobals m_globals;
    wl_surface* m_wlSurface = nullptr;
    // The first frame goes whole, even when the engine drew nothing: until then the surface has
    // no buffer and shows nothing at all.
    bool m_sentOnce = false;
    wl_callback* m_frame = nullptr;
    void* m_memory = nullptr;
    size_t m_memorySize = 0;
    int32_t m_scale = 1;
    std::array<Buffer, 2> m_buffers{};
    // The buffer the engine draws on; nil while it draws on m_spare.
    Buffer* m_current = nullptr;
    Pixmap m_spare;
    // What changed since the last frame the compositor was given.
    std::vector<PixRect> m_unsent;
};
