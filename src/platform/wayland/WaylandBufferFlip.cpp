#include "platform/wayland/WaylandBufferFlip.h"

#include <utility>

#include "raster/Blit.h"

WaylandBufferFlip::WaylandBufferFlip(Pixmap first, Pixmap second)
    : m_buffers{Buffer{std::move(first), false, {}}, Buffer{std::move(second), false, {}}} {
    // The engine finds the latest picture on whichever buffer it is given, and must not repaint
    // every cell because the memory changed.
    for (Buffer& buffer : m_buffers) {
        buffer.Pixels.TrackDamage(true);
        buffer.Pixels.SetIdentity(this);
    }
    m_current = &m_buffers[0];
}

WaylandBufferFlip::Buffer* WaylandBufferFlip::FreeBuffer() {
    for (Buffer& buffer : m_buffers)
        if (!buffer.Busy)
            return &buffer;
    return nullptr;
}

void WaylandBufferFlip::NoteStale(std::vector<PixRect>& stale, const std::vector<PixRect>& damage) const {
    if (stale.size() + damage.size() > MaxStaleRects) {
        stale = {Whole()};
        return;
    }
    stale.insert(stale.end(), damage.begin(), damage.end());
}

void WaylandBufferFlip::Harvest() {
    Pixmap& current = Current();
    const std::vector<PixRect>& damage = current.Damage();
    if (damage.empty())
        return;
    for (Buffer& buffer : m_buffers)
        if (&buffer != m_current)
            NoteStale(buffer.Stale, damage);
    NoteStale(m_unsent, damage);
    current.ClearDamage();
}

void WaylandBufferFlip::MakeCurrent(Buffer& buffer) {
    const Pixmap& latest = Current();
    for (const PixRect& rect : buffer.Stale)
        CopyRect(buffer.Pixels, rect.X, rect.Y, rect.Width, rect.Height, latest, rect.X, rect.Y);
    buffer.Stale.clear();
    // Catching up is not drawing: nobody else lags behind by it.
    buffer.Pixels.ClearDamage();
    m_current = &buffer;
    m_spare = Pixmap();
}

Pixmap& WaylandBufferFlip::Surface() {
    if (m_current != nullptr && !m_current->Busy)
        return m_current->Pixels;
    Harvest();
    if (Buffer* free = FreeBuffer()) {
        MakeCurrent(*free);
        return free->Pixels;
    }
    if (m_current != nullptr) {
        m_spare = m_current->Pixels;
        m_spare.TrackDamage(true);
        m_current = nullptr;
    }
    return m_spare;
}

std::optional<WaylandBufferFlip::Frame> WaylandBufferFlip::TakeFrame() {
    Harvest();
    if (m_unsent.empty() && m_sentOnce)
        return std::nullopt;
    if (m_current == nullptr) {
        Buffer* free = FreeBuffer();
        if (free == nullptr)
            return std::nullopt;
        MakeCurrent(*free);
    }
    if (m_current->Busy)
        return std::nullopt;
    Frame frame;
    frame.Buffer = m_current == &m_buffers[0] ? 0 : 1;
    frame.Damage = m_sentOnce ? std::move(m_unsent) : std::vector<PixRect>{Whole()};
    m_unsent.clear();
    m_sentOnce = true;
    m_current->Busy = true;
    return frame;
}
