#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle of pixels: left, top, width, height.
struct PixRect {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool operator==(const PixRect&) const = default;
};

// A rectangle of 32-bit pixels, 0x00RRGGBB each (bytes B, G, R, X in memory), the layout of a
// top-down 32-bit DIB and of a little-endian TrueColor image, so a host presents one with a plain copy.
//
// A pixmap either owns its pixels or views memory that a host owns (a DIB section, a shared-memory
// image); the view must outlive the pixmap. Copying a pixmap always makes an owning deep copy.
class Pixmap {
public:
    Pixmap() = default;
    // A black pixmap; negative sizes give an empty one.
    Pixmap(int32_t width, int32_t height);
    // A view of width x height pixels at bits, rows strideInPixels apart.
    static Pixmap Wrap(uint32_t* bits, int32_t width, int32_t height, int32_t strideInPixels);

    Pixmap(const Pixmap& other);
    Pixmap& operator=(const Pixmap& other);
    Pixmap(Pixmap&& other) noexcept;
    Pixmap& operator=(Pixmap&& other) noexcept;
    ~Pixmap() = default;

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Stride() const { return m_stride; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    uint32_t* Row(int32_t y) { return m_bits + static_cast<intptr_t>(y) * m_stride; }
    const uint32_t* Row(int32_t y) const { return m_bits + static_cast<intptr_t>(y) * m_stride; }

    // Reads outside the pixmap give 0; writes outside it are ignored.
    uint32_t Pixel(int32_t x, int32_t y) const { return Contains(x, y) ? Row(y)[x] : 0; }
    void SetPixel(int32_t x, int32_t y, uint32_t value) {
        if (Contains(x, y))
            Row(y)[x] = value;
    }

    bool operator==(const Pixmap& other) const;

    // What tells a drawer that this pixmap still holds the picture it drew last: by default the
    // memory it views or owns. A host that keeps one picture in several pixmaps, bringing each up to
    // date before it is drawn on, gives them one identity; a copy keeps it, being the same picture.
    const void* Identity() const { return m_identity != nullptr ? m_identity : m_bits; }
    void SetIdentity(const void* identity) { m_identity = identity; }

    // Damage: when tracking is on, every block operation that writes here notes the rectangle it
    // wrote (an OR that adds no bit writes nothing), so that a host presents only what changed. Rectangles
    // stacked in one column of cells merge as they come; past MaxDamageRects, which only the densest settings
    // on the largest screens reach, the list collapses into its bounding box. Single SetPixel calls are not
    // tracked. Copies of a pixmap start without damage or tracking.
    void TrackDamage(bool on) {
        m_trackDamage = on;
        m_damage.clear();
    }
    bool TracksDamage() const { return m_trackDamage; }
    void NoteDamage(int32_t x, int32_t y, int32_t width, int32_t height);
    const std::vector<PixRect>& Damage() const { return m_damage; }
    void ClearDamage() { m_damage.clear(); }
    // The smallest rectangle holding all damage; empty when there is none.
    PixRect DamageBounds() const;
    static constexpr size_t MaxDamageRects = 16384;

private:
    void CopyFrom(const Pixmap& other);

    std::vector<PixRect> m_damage;
    bool m_trackDamage = false;

    std::vector<uint32_t> m_storage;
    uint32_t* m_bits = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
    const void* m_identity = nullptr;
};
