#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "shell/GlimraSaverHost.h"

struct wl_output;
struct zxdg_output_v1;
class WaylandSaver;

// One output of the compositor, as its events have described it so far, and what the saver
// concludes from that: where the output sits in the layout and what size a surface covering it has.
struct WaylandOutput {
    WaylandSaver* Saver = nullptr;
    uint32_t Name = 0;
    wl_output* Handle = nullptr;
    zxdg_output_v1* Xdg = nullptr;
    // xdg-output's logical place and size; absent until told.
    bool PlacedByXdg = false;
    GlimraPoint XdgPlace;
    int32_t LogicalWidth = 0;
    int32_t LogicalHeight = 0;
    // wl_output's geometry: its place, and its transform (odd values turn it a quarter).
    GlimraPoint GeometryPlace;
    int32_t Transform = 0;
    // The current mode, in device pixels.
    int32_t ModeWidth = 0;
    int32_t ModeHeight = 0;
    int32_t Scale = 1;
    // wl_output's first done has come: size and scale are known.
    bool Described = false;
    // The compositor took our surface off this output; it gets no other one.
    bool Refused = false;

    // Where the output sits in the compositor's layout, in logical pixels. xdg-output's place
    // where the compositor offers it: wl_output's geometry is in a unit each compositor picks.
    GlimraPoint Place() const { return PlacedByXdg ? XdgPlace : GeometryPlace; }
    // The size, in logical pixels, of a surface that covers the output: the compositor's on each
    // side it gave (not 0), else the output's logical size.
    GlimraPoint SurfaceSize(int32_t configuredWidth, int32_t configuredHeight) const;
    // Whether a surface can be put on it yet.
    bool Coverable() const { return Described && !Refused && ModeWidth > 0 && ModeHeight > 0; }
};

// The scale of the densest described output, at least 1.
int32_t DensestScale(const std::vector<std::unique_ptr<WaylandOutput>>& outputs);
