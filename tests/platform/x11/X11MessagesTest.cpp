#include <gtest/gtest.h>

#include "platform/linux/PointerPosition.h"
#include "platform/x11/X11Messages.h"

namespace {

XEvent EventOf(int type) {
    XEvent event{};
    event.type = type;
    return event;
}

TEST(X11Messages, KeyPressIsKeyDown) {
    XEvent event = EventOf(KeyPress);
    event.xkey.keycode = 38;
    const std::optional<GlimraMessage> message = MessageFromEvent(event);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->Message, WmKeyDown);
    EXPECT_FALSE(IsClick(event));
}

TEST(X11Messages, MotionCarriesTheWindowPositionPackedAsWindowsPacksIt) {
    XEvent event = EventOf(MotionNotify);
    event.xmotion.x = 1919;
    event.xmotion.y = 1079;
    event.xmotion.x_root = 5; // the root position must not be the one used
    const std::optional<GlimraMessage> message = MessageFromEvent(event);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->Message, WmMouseMove);
    EXPECT_EQ(static_cast<uint32_t>(message->LParam) & 0xFFFF, 1919u);
    EXPECT_EQ(static_cast<uint32_t>(message->LParam) >> 16, 1079u);
}

TEST(X11Messages, PackingWrapsEachCoordinateToSixteenBits) {
    EXPECT_EQ(PackPosition(0, 0), 0);
    EXPECT_EQ(static_cast<uint32_t>(PackPosition(-1, 2)), 0x0002FFFFu);
    EXPECT_EQ(static_cast<uint32_t>(PackPosition(0x12345, 0x10001)), 0x00012345u);
}

TEST(X11Messages, ButtonPressIsAClickAndNoMessage) {
    const XEvent press = EventOf(ButtonPress);
    EXPECT_TRUE(IsClick(press));
    EXPECT_FALSE(MessageFromEvent(press));
    EXPECT_FALSE(IsClick(EventOf(ButtonRelease)));
}

TEST(X11Messages, OtherEventsAreNotMessages) {
    for (int type : {KeyRelease, ButtonRelease, Expose, ConfigureNotify, FocusIn, EnterNotify, MapNotify})
        EXPECT_FALSE(MessageFromEvent(EventOf(type))) << "event type " << type;
}

} // namespace
