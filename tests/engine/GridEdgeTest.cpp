#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <numeric>
#include <random>

#include "engine/GridEdge.h"

namespace {

struct Edge {
    int32_t index, extent, count, expected;
};

// Values of Trunc(index × (extent / count)) in SSE2 double arithmetic, taken from an x86-64 build.
// Most are products that are whole numbers in exact arithmetic, where double rounding decides
// between two pixels; the large ones lie where a double holds fewer fraction bits.
constexpr Edge KnownEdges[] = {
    {15, 768, 45, 256},
    {7, 1024, 78, 91},
    {8, 1024, 78, 105},
    {1, 1024, 78, 13},
    {1, 768, 45, 17},
    {11, 30, 22, 14},
    {22, 45, 33, 29},
    {23, 52, 46, 25},
    {25, 58, 50, 28},
    {0, 768, 45, 0},
    {44, 768, 45, 750},
    {3, 0, 7, 0},
    {116, 1291630590, 145, 1033304471},
    {27, 1415032868, 36, 1061274650},
    {184, 134008335, 920, 26801666},
    {187, 1910665152, 363, 984282047},
    {135, 543219530, 189, 388013949},
    {414, 1663946240, 768, 896971019},
    {-15, 768, 45, -256},
    {15, -768, 45, -256},
};

} // namespace

TEST(GridEdge, PlacesEdgesWhereDoubleArithmeticDoesOnEveryBuild) {
    for (const Edge& e : KnownEdges)
        EXPECT_EQ(GridEdge(e.index, e.extent, e.count), e.expected)
            << e.index << " x (" << e.extent << " / " << e.count << ")";
}

// Where the compiler evaluates doubles as written (SSE2, not x87), the native expression is the
// reference. Off the exact multiples the fraction is at least 1/count, far above any rounding, so
// sweeping the multiples exhaustively and the rest by sample covers the cases that can differ.
// GLIMRA_GRID_SWEEP raises the largest extent swept (8192 covers every screen).
TEST(GridEdge, AgreesWithNativeDoubleArithmetic) {
    if (FLT_EVAL_METHOD != 0)
        GTEST_SKIP() << "this build evaluates doubles in extended precision; the table above holds";
    const char* sweep = std::getenv("GLIMRA_GRID_SWEEP");
    const int32_t largest = sweep ? std::atoi(sweep) : 600;
    int64_t wrong = 0;
    for (int32_t extent = 1; extent <= largest; ++extent)
        for (int32_t count = 1; count <= extent; ++count) {
            const double size = static_cast<double>(extent) / count;
            const int32_t step = count / std::gcd(extent, count);
            for (int32_t index = 0; index < count; index += step)
                if (GridEdge(index, extent, count) != static_cast<int32_t>(index * size) && ++wrong < 5)
                    ADD_FAILURE() << index << " x (" << extent << " / " << count << ")";
        }
    std::mt19937 random(12345);
    for (int i = 0; i < 200000; ++i) {
        const int32_t extent = static_cast<int32_t>(random() % 0x7FFFFFFF) + 1;
        const int32_t count = static_cast<int32_t>(random() % static_cast<uint32_t>(extent)) + 1;
        const int32_t index = static_cast<int32_t>(random() % static_cast<uint32_t>(count));
        const double size = static_cast<double>(extent) / count;
        if (GridEdge(index, extent, count) != static_cast<int32_t>(index * size) && ++wrong < 10)
            ADD_FAILURE() << index << " x (" << extent << " / " << count << ")";
    }
    EXPECT_EQ(wrong, 0);
}

TEST(GridLayout, HoldsEveryEdgeOfTheLayoutLastAskedFor) {
    GridLayout layout;
    EXPECT_TRUE(layout.Edges(768, 0).empty());
    std::span<const int32_t> rows = layout.Edges(768, 45);
    ASSERT_EQ(rows.size(), 46u);
    for (int32_t row = 0; row <= 45; ++row)
        EXPECT_EQ(rows[static_cast<size_t>(row)], GridEdge(row, 768, 45)) << row;
    EXPECT_EQ(rows[15], 256);
    EXPECT_EQ(rows[45], 768);
    // Another extent or count is laid out anew, not served from the last one.
    rows = layout.Edges(767, 45);
    EXPECT_EQ(rows[44], GridEdge(44, 767, 45));
    rows = layout.Edges(767, 3);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], 255);
}
