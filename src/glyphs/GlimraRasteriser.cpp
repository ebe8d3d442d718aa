#include "glyphs/GlimraRasteriser.h"

namespace {
GlimraRasteriser* g_rasteriser = nullptr;
}

void InstallRasteriser(GlimraRasteriser* rasteriser) {
    g_rasteriser = rasteriser;
}

GlimraRasteriser* InstalledRasteriser() {
    return g_rasteriser;
}
