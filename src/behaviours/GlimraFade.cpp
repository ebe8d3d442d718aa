#include "behaviours/GlimraFade.h"

#include <algorithm>

namespace {

// C++ division truncates toward zero, as the fade formulas require.
int64_t Toward(int64_t from, int64_t to, int64_t steps, int64_t step) {
    return from - step * ((from - to) / steps);
}

uint32_t Pack(int64_t r, int64_t g, int64_t b) {
    return static_cast<uint32_t>(r & 0xFF) | (static_cast<uint32_t>(g & 0xFF) << 8) |
           (static_cast<uint32_t>(b & 0xFF) << 16);
}

} // namespace

int32_t BoundedStates(int32_t configured) {
    return std::clamp(configured, MinFadeStates, MaxFadeStates);
}

uint32_t TwoColourFade(GlimraRgb start, GlimraRgb end, int32_t states, int32_t step) {
    const int64_t steps = states - 1;
    return Pack(Toward(start.R, end.R, steps, step), Toward(start.G, end.G, steps, step),
                Toward(start.B, end.B, steps, step));
}

uint32_t ThreeColourFade(GlimraRgb start, GlimraRgb mid, GlimraRgb end, int32_t states, int32_t step) {
    const int64_t half = states / 2;
    if (step <= half)
        return Pack(Toward(start.R, mid.R, half, step), Toward(start.G, mid.G, half, step),
                    Toward(start.B, mid.B, half, step));
    const int64_t rest = states - half - 1;
    const int64_t along = step - half;
    return Pack(Toward(mid.R, end.R, rest, along), Toward(mid.G, end.G, rest, along),
                Toward(mid.B, end.B, rest, along));
}
