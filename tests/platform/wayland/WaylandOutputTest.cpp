#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/wayland/WaylandOutput.h"

namespace {

WaylandOutput Mode(int32_t width, int32_t height, int32_t scale, int32_t transform = 0) {
    WaylandOutput output;
    output.ModeWidth = width;
    output.ModeHeight = height;
    output.Scale = scale;
    output.Transform = transform;
    return output;
}

TEST(WaylandOutput, ASurfaceTakesTheCompositorsSizeElseTheOutputsLogicalOne) {
    WaylandOutput told = Mode(3840, 2160, 2);
    told.LogicalWidth = 1600;
    told.LogicalHeight = 900;
    struct Case {
        const char* Name;
        WaylandOutput Output;
        int32_t ConfiguredWidth, ConfiguredHeight;
        GlimraPoint Expected;
    } cases[] = {
        {"configured", Mode(1920, 1080, 1), 1280, 720, {1280, 720}},
        {"left to us, scale 2", Mode(3840, 2160, 2), 0, 0, {1920, 1080}},
        {"one side left to us", Mode(1920, 1080, 1), 800, 0, {800, 1080}},
        {"a panel on its side", Mode(1920, 1080, 1, 1), 0, 0, {1080, 1920}},
        {"flipped, not turned", Mode(1920, 1080, 1, 6), 0, 0, {1920, 1080}},
        {"xdg-output's size wins over the mode", told, 0, 0, {1600, 900}},
        {"a scale of 0 counts as 1", Mode(640, 480, 0), 0, 0, {640, 480}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Output.SurfaceSize(c.ConfiguredWidth, c.ConfiguredHeight), c.Expected) << c.Name;
}

TEST(WaylandOutput, XdgOutputsPlaceWinsWhicheverCameFirst) {
    WaylandOutput output;
    output.GeometryPlace = {3840, 0};
    EXPECT_EQ(output.Place(), (GlimraPoint{3840, 0}));
    output.PlacedByXdg = true;
    output.XdgPlace = {1920, 0};
    EXPECT_EQ(output.Place(), (GlimraPoint{1920, 0}));
    output.GeometryPlace = {0, 0};
    EXPECT_EQ(output.Place(), (GlimraPoint{1920, 0}));
}

TEST(WaylandOutput, TheDensestScaleCountsOnlyDescribedOutputs) {
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    EXPECT_EQ(DensestScale(outputs), 1);
    for (int32_t scale : {1, 3, 2}) {
        outputs.push_back(std::make_unique<WaylandOutput>(Mode(640, 480, scale)));
        outputs.back()->Described = scale != 3;
    }
    EXPECT_EQ(DensestScale(outputs), 2);
    outputs[1]->Described = true;
    EXPECT_EQ(DensestScale(outputs), 3);
}

} // namespace
