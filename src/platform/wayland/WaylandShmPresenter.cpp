#include "platform/wayland/WaylandShmPresenter.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>

#include "raster/Blit.h"

namespace {

const wl_buffer_listener BufferListener = {
    +[](void* data, wl_buffer* buffer) {
        static_cast<void>(buffer);
        *static_cast<bool*>(data) = false;
    },
};

// Past this many waiting rectangles a buffer is simply refilled whole.
constexpr size_t MaxStaleRects = 4096;

} // namespace

std::unique_ptr<WaylandShmPresenter> WaylandShmPresenter::Create(const WaylandShmGlobals& globals,
                                                                 wl_surface* surface, int32_t width,
                                                                 int32_t height, int32_t scale) {
    if (!globals.Complete() || surface == nullptr || width <= 0 || height <= 0 || scale <= 0)
        return nullptr;
    std::unique_ptr<WaylandShmPresenter> presenter(new WaylandShmPresenter());
    presenter->m_globals = globals;
    presenter->m_wlSurface = surface;
    presenter->m_scale = scale;
    if (!presenter->Allocate(globals, width, height))
        return nullptr;
    // Both buffers start black, as the picture does.
    presenter->m_current = &presenter->m_buffers[0];
    return presenter;
}

bool WaylandShmPresenter::Allocate(const WaylandShmGlobals& globals, int32_t width, int32_t height) {
    const size_t stride = static_cast<size_t>(width) * 4;
    const size_t bufferSize = stride * static_cast<size_t>(height);
    m_memorySize = bufferSize * m_buffers.size();
    if (m_memorySize > static_cast<size_t>(INT32_MAX))
        return false;
    const int fd = memfd_create("glimracode", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    if (ftruncate(fd, static_cast<off_t>(m_memorySize)) != 0) {
        close(fd);
        return false;
    }
    m_memory = mmap(nullptr, m_memorySize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (m_memory == MAP_FAILED) {
        m_memory = nullptr;
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(globals.Shm, fd, static_cast<int32_t>(m_memorySize));
    for (size_t i = 0; i < m_buffers.size(); ++i) {
        Buffer& buffer = m_buffers[i];
        // XRGB8888 is a little-endian 0x00RRGGBB word: the pixmap's own layout.
        buffer.Handle = wl_shm_pool_create_buffer(pool, static_cast<int32_t>(i * bufferSize), width, height,
                                                  static_cast<int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(buffer.Handle, &BufferListener, &buffer.Busy);
        buffer.Pixels = Pixmap::Wrap(
            reinterpret_cast<uint32_t*>(static_cast<char*>(m_memory) + i * bufferSize), width, height, width);
        buffer.Pixels.TrackDamage(true);
    }
    wl_shm_pool_destroy(pool);
    close(fd);
    return true;
}

WaylandShmPresenter::~WaylandShmPresenter() {
    if (m_frame != nullptr)
        wl_callback_destroy(m_frame);
    for (Buffer& buffer : m_buffers)
        if (buffer.Handle != nullptr)
            wl_buffer_destroy(buffer.Handle);
    if (m_memory != nullptr)
        munmap(m_memory, m_memorySize);
}

void WaylandShmPresenter::NoteStale(std::vector<PixRect>& stale, const std::vector<PixRect>& damage,
                                    const PixRect& whole) {
    if (stale.size() + damage.size() > MaxStaleRects) {
        stale = {whole};
        return;
    }
    stale.insert(stale.end(), damage.begin(), damage.end());
}

bool WaylandShmPresenter::CanSend() const {
    // A failed flush is EAGAIN while the compositor has not read what came before; a closed
    // connection is the event loop's to report, on its own next flush.
    if (wl_display_flush(m_globals.Display) < 0)
        return false;
    pollfd socket{wl_display_get_fd(m_globals.Display), POLLOUT, 0};
    return poll(&socket, 1, 0) == 1 && (socket.revents & POLLOUT) != 0;
}

std::vector<PixRect> WaylandShmPresenter::DamageToSend(const std::vector<PixRect>& damage,
                                                       const PixRect& whole) {
    if (damage.size() <= MaxDamageRequests)
        return damage;
    const int32_t bandHeight = std::max<int32_t>(1, (whole.Height + Bands - 1) / Bands);
    std::vector<PixRect> bands(static_cast<size_t>(Bands));
    for (const PixRect& rect : damage) {
        if (rect.Width <= 0 || rect.Height <= 0)
            continue;
        PixRect& band = bands[static_cast<size_t>(std::clamp(rect.Y / bandHeight, 0, Bands - 1))];
        if (band.Width <= 0) {
            band = rect;
            continue;
        }
        const int32_t right = std::max(band.X + band.Width, rect.X + rect.Width);
        const int32_t bottom = std::max(band.Y + band.Height, rect.Y + rect.Height);
        band.X = std::min(band.X, rect.X);
        band.Y = std::min(band.Y, rect.Y);
        band.Width = right - band.X;
        band.Height = bottom - band.Y;
    }
    std::erase_if(bands, [](const PixRect& band) { return band.Width <= 0; });
    return bands;
}

WaylandShmPresenter::Buffer* WaylandShmPresenter::FreeBuffer() {
    for (Buffer& buffer : m_buffers)
        if (!buffer.Busy)
            return &buffer;
    return nullptr;
}

void WaylandShmPresenter::Harvest() {
    Pixmap& current = Current();
    const std::vector<PixRect>& damage = current.Damage();
    if (damage.empty())
        return;
    const PixRect whole = Whole();
    for (Buffer& buffer : m_buffers)
        if (&buffer != m_current)
            NoteStale(buffer.Stale, damage, whole);
    NoteStale(m_unsent, damage, whole);
    current.ClearDamage();
}

void WaylandShmPresenter::MakeCurrent(Buffer& buffer) {
    const Pixmap& latest = Current();
    for (const PixRect& rect : buffer.Stale)
        CopyRect(buffer.Pixels, rect.X, rect.Y, rect.Width, rect.Height, latest, rect.X, rect.Y);
    buffer.Stale.clear();
    // Catching up is not drawing: nobody else lags behind by it.
    buffer.Pixels.ClearDamage();
    m_current = &buffer;
    m_spare = Pixmap();
}

Pixmap& WaylandShmPresenter::Surface() {
    if (m_current != nullptr && !m_current->Busy)
        return m_current->Pixels;
    Harvest();
    if (Buffer* free = FreeBuffer()) {
        MakeCurrent(*free);
        return free->Pixels;
    }
    if (m_current != nullptr) {
        // The compositor holds both buffers: the picture goes on in memory of our own until it
        // lets one go.
        m_spare = m_current->Pixels;
        m_spare.TrackDamage(true);
        m_current = nullptr;
    }
    return m_spare;
}

void WaylandShmPresenter::Present() {
    Harvest();
    if ((m_unsent.empty() && m_sentOnce) || m_frame != nullptr || !CanSend())
        return;
    if (m_current == nullptr) {
        Buffer* free = FreeBuffer();
        if (free == nullptr)
            return;
        MakeCurrent(*free);
    }
    if (m_current->Busy)
        return;
    wl_surface_attach(m_wlSurface, m_current->Handle, 0, 0);
    // Damage in buffer pixels came with version 4 of the surface; before it, damage is in surface
    // coordinates, which a scaled buffer divides.
    const bool bufferDamage = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(m_wlSurface)) >= 4;
    const PixRect whole = Whole();
    for (const PixRect& rect : m_sentOnce ? DamageToSend(m_unsent, whole) : std::vector<PixRect>{whole}) {
        if (bufferDamage) {
            wl_surface_damage_buffer(m_wlSurface, rect.X, rect.Y, rect.Width, rect.Height);
            continue;
        }
        const int32_t left = rect.X / m_scale;
        const int32_t top = rect.Y / m_scale;
        wl_surface_damage(m_wlSurface, left, top, (rect.X + rect.Width + m_scale - 1) / m_scale - left,
                          (rect.Y + rect.Height + m_scale - 1) / m_scale - top);
    }
    static const wl_callback_listener FrameListener = {OnFrameDone};
    m_frame = wl_surface_frame(m_wlSurface);
    wl_callback_add_listener(m_frame, &FrameListener, this);
    wl_surface_commit(m_wlSurface);
    m_current->Busy = true;
    m_sentOnce = true;
    m_unsent.clear();
}

void WaylandShmPresenter::OnFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* presenter = static_cast<WaylandShmPresenter*>(data);
    wl_callback_destroy(callback);
    presenter->m_frame = nullptr;
}
