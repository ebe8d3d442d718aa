#include "platform/linux/PointerPosition.h"

intptr_t PackPosition(int x, int y) {
    const uint32_t low = static_cast<uint32_t>(x) & 0xFFFF;
    const uint32_t high = static_cast<uint32_t>(y) & 0xFFFF;
    return static_cast<intptr_t>(low | (high << 16));
}
