#pragma once

#include "platform/linux/StopSignals.h"
#include "platform/x11/X11Headers.h"

// Sleeps until the X connection has something to read, a stop signal comes, or timeoutMs passes
// (-1: no limit). Flushes requests first, and returns at once when Xlib already holds queued
// events, which poll() cannot see.
void WaitForX(Display* display, const StopSignals& signals, int timeoutMs);
