#pragma once

#include "platform/x11/X11Headers.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "raster/DamageBands.h"
#include "raster/Pixmap.h"

// The engine's drawing surface kept in client memory and copied to a window on request.
//
// When the server offers MIT-SHM the pixels live in a shared-memory segment that the server reads
// directly, so presenting a tick costs no copy through the socket; otherwise they live in an
// ordinary XImage sent with XPutImage. Either way the Pixmap wraps that memory, so the engine draws
// straight into what gets presented.
//
// Only 24-bit TrueColor visuals in the server's little-endian 32-bit layout are supported: that is
// the surface's own pixel layout, so presenting stays a plain copy. Create answers nil for any other.
class X11BackBuffer {
public:
    static std::unique_ptr<X11BackBuffer> Create(Display* display, Drawable window, Visual* visual, int depth,
                                                 int32_t width, int32_t height,
                                                 bool allowSharedMemory = true);
    ~X11BackBuffer();
    X11BackBuffer(const X11BackBuffer&) = delete;
    X11BackBuffer& operator=(const X11BackBuffer&) = delete;

    // Damage tracking is on from the start.
    Pixmap& Surface() { return m_surface; }
    bool UsesSharedMemory() const { return m_shared; }

    // Copies every rectangle the surface noted as changed to the window, then forgets them. With
    // shared memory that is one request clipped to the damage in bands per MaxClipRects bands, which
    // may take in a few undamaged pixels between damaged ones; without, one request per rectangle,
    // and nothing else of the surface is copied.
    void PresentDamage();
    // Copies a rectangle of the surface to the same place in the window, as an Expose asks.
    void Repaint(int32_t x, int32_t y, int32_t width, int32_t height);

private:
    X11BackBuffer(Display* display, Drawable window);
    bool AttachSharedImage(Visual* visual, int depth, int32_t width, int32_t height);
    bool CreatePlainImage(Visual* visual, int depth, int32_t width, int32_t height);
    std::optional<PixRect> ClipToSurface(const PixRect& rect) const;
    void Put(GC gc, const PixRect& rect);
    // rects in bands, as DamageBands gives them.
    void PutClipped(const PixRect* rects, size_t count);

    // 8 bytes each: a clip list of this many fits a core request of 256 kB with room to spare.
    static constexpr size_t MaxClipRects = 16384;
    // Spans of damage this close on the same rows are presented as one: the server's copy of a row
    // costs about as much as copying this many more pixels in it (measured on Xvfb at 3840x2160).
    static constexpr int32_t BandGap = 48;

    Display* m_display;
    Drawable m_window;
    GC m_gc = nullptr;
    // Carries the damaged rectangles as its clip list; m_gc stays unclipped for repaints.
    GC m_clipGc = nullptr;
    std::vector<XRectangle> m_clip;
    DamageBands m_bands;
    XImage* m_image = nullptr;
    XShmSegmentInfo m_segment{};
    bool m_shared = false;
    std::vector<uint32_t> m_plainPixels;
    Pixmap m_surface;
};

// True when a visual holds pixels as 0x00RRGGBB, the surface's layout.
bool IsSurfaceVisual(const Visual* visual, int depth);
