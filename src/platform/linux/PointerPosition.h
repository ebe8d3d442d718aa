#pragma once

#include <cstdint>

// A pointer position as a mouse-move message carries it, the way Windows packs it: x in the low 16
// bits, y in the next 16, each wrapped to 16 bits. Both Linux faces pack their pointer events so.
intptr_t PackPosition(int x, int y);
