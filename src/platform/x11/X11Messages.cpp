#include "platform/x11/X11Messages.h"

#include "platform/linux/PointerPosition.h"

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
