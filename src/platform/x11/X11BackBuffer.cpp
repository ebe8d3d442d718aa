#include "platform/x11/X11BackBuffer.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <climits>

namespace {

// XShmAttach fails asynchronously (for instance on a server that cannot reach this machine's
// segments), so the error is caught by a handler installed around one round trip.
bool g_attachFailed = false;

int NoteAttachError(Display*, XErrorEvent*) {
    g_attachFailed = true;
    return 0;
}

bool IsLittleEndianHost() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

bool IsSurfaceImage(const XImage* image) {
    const int hostOrder = IsLittleEndianHost() ? LSBFirst : MSBFirst;
    return image->bits_per_pixel == 32 && image->byte_order == hostOrder && image->bytes_per_line % 4 == 0;
}

} // namespace

bool IsSurfaceVisual(const Visual* visual, int depth) {
    return visual != nullptr && (depth == 24 || depth == 32) && visual->c_class == TrueColor &&
           visual->red_mask == 0xFF0000 && visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
}

X11BackBuffer::X11BackBuffer(Display* display, Drawable window) : m_display(display), m_window(window) {
}

std::unique_ptr<X11BackBuffer> X11BackBuffer::Create(Display* display, Drawable window, Visual* visual,
                                                     int depth, int32_t width, int32_t height,
                                                     bool allowSharedMemory) {
    if (!IsSurfaceVisual(visual, depth) || width <= 0 || height <= 0)
        return nullptr;
    std::unique_ptr<X11BackBuffer> buffer(new X11BackBuffer(display, window));
    const bool ready = (allowSharedMemory && buffer->AttachSharedImage(visual, depth, width, height)) ||
                       buffer->CreatePlainImage(visual, depth, width, height);
    if (!ready)
        return nullptr;
    buffer->m_gc = XCreateGC(display, window, 0, nullptr);
    buffer->m_clipGc = XCreateGC(display, window, 0, nullptr);
    buffer->m_surface.TrackDamage(true);
    return buffer;
}

bool X11BackBuffer::AttachSharedImage(Visual* visual, int depth, int32_t width, int32_t height) {
    if (!XShmQueryExtension(m_display))
        return false;
    XImage* image = XShmCreateImage(m_display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &m_segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr)
        return false;
    if (!IsSurfaceImage(image)) {
        XDestroyImage(image);
        return false;
    }
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    m_segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_segment.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    m_segment.shmaddr = static_cast<char*>(shmat(m_segment.shmid, nullptr, 0));
    if (m_segment.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(m_segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    image->data = m_segment.shmaddr;
    m_segment.readOnly = False;

    g_attachFailed = false;
    XSync(m_display, False);
    const auto previous = XSetErrorHandler(NoteAttachError);
    const Status attached = XShmAttach(m_display, &m_segment);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    // Marked for removal at once: the segment then goes away with the last process that uses it,
    // even when this one is killed.
    shmctl(m_segment.shmid, IPC_RMID, nullptr);
    if (!attached || g_attachFailed) {
        shmdt(m_segment.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        m_segment = {};
        return false;
    }
    m_image = image;
    m_shared = true;
    // A new segment comes zero-filled, so the surface starts black as an owning pixmap would.
    m_surface =
        Pixmap::Wrap(reinterpret_cast<uint32_t*>(image->data), width, height, image->bytes_per_line / 4);
    return true;
}

bool X11BackBuffer::CreatePlainImage(Visual* visual, int depth, int32_t width, int32_t height) {
    m_plainPixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    XImage* image = XCreateImage(m_display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(m_plainPixels.data()), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, width * 4);
    if (image == nullptr)
        return false;
    if (!IsSurfaceImage(image)) {
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    m_image = image;
    m_surface = Pixmap::Wrap(m_plainPixels.data(), width, height, width);
    return true;
}

X11BackBuffer::~X11BackBuffer() {
    if (m_gc != nullptr)
        XFreeGC(m_display, m_gc);
    if (m_clipGc != nullptr)
        XFreeGC(m_display, m_clipGc);
    if (m_shared) {
        XShmDetach(m_display, &m_segment);
        XSync(m_display, False);
        shmdt(m_segment.shmaddr);
    }
    if (m_image != nullptr) {
        // The pixels belong to the segment or to m_plainPixels, never to Xlib.
        m_image->data = nullptr;
        XDestroyImage(m_image);
    }
}

std::optional<PixRect> X11BackBuffer::ClipToSurface(const PixRect& rect) const {
    const int32_t left = std::max(rect.X, 0);
    const int32_t top = std::max(rect.Y, 0);
    const int32_t right = std::min(rect.X + rect.Width, m_surface.Width());
    const int32_t bottom = std::min(rect.Y + rect.Height, m_surface.Height());
    if (right <= left || bottom <= top)
        return std::nullopt;
    return PixRect{left, top, right - left, bottom - top};
}

void X11BackBuffer::Put(GC gc, const PixRect& rect) {
    const std::optional<PixRect> area = ClipToSurface(rect);
    if (!area)
        return;
    const auto width = static_cast<unsigned>(area->Width);
    const auto height = static_cast<unsigned>(area->Height);
    if (m_shared)
        XShmPutImage(m_display, m_window, gc, m_image, area->X, area->Y, area->X, area->Y, width, height,
                     False);
    else
        XPutImage(m_display, m_window, gc, m_image, area->X, area->Y, area->X, area->Y, width, height);
}

void X11BackBuffer::PutClipped(const PixRect* rects, size_t count) {
    m_clip.clear();
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (size_t i = 0; i < count; ++i) {
        const std::optional<PixRect> area = ClipToSurface(rects[i]);
        if (!area)
            continue;
        // Surfaces are at most 16384 pixels a side, within the protocol's 16-bit fields.
        m_clip.push_back({static_cast<short>(area->X), static_cast<short>(area->Y),
                          static_cast<unsigned short>(area->Width),
                          static_cast<unsigned short>(area->Height)});
        left = std::min(left, area->X);
        top = std::min(top, area->Y);
        right = std::max(right, area->X + area->Width);
        bottom = std::max(bottom, area->Y + area->Height);
    }
    if (m_clip.empty())
        return;
    // Bands clipped to the surface are still bands, and a list in that order spares the server
    // sorting it into a region.
    XSetClipRectangles(m_display, m_clipGc, 0, 0, m_clip.data(), static_cast<int>(m_clip.size()), YXBanded);
    Put(m_clipGc, PixRect{left, top, right - left, bottom - top});
}

void X11BackBuffer::PresentDamage() {
    const std::vector<PixRect>& damage = m_surface.Damage();
    if (damage.empty())
        return;
    if (m_shared) {
        // The server copies from shared memory whatever the request names, so one request over the
        // damage's bounds, clipped to the damage, costs it only those pixels and spares it a request
        // per rectangle. The cells' damage runs down columns, which the server would copy a pixel
        // row of each cell at a time; bands across the screen need far fewer rows. Batches keep
        // each clip list within a core request's size.
        const std::vector<PixRect>& bands = m_bands.Band(damage, BandGap);
        for (size_t first = 0; first < bands.size(); first += MaxClipRects)
            PutClipped(bands.data() + first, std::min(MaxClipRects, bands.size() - first));
    } else {
        // Without shared memory every pixel of a request goes through the socket: a bounding box
        // would send the undamaged pixels too.
        for (const PixRect& rect : damage)
            Put(m_gc, rect);
    }
    m_surface.ClearDamage();
    // The server reads a shared image when it handles the request, not when it is sent; the engine
    // must not draw the next tick into it before then.
    if (m_shared)
        XSync(m_display, False);
    else
        XFlush(m_display);
}

void X11BackBuffer::Repaint(int32_t x, int32_t y, int32_t width, int32_t height) {
    Put(m_gc, PixRect{x, y, width, height});
    XFlush(m_display);
}
