#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/linux/WaylandDisplayChoice.h"
#include "platform/wayland/WaylandPointerAnchor.h"
#include "settings/AsciiCase.h"
#include "shell/GlimraCode.h"
#include "shell/GlimraSaverMain.h"

namespace {

GlimraDisplayChoice Choose(std::vector<const char*> arguments, const char* waylandDisplay) {
    arguments.insert(arguments.begin(), "glimracode");
    return ChooseDisplayFace(static_cast<int>(arguments.size()), arguments.data(), waylandDisplay);
}

std::vector<std::string> Left(const GlimraDisplayChoice& choice) {
    std::vector<std::string> left;
    for (int i = 0; i < choice.Argc(); ++i)
        left.emplace_back(choice.Argv()[i]);
    return left;
}

TEST(WaylandDisplayChoice, FollowsWaylandDisplayUnlessAFlagSaysOtherwise) {
    EXPECT_EQ(Choose({"/s"}, "wayland-0").Face, GlimraDisplayFace::Wayland);
    EXPECT_EQ(Choose({"/s"}, nullptr).Face, GlimraDisplayFace::X11);
    // An empty value names no compositor.
    EXPECT_EQ(Choose({"/s"}, "").Face, GlimraDisplayFace::X11);
    EXPECT_FALSE(Choose({"/s"}, "wayland-0").Forced);

    const GlimraDisplayChoice x11 = Choose({"--x11", "/s"}, "wayland-0");
    EXPECT_EQ(x11.Face, GlimraDisplayFace::X11);
    EXPECT_TRUE(x11.Forced);
    const GlimraDisplayChoice wayland = Choose({"/s", "-wayland"}, nullptr);
    EXPECT_EQ(wayland.Face, GlimraDisplayFace::Wayland);
    EXPECT_TRUE(wayland.Forced);
    // The last flag wins, as with most programs' repeated options.
    EXPECT_EQ(Choose({"--wayland", "--x11"}, nullptr).Face, GlimraDisplayFace::X11);
}

TEST(WaylandDisplayChoice, TakesTheFlagsOutSoTheSwitchComesFirst) {
    const GlimraDisplayChoice choice = Choose({"--wayland", "/s", "--x11", "extra"}, nullptr);
    EXPECT_EQ(Left(choice), (std::vector<std::string>{"glimracode", "/s", "extra"}));
    EXPECT_EQ(choice.Argv()[choice.Argc()], nullptr);
    EXPECT_EQ(SelectRunMode(AsciiUppered(choice.Argv()[1])), GlimraRunMode::Saver);

    // Only the flag alone is one: the switches, other words and the program's own name stay.
    const GlimraDisplayChoice kept = Choose({"wayland", "/x11", "---x11", "--waylandish"}, nullptr);
    EXPECT_EQ(Left(kept),
              (std::vector<std::string>{"glimracode", "wayland", "/x11", "---x11", "--waylandish"}));
    EXPECT_FALSE(kept.Forced);
    const char* named[] = {"--x11"};
    EXPECT_EQ(Left(ChooseDisplayFace(1, named, nullptr)), (std::vector<std::string>{"--x11"}));

    // With nothing left, the run-mode logic sees no argument and so the settings mode.
    const GlimraDisplayChoice alone = Choose({"--wayland"}, nullptr);
    EXPECT_EQ(alone.Argc(), 1);
    EXPECT_EQ(alone.Argv()[1], nullptr);
}

// The logic's own arithmetic: a mouse move's window position plus the window origin, against the
// start position.
GlimraPoint Seen(const GlimraMessage& message) {
    const auto bits = static_cast<uint32_t>(message.LParam);
    const GlimraPoint origin = WaylandPointerAnchor::WindowOrigin();
    return {static_cast<int32_t>(bits & 0xFFFF) + origin.X, static_cast<int32_t>(bits >> 16) + origin.Y};
}

TEST(WaylandPointerAnchor, TheFirstSightingIsTheStartAndLaterOnesAreDisplacements) {
    WaylandPointerAnchor anchor;
    EXPECT_FALSE(anchor.Anchored());
    EXPECT_FALSE(anchor.PointerAt(960.4, 540.0).has_value());
    EXPECT_TRUE(anchor.Anchored());

    const std::optional<GlimraMessage> still = anchor.PointerAt(960.0, 540.0);
    ASSERT_TRUE(still.has_value());
    EXPECT_EQ(still->Message, static_cast<uint32_t>(WmMouseMove));
    EXPECT_EQ(Seen(*still), WaylandPointerAnchor::CursorPosition());

    EXPECT_EQ(Seen(*anchor.PointerAt(965.0, 535.0)), (GlimraPoint{5, -5}));
    EXPECT_EQ(Seen(*anchor.PointerAt(954.0, 546.0)), (GlimraPoint{-6, 6}));
    // Fractions round to the nearest pixel, as the compositor's own cursor is drawn.
    EXPECT_EQ(Seen(*anchor.PointerAt(965.6, 540.0)), (GlimraPoint{6, 0}));
}

TEST(WaylandPointerAnchor, FarMovesStayFarInSixteenBits) {
    WaylandPointerAnchor anchor;
    ASSERT_FALSE(anchor.PointerAt(20000.0, 0.0).has_value());
    // Another output far to the left, and one far to the right: clamped, never wrapped near zero.
    const GlimraPoint left = Seen(*anchor.PointerAt(0.0, 0.0));
    EXPECT_LT(left.X, -Tglimrascreen::MouseSlack);
    const GlimraPoint right = Seen(*anchor.PointerAt(200000.0, 70000.0));
    EXPECT_GT(right.X, Tglimrascreen::MouseSlack);
    EXPECT_GT(right.Y, Tglimrascreen::MouseSlack);
}

TEST(WaylandPointerAnchor, IgnoresPositionsThatAreNotNumbers) {
    WaylandPointerAnchor anchor;
    EXPECT_FALSE(anchor.PointerAt(std::nan(""), 1.0).has_value());
    EXPECT_FALSE(anchor.Anchored());
    ASSERT_FALSE(anchor.PointerAt(10.0, 10.0).has_value());
    EXPECT_FALSE(anchor.PointerAt(10.0, HUGE_VAL).has_value());
    EXPECT_EQ(Seen(*anchor.PointerAt(10.0, 10.0)), (GlimraPoint{0, 0}));
}

} // namespace
