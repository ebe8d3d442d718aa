#include "platform/x11/X11Messages.h"

std::optional<GlimraMessage> MessageFromEvent(const XEvent& event) {
    switch (event.type) {
    case KeyPress:
        return GlimraMessage{WmKeyDown, static_cast<uintptr_t>(event.xkey.keycode), 0};
    case MotionNotify:
        return GlimraMessage{WmMouseMove, 0, PackPosition(event.xmotion.x, event.xmotion.y)};
    default:
        return std::nullopt;
    }
}

bool IsClick(const XEvent& event) {
    return event.type == ButtonPress;
}

intptr_t PackPosition(int x, int y) {
    const uint32_t low = static_cast<uint32_t>(x) & 0xFFFF;
    const uint32_t high = static_cast<uint32_t>(y) & 0xFFFF;
    return static_cast<intptr_t>(low | (high << 16));
}
