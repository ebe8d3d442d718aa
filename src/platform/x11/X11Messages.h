#pragma once

#include "platform/x11/X11Headers.h"

#include <optional>

#include "shell/GlimraSaverHost.h"

// How X events reach the saver window's logic, which thinks in Windows messages: a key press is
// WmKeyDown, pointer motion is WmMouseMove with the window position packed as Windows packs it,
// and a button press is a click on the paint surface.

// The message an event stands for, or nothing for events the message filter never sees.
std::optional<GlimraMessage> MessageFromEvent(const XEvent& event);

// A press of any pointer button: what the paint surface's click handler answers.
bool IsClick(const XEvent& event);
