#include <gtest/gtest.h>

#include <vector>

#include "behaviours/GlimraFade.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

Rgb Split(uint32_t colorRef) {
    return {static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
            static_cast<int>((colorRef >> 16) & 0xFF)};
}

std::vector<Rgb> TwoColour(GlimraRgb s, GlimraRgb e, int32_t n) {
    std::vector<Rgb> steps;
    for (int32_t i = 0; i < n; ++i)
        steps.push_back(Split(TwoColourFade(s, e, n, i)));
    return steps;
}

std::vector<Rgb> ThreeColour(GlimraRgb s, GlimraRgb m, GlimraRgb e, int32_t n) {
    std::vector<Rgb> steps;
    for (int32_t i = 0; i < n; ++i)
        steps.push_back(Split(ThreeColourFade(s, m, e, n, i)));
    return steps;
}

const GlimraRgb Black{0, 0, 0}, Bright{0, 255, 198}, Dark{0, 128, 0};

} // namespace

TEST(Fade, TheCascadesDefaultFadeStopsShortOfTheEndColourByTheRemainder) {
    EXPECT_EQ(TwoColour(Bright, Dark, 8), (std::vector<Rgb>{{0, 255, 198},
                                                            {0, 237, 170},
                                                            {0, 219, 142},
                                                            {0, 201, 114},
                                                            {0, 183, 86},
                                                            {0, 165, 58},
                                                            {0, 147, 30},
                                                            {0, 129, 2}}));
    EXPECT_EQ(TwoColour(Bright, Dark, 2), (std::vector<Rgb>{{0, 255, 198}, {0, 128, 0}}));
    EXPECT_EQ(TwoColour(Bright, Dark, 3), (std::vector<Rgb>{{0, 255, 198}, {0, 192, 99}, {0, 129, 0}}));
    // Fading upwards works the same way (negative differences truncate toward zero).
    EXPECT_EQ(TwoColour(Dark, Bright, 3), (std::vector<Rgb>{{0, 128, 0}, {0, 191, 99}, {0, 254, 198}}));
}

TEST(Fade, TheStaticAndFlipperDefaultFadesBrightenThenDarken) {
    EXPECT_EQ(ThreeColour(Black, Bright, Dark, 12), (std::vector<Rgb>{{0, 0, 0},
                                                                      {0, 42, 33},
                                                                      {0, 84, 66},
                                                                      {0, 126, 99},
                                                                      {0, 168, 132},
                                                                      {0, 210, 165},
                                                                      {0, 252, 198},
                                                                      {0, 230, 159},
                                                                      {0, 205, 120},
                                                                      {0, 180, 81},
                                                                      {0, 155, 42},
                                                                      {0, 130, 3}}));
    EXPECT_EQ(
        ThreeColour(Black, Bright, Dark, 6),
        (std::vector<Rgb>{{0, 0, 0}, {0, 85, 66}, {0, 170, 132}, {0, 255, 198}, {0, 192, 99}, {0, 129, 0}}));
    EXPECT_EQ(ThreeColour(Black, Bright, Dark, 2), (std::vector<Rgb>{{0, 0, 0}, {0, 255, 198}}))
        << "two steps: start and mid, never the end";
    EXPECT_EQ(ThreeColour(Black, Bright, Dark, 3), (std::vector<Rgb>{{0, 0, 0}, {0, 255, 198}, {0, 128, 0}}));
}

TEST(Fade, StateCountsBelowTwoActAsTwoAndHugeOnesAreBounded) {
    for (int32_t n : {INT32_MIN, -1, 0, 1, 2})
        EXPECT_EQ(BoundedStates(n), 2) << n;
    for (int32_t n = 2; n <= 50; ++n)
        EXPECT_EQ(BoundedStates(n), n);
    EXPECT_EQ(BoundedStates(INT32_MAX), MaxFadeStates);
    // The largest count still fades within 0..255 and ends on the end colour when it divides.
    EXPECT_EQ(Split(TwoColourFade({255, 255, 255}, {0, 0, 0}, MaxFadeStates, 254)), (Rgb{1, 1, 1}));
    EXPECT_EQ(GlimraRgb::FromColorRef(0xFF00C6FFu), (GlimraRgb{255, 198, 0})) << "the top byte is ignored";
}
