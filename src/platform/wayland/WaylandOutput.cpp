#include "platform/wayland/WaylandOutput.h"

#include <algorithm>
#include <utility>

GlimraPoint WaylandOutput::SurfaceSize(int32_t configuredWidth, int32_t configuredHeight) const {
    GlimraPoint size{LogicalWidth, LogicalHeight};
    if (size.X <= 0 || size.Y <= 0) {
        // The mode is the panel's own; a panel turned a quarter shows it on its side.
        const int32_t scale = std::max(1, Scale);
        size = {ModeWidth / scale, ModeHeight / scale};
        if (Transform % 2 != 0)
            std::swap(size.X, size.Y);
    }
    // A side the compositor gives as 0 is left to the client.
    return {configuredWidth > 0 ? configuredWidth : size.X, configuredHeight > 0 ? configuredHeight : size.Y};
}

int32_t DensestScale(const std::vector<std::unique_ptr<WaylandOutput>>& outputs) {
    // A Wayland output's density is 96 pixels per inch times its scale. The glyph images are made
    // once for the whole program and shared by every output's engine, so all outputs draw at the
    // density of the densest one: glyphs made for a lower one would be too small to read there.
    int32_t scale = 1;
    for (const std::unique_ptr<WaylandOutput>& output : outputs)
        if (output->Described)
            scale = std::max(scale, output->Scale);
    return scale;
}
