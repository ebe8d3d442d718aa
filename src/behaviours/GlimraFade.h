#pragma once

#include <cstdint>

// One colour of a behaviour parameter: components 0..255, taken from a 0x00BBGGRR setting.
struct GlimraRgb {
    int32_t R = 0;
    int32_t G = 0;
    int32_t B = 0;

    static GlimraRgb FromColorRef(uint32_t colorRef) {
        return {static_cast<int32_t>(colorRef & 0xFF), static_cast<int32_t>((colorRef >> 8) & 0xFF),
                static_cast<int32_t>((colorRef >> 16) & 0xFF)};
    }
    bool operator==(const GlimraRgb&) const = default;
};

// A fade needs at least two steps (the formulas divide by N - 1 and by N div 2), and more than
// this many would only repeat colours while multiplying strips; hand-edited counts are bounded.
inline constexpr int32_t MinFadeStates = 2;
inline constexpr int32_t MaxFadeStates = 255;
int32_t BoundedStates(int32_t configured);

// Step i of N (N already bounded) from start to end: S - i * ((S - E) div (N - 1)) per component,
// truncating division. Returns a colour value 0x00BBGGRR.
uint32_t TwoColourFade(GlimraRgb start, GlimraRgb end, int32_t states, int32_t step);

// Step i of N through a middle colour: up to half = N div 2 from start towards mid, after it from
// mid towards end. Returns a colour value 0x00BBGGRR.
uint32_t ThreeColourFade(GlimraRgb start, GlimraRgb mid, GlimraRgb end, int32_t states, int32_t step);
