// The cost of the saver's work: one tick of the engine in steady state, the strips rendered at
// start, and the floor a tick is compared against, a plain copy of every cell's pixels. A tick
// reports how many cells it had paint and the rectangles and share of pixels a host then presents.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "animation/Glimra.h"
#include "engine/GlimraRandom.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "raster/Blit.h"
#include "raster/DamageBands.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraRuntime.h"
#include "support/MemorySettingsStore.h"

namespace {

// The modules as the saver starts them, with the bundled font and settings at their defaults but
// for the saturation.
class World {
public:
    explicit World(int32_t saturation, int32_t fontSize = 10) {
        vGlimraSettings settings;
        settings.Saturation = saturation;
        settings.FontSize = fontSize;
        settings.Save(m_store);
        m_runtime.StartModules(ExecutableDirectory());
        PinRandomSeed(1);
    }

private:
    FreeTypeRasteriser m_rasteriser;
    MemorySettingsStore m_store;
    GlimraRuntime m_runtime{{&m_rasteriser, &m_store}};
};

void BM_EngineTick(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    World world(static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)));
    Pixmap surface(width, height);
    // As a host's back buffer does, so that the cost of noting damage is part of the tick.
    surface.TrackDamage(true);
    const std::unique_ptr<vGlimra> started = StartEngine(surface, width, height);
    vGlimra& engine = *started;
    // Warm up until tracks, flippers and sweepers have filled the screen: at "Font Size" 1 a sweeper
    // takes over a thousand ticks to cross it, and the crowd keeps growing until then.
    for (int i = 0; i < 1200; ++i) {
        engine.Step(surface);
        surface.ClearDamage();
    }
    int64_t visited = 0, painted = 0, rects = 0, pixels = 0;
    for (auto _ : state) {
        engine.Step(surface);
        benchmark::ClobberMemory();
        visited += engine.Board()->CellsVisited();
        painted += engine.CellsDrawn();
        rects += static_cast<int64_t>(surface.Damage().size());
        for (const PixRect& rect : surface.Damage())
            pixels += int64_t{rect.Width} * rect.Height;
        surface.ClearDamage();
    }
    const auto perTick = [&](int64_t total) {
        return static_cast<double>(total) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    };
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cells"] = engine.Columns() * engine.Rows();
    // Both walks count: a cell ticked and then looked at for its picture is two visits.
    state.counters["visited/tick"] = perTick(visited);
    state.counters["painted/tick"] = perTick(painted);
    state.counters["rects/tick"] = perTick(rects);
    state.counters["pixels/tick"] = perTick(pixels);
    state.counters["pixels%"] = 100.0 * perTick(pixels) / (static_cast<double>(width) * height);
}

// The floor: the memory traffic of painting every cell once from a ready image, which a tick
// could only beat by skipping cells.
void BM_CopyEveryCell(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    World world(5);
    const vGlimraGraphProps& props = *GlobalGraphProps();
    UpdateGlobalGlyphSize();
    const int32_t glyphWidth = props.GlyphWidth, glyphHeight = props.GlyphHeight;
    const int32_t columns = width / glyphWidth, rows = height / glyphHeight;
    Pixmap surface(width, height);
    Pixmap strip(glyphWidth * 50, glyphHeight);
    for (auto _ : state) {
        for (int32_t column = 0; column < columns; ++column)
            for (int32_t row = 0; row < rows; ++row)
                CopyRect(surface, column * glyphWidth, row * glyphHeight, glyphWidth, glyphHeight, strip,
                         ((column + row) % 50) * glyphWidth, 0);
        benchmark::ClobberMemory();
    }
    state.counters["cells"] = columns * rows;
}

// What an X11 host does with a tick's damage before presenting it: the damage of a steady-state
// tick, rewritten as bands, with the rectangles and pixel rows the server copies before and after.
void BM_BandDamage(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    World world(5);
    Pixmap surface(width, height);
    surface.TrackDamage(true);
    const std::unique_ptr<vGlimra> engine = StartEngine(surface, width, height);
    for (int i = 0; i < 1200; ++i) {
        surface.ClearDamage();
        engine->Step(surface);
    }
    const std::vector<PixRect> damage = surface.Damage();
    DamageBands bands;
    for (auto _ : state)
        benchmark::DoNotOptimize(bands.Band(damage, static_cast<int32_t>(state.range(2))).data());
    const auto rows = [](const std::vector<PixRect>& rects) {
        int64_t total = 0;
        for (const PixRect& rect : rects)
            total += rect.Height;
        return static_cast<double>(total);
    };
    const std::vector<PixRect>& banded = bands.Band(damage, static_cast<int32_t>(state.range(2)));
    state.counters["rects"] = static_cast<double>(damage.size());
    state.counters["rows"] = rows(damage);
    state.counters["bands"] = static_cast<double>(banded.size());
    state.counters["band rows"] = rows(banded);
}

void BM_PrepareStrips(benchmark::State& state) {
    World world(5);
    vGlimra engine(1920, 1080);
    Pixmap surface(1, 1);
    const vGlimraGraphProps& props = *GlobalGraphProps();
    for (auto _ : state) {
        Dictionary()->Clear();
        PrepareCreatureClasses(surface, props.GlyphWidth, props.GlyphHeight);
    }
    state.counters["strips"] = Dictionary()->Count();
}

} // namespace

// What users pick: the defaults, the densest spawning, a large font on a large screen, and the
// heaviest settings the dialog allows ("Font Size" 1, 2x1-pixel cells).
BENCHMARK(BM_EngineTick)
    ->ArgNames({"w", "h", "saturation", "points"})
    ->Args({1920, 1080, 5, 10})
    ->Args({1920, 1080, 100, 10})
    ->Args({1920, 1080, 100, 1})
    ->Args({3840, 2160, 5, 10})
    ->Args({3840, 2160, 100, 10})
    ->Args({3840, 2160, 100, 6})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BandDamage)
    ->ArgNames({"w", "h", "gap"})
    ->Args({1920, 1080, 48})
    ->Args({3840, 2160, 48})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyEveryCell)
    ->ArgNames({"w", "h"})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrepareStrips)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
