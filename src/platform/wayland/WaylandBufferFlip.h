#pragma once

#include <array>
#include <optional>
#include <vector>

#include "raster/Pixmap.h"

// Which of two buffers the engine draws on and which one goes to the compositor, for
// WaylandShmPresenter; plain bookkeeping over the pixmaps, so that it is tested without one.
//
// The engine draws on a buffer the compositor does not hold; TakeFrame hands it over. The next
// Surface draws on the other buffer once the compositor has released it, after copying into it
// what changed since it was last the picture (each buffer keeps that list), so a frame copies only
// the previous frame's changes. A buffer the compositor holds is never written, so no frame tears.
// While the compositor holds both (it is stalled), the engine draws on a spare pixmap made for the
// occasion, which goes once a buffer is free again.
class WaylandBufferFlip {
public:
    // Two pixmaps of one size over memory the caller keeps, both black, as the picture starts.
    WaylandBufferFlip(Pixmap first, Pixmap second);

    // The pixmap the engine draws on now, with damage tracking on and the whole latest picture.
    // Ask again each tick: once a frame has gone, it is another one.
    Pixmap& Surface();

    struct Frame {
        int Buffer = 0;
        // What differs from the frame the compositor had before; the whole area the first time.
        std::vector<PixRect> Damage;
    };
    // The buffer to attach now, marked held; none when nothing changed since the last frame or no
    // buffer is free.
    std::optional<Frame> TakeFrame();
    void Released(int buffer) { m_buffers[static_cast<size_t>(buffer)].Busy = false; }
    bool Held(int buffer) const { return m_buffers[static_cast<size_t>(buffer)].Busy; }
    const Pixmap& Pixels(int buffer) const { return m_buffers[static_cast<size_t>(buffer)].Pixels; }

    // Past this many waiting rectangles a list is simply the whole area.
    static constexpr size_t MaxStaleRects = 4096;

private:
    struct Buffer {
        Pixmap Pixels;
        bool Busy = false;
        // Where this buffer differs from the latest picture.
        std::vector<PixRect> Stale;
    };

    PixRect Whole() const { return {0, 0, m_buffers[0].Pixels.Width(), m_buffers[0].Pixels.Height()}; }
    Pixmap& Current() { return m_current != nullptr ? m_current->Pixels : m_spare; }
    Buffer* FreeBuffer();
    // Takes what the engine drew since last asked: every other buffer lags behind by it, and the
    // compositor has yet to hear of it.
    void Harvest();
    void MakeCurrent(Buffer& buffer);
    void NoteStale(std::vector<PixRect>& stale, const std::vector<PixRect>& damage) const;

    std::array<Buffer, 2> m_buffers;
    // The buffer the engine draws on; nil while it draws on m_spare.
    Buffer* m_current = nullptr;
    Pixmap m_spare;
    // What changed since the last frame the compositor was given.
    std::vector<PixRect> m_unsent;
    bool m_sentOnce = false;
};
