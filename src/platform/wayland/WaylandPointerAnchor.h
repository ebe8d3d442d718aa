#pragma once

#include <optional>

#include "shell/GlimraSaverHost.h"

// Where the pointer started, for the saver's five-pixel rule. A Wayland client never learns the
// pointer's position on the desktop: only where it is on the client's own surfaces, once it is over
// one. So the saver's screen space is anchored at the first position any of its surfaces reports,
// and every later position is given as a displacement from it.
//
// Every output's logic sees the same space: its start position is CursorPosition, its window origin
// is WindowOrigin, and the messages made here carry the pointer's place in that window, so the
// logic's own subtraction yields the displacement whichever surface the pointer is on.
class WaylandPointerAnchor {
public:
    // The pointer at (x, y) in the compositor's layout (output position plus surface position, in
    // logical pixels). Nothing the first time, which only fixes the anchor; a mouse move after that.
    std::optional<GlimraMessage> PointerAt(double x, double y);
    bool Anchored() const { return m_anchor.has_value(); }

    static GlimraPoint CursorPosition() { return {0, 0}; }
    static GlimraPoint WindowOrigin() { return {-Bias, -Bias}; }

    // Window coordinates travel as 16-bit unsigned numbers; the bias keeps displacements up and to
    // the left positive. A displacement beyond what fits is clamped, which still exceeds five pixels.
    static constexpr int32_t Bias = 0x4000;

private:
    std::optional<GlimraPoint> m_anchor;
};
