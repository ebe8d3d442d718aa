#include "platform/wayland/WaylandShmPresenter.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <utility>

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
    return presenter;
}

bool WaylandShmPresenter::Allocate(const WaylandShmGlobals& globals, int32_t width, int32_t height) {
    const size_t stride = static_cast<size_t>(width) * 4;
    const size_t bufferSize = stride * static_cast<size_t>(height);
    m_memorySize = bufferSize * m_handles.size();
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
    static const wl_buffer_listener Listener = {OnRelease};
    std::array<Pixmap, 2> pixels;
    for (size_t i = 0; i < m_handles.size(); ++i) {
        // XRGB8888 is a little-endian 0x00RRGGBB word: the pixmap's own layout.
        m_handles[i] = wl_shm_pool_create_buffer(pool, static_cast<int32_t>(i * bufferSize), width, height,
                                                 static_cast<int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(m_handles[i], &Listener, this);
        pixels[i] = Pixmap::Wrap(reinterpret_cast<uint32_t*>(static_cast<char*>(m_memory) + i * bufferSize),
                                 width, height, width);
    }
    m_flip.emplace(std::move(pixels[0]), std::move(pixels[1]));
    wl_shm_pool_destroy(pool);
    close(fd);
    return true;
}

WaylandShmPresenter::~WaylandShmPresenter() {
    if (m_frame != nullptr)
        wl_callback_destroy(m_frame);
    for (wl_buffer* handle : m_handles)
        if (handle != nullptr)
            wl_buffer_destroy(handle);
    if (m_memory != nullptr)
        munmap(m_memory, m_memorySize);
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

void WaylandShmPresenter::Present() {
    if (m_frame != nullptr || !CanSend())
        return;
    const std::optional<WaylandBufferFlip::Frame> frame = m_flip->TakeFrame();
    if (!frame)
        return;
    wl_surface_attach(m_wlSurface, m_handles[static_cast<size_t>(frame->Buffer)], 0, 0);
    // Damage in buffer pixels came with version 4 of the surface; before it, damage is in surface
    // coordinates, which a scaled buffer divides.
    const bool bufferDamage = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(m_wlSurface)) >= 4;
    const Pixmap& pixels = m_flip->Pixels(frame->Buffer);
    for (const PixRect& rect : DamageToSend(frame->Damage, {0, 0, pixels.Width(), pixels.Height()})) {
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
}

void WaylandShmPresenter::OnRelease(void* data, wl_buffer* buffer) {
    auto* presenter = static_cast<WaylandShmPresenter*>(data);
    for (size_t i = 0; i < presenter->m_handles.size(); ++i)
        if (presenter->m_handles[i] == buffer)
            presenter->m_flip->Released(static_cast<int>(i));
}

void WaylandShmPresenter::OnFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* presenter = static_cast<WaylandShmPresenter*>(data);
    wl_callback_destroy(callback);
    presenter->m_frame = nullptr;
}
