#pragma once

#include <gtest/gtest.h>

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/GlimraColumn.h"
#include "engine/GlimraRandom.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Color.h"
#include "shell/GlimraModules.h"
#include "support/FakeRasteriser.h"
#include "support/ScriptedRandomDraws.h"

// The modules started as the program starts them, with the box-drawing rasteriser (8 x 14 glyph
// cells), a pinned seed, and a board of glyph-sized cells on a black surface. Each Step is one
// tick's walk and draw.
class BehaviourWorld : public ::testing::Test {
protected:
    static constexpr int32_t GlyphWidth = 8;
    static constexpr int32_t GlyphHeight = 14;

    void SetUp() override {
        PinRandomSeed(99);
        StartupModules("/nonexistent/");
        UpdateGlobalGlyphSize();
    }
    void TearDown() override {
        board.reset();
        ShutdownModules();
        UnpinRandomSeed();
    }

    // Call after changing parameters or the global glyph record: renders every class's strips.
    void Prepare(int32_t columns, int32_t rows) {
        PrepareCreatureClasses(surface, GlyphWidth, GlyphHeight);
        board = std::make_unique<vGlimraBoard>(columns, rows);
        surface = Pixmap(columns * GlyphWidth, rows * GlyphHeight);
    }

    void Step(int32_t counter = 0) {
        board->Tick(counter);
        board->Draw(surface, surface.Width(), surface.Height());
    }

    vGlimraCell* CellAt(int32_t column, int32_t row) {
        return board->ColumnAt(column)->Colony()->CellAt(row);
    }

    template <typename T> T* At(int32_t column, int32_t row) {
        return dynamic_cast<T*>(CellAt(column, row)->Creature());
    }

    // The brightest pixel of a cell: with the box glyphs, exactly the colour its glyph was drawn in.
    uint32_t Brightest(int32_t column, int32_t row) const {
        uint32_t best = 0;
        int bestSum = -1;
        for (int32_t y = row * GlyphHeight; y < (row + 1) * GlyphHeight; ++y)
            for (int32_t x = column * GlyphWidth; x < (column + 1) * GlyphWidth; ++x) {
                const uint32_t p = surface.Pixel(x, y);
                const int sum = static_cast<int>((p >> 16) & 0xFF) + static_cast<int>((p >> 8) & 0xFF) +
                                static_cast<int>(p & 0xFF);
                if (sum > bestSum) {
                    bestSum = sum;
                    best = p;
                }
            }
        return best;
    }

    static uint32_t Pixel(int32_t r, int32_t g, int32_t b) {
        return RgbPixel(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
    }

    ScopedFakeRasteriser fake;
    Pixmap surface;
    std::unique_ptr<vGlimraBoard> board;
};
