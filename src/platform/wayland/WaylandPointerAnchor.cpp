#include "platform/wayland/WaylandPointerAnchor.h"

#include <algorithm>
#include <cmath>

#include "platform/linux/PointerPosition.h"

namespace {

int32_t Pixel(double coordinate) {
    return static_cast<int32_t>(std::clamp(std::llround(coordinate), -0x40000000LL, 0x40000000LL));
}

int32_t WindowCoordinate(int32_t position, int32_t anchor) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{position} - anchor + WaylandPointerAnchor::Bias, 0, 0xFFFF));
}

} // namespace

std::optional<GlimraMessage> WaylandPointerAnchor::PointerAt(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    const GlimraPoint position{Pixel(x), Pixel(y)};
    if (!m_anchor) {
        m_anchor = position;
        return std::nullopt;
    }
    return GlimraMessage{
        WmMouseMove, 0,
        PackPosition(WindowCoordinate(position.X, m_anchor->X), WindowCoordinate(position.Y, m_anchor->Y))};
}
