#include "raster/Pixmap.h"

#include <algorithm>
#include <cstring>

Pixmap::Pixmap(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0)
        return;
    m_storage.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    m_bits = m_storage.data();
    m_width = width;
    m_height = height;
    m_stride = width;
}

Pixmap Pixmap::Wrap(uint32_t* bits, int32_t width, int32_t height, int32_t strideInPixels) {
    Pixmap view;
    if (bits == nullptr || width <= 0 || height <= 0 || strideInPixels < width)
        return view;
    view.m_bits = bits;
    view.m_width = width;
    view.m_height = height;
    view.m_stride = strideInPixels;
    return view;
}

Pixmap::Pixmap(const Pixmap& other) {
    CopyFrom(other);
}

Pixmap& Pixmap::operator=(const Pixmap& other) {
    if (this != &other)
        CopyFrom(other);
    return *this;
}

// Moving a std::vector keeps its buffer, so an owning pixmap's m_bits stays valid after the move.
Pixmap::Pixmap(Pixmap&& other) noexcept
    : m_storage(std::move(other.m_storage)), m_bits(other.m_bits), m_width(other.m_width),
      m_height(other.m_height), m_stride(other.m_stride), m_identity(other.m_identity) {
    other.m_bits = nullptr;
    other.m_identity = nullptr;
    other.m_width = other.m_height = other.m_stride = 0;
}

Pixmap& Pixmap::operator=(Pixmap&& other) noexcept {
    if (this != &other) {
        m_storage = std::move(other.m_storage);
        m_bits = other.m_bits;
        m_width = other.m_width;
        m_height = other.m_height;
        m_stride = other.m_stride;
        m_identity = other.m_identity;
        other.m_bits = nullptr;
        other.m_identity = nullptr;
        other.m_width = other.m_height = other.m_stride = 0;
    }
    return *this;
}

void Pixmap::CopyFrom(const Pixmap& other) {
    std::vector<uint32_t> storage(static_cast<size_t>(other.m_width) * static_cast<size_t>(other.m_height));
    for (int32_t y = 0; y < other.m_height; ++y)
        std::memcpy(storage.data() + static_cast<size_t>(y) * other.m_width, other.Row(y),
                    static_cast<size_t>(other.m_width) * sizeof(uint32_t));
    m_storage = std::move(storage);
    m_bits = m_storage.empty() ? nullptr : m_storage.data();
    m_width = other.m_width;
    m_height = other.m_height;
    m_stride = other.m_width;
    m_identity = other.m_identity;
}

bool Pixmap::operator==(const Pixmap& other) const {
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (int32_t y = 0; y < m_height; ++y)
        if (!std::equal(Row(y), Row(y) + m_width, other.Row(y)))
            return false;
    return true;
}

void Pixmap::NoteDamage(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!m_trackDamage || width <= 0 || height <= 0)
        return;
    if (!m_damage.empty()) {
        // The board draws each column top to bottom; a cell right below the last one (or below it
        // past a one-pixel layout gap) extends that rectangle.
        PixRect& last = m_damage.back();
        if (last.X == x && last.Width == width && y >= last.Y && y <= last.Y + last.Height + 1) {
            last.Height = std::max(last.Height, y + height - last.Y);
            return;
        }
    }
    if (m_damage.size() >= MaxDamageRects) {
        const PixRect bounds = DamageBounds();
        m_damage.assign(1, bounds);
        const int32_t left = std::min(bounds.X, x), top = std::min(bounds.Y, y);
        const int32_t right = std::max(bounds.X + bounds.Width, x + width);
        const int32_t bottom = std::max(bounds.Y + bounds.Height, y + height);
        m_damage[0] = {left, top, right - left, bottom - top};
        return;
    }
    m_damage.push_back({x, y, width, height});
}

PixRect Pixmap::DamageBounds() const {
    if (m_damage.empty())
        return {};
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const PixRect& rect : m_damage) {
        left = std::min(left, rect.X);
        top = std::min(top, rect.Y);
        right = std::max(right, rect.X + rect.Width);
        bottom = std::max(bottom, rect.Y + rect.Height);
    }
    return {left, top, right - left, bottom - top};
}
