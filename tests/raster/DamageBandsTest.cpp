#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/DamageBands.h"

namespace {

std::vector<PixRect> Band(const std::vector<PixRect>& damage, int32_t gap) {
    DamageBands bands;
    return bands.Band(damage, gap);
}

} // namespace

TEST(DamageBands, SpansOnTheSameRowsJoinWithinTheGapAndEqualRowsStack) {
    struct Case {
        const char* name;
        std::vector<PixRect> damage;
        int32_t gap;
        std::vector<PixRect> bands;
    };
    const Case cases[] = {
        {"nothing, or only empty rectangles", {{5, 5, 0, 3}, {1, 1, 4, -2}}, 8, {}},
        {"two cells down a column stack", {{0, 0, 8, 14}, {0, 14, 8, 14}}, 0, {{0, 0, 8, 28}}},
        {"neighbouring columns on the same rows", {{0, 0, 8, 14}, {8, 0, 8, 14}}, 0, {{0, 0, 16, 14}}},
        {"a gap wider than allowed", {{0, 0, 8, 14}, {18, 0, 8, 14}}, 9, {{0, 0, 8, 14}, {18, 0, 8, 14}}},
        {"a gap just allowed", {{0, 0, 8, 14}, {18, 0, 8, 14}}, 10, {{0, 0, 26, 14}}},
        {"columns of different lengths",
         {{0, 0, 8, 28}, {16, 14, 8, 14}},
         8,
         {{0, 0, 8, 14}, {0, 14, 24, 14}}},
        {"overlapping rectangles",
         {{0, 0, 10, 10}, {5, 5, 10, 10}},
         0,
         {{0, 0, 10, 5}, {0, 5, 15, 5}, {5, 10, 10, 5}}},
        {"rows apart stay apart", {{0, 0, 8, 14}, {0, 20, 8, 14}}, 64, {{0, 0, 8, 14}, {0, 20, 8, 14}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Band(c.damage, c.gap), c.bands) << c.name;
}

// On random damage: every damaged pixel is in exactly one band, the bands are in the order and
// shape a YXBanded clip list needs, and a band takes in no row it has no damage on, nor more than
// gap undamaged pixels in a row.
TEST(DamageBands, BandsCoverTheDamageOnceInBandedOrderAndAddOnlyShortGaps) {
    constexpr int32_t Width = 120, Height = 90;
    std::mt19937 random(7);
    for (const int32_t gap : {0, 5, 16}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<PixRect> damage;
            std::vector<int> damaged(Width * Height, 0);
            for (int i = 0; i < 40; ++i) {
                const PixRect rect{static_cast<int32_t>(random() % 110), static_cast<int32_t>(random() % 80),
                                   static_cast<int32_t>(1 + random() % 10),
                                   static_cast<int32_t>(1 + random() % 10)};
                damage.push_back(rect);
                for (int32_t y = rect.Y; y < rect.Y + rect.Height; ++y)
                    for (int32_t x = rect.X; x < rect.X + rect.Width; ++x)
                        damaged[y * Width + x] = 1;
            }
            const std::vector<PixRect> bands = Band(damage, gap);
            std::vector<int> covered(Width * Height, 0);
            for (size_t i = 0; i < bands.size(); ++i) {
                const PixRect& band = bands[i];
                for (int32_t y = band.Y; y < band.Y + band.Height; ++y) {
                    ASSERT_TRUE(damaged[y * Width + band.X] && damaged[y * Width + band.X + band.Width - 1])
                        << "a band's ends are damage on each of its rows";
                    int32_t run = 0;
                    for (int32_t x = band.X; x < band.X + band.Width; ++x) {
                        ++covered[y * Width + x];
                        run = damaged[y * Width + x] ? 0 : run + 1;
                        ASSERT_LE(run, gap);
                    }
                }
                if (i > 0) {
                    const PixRect& before = bands[i - 1];
                    const bool sameBand = before.Y == band.Y && before.Height == band.Height;
                    ASSERT_TRUE(sameBand ? before.X + before.Width < band.X
                                         : before.Y + before.Height <= band.Y)
                        << "bands out of YX-banded order at " << i;
                }
            }
            for (int32_t p = 0; p < Width * Height; ++p) {
                ASSERT_LE(covered[p], 1) << "bands overlap at pixel " << p;
                ASSERT_TRUE(covered[p] == 1 || !damaged[p]) << "damaged pixel " << p << " left out";
            }
        }
    }
}
