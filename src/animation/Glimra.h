#pragma once

#include <cstdint>
#include <memory>

#include "engine/GlimraColumn.h"

// The whole simulated screen. Made once per saver run with the size of the drawing surface: it
// reads the settings and hands them to the glyph record, the behaviours and the class weights,
// then builds a grid of glyph-sized cells. Each tick the host calls Spawn, Tick and Draw.
class vGlimra : public vGlimraTicker {
public:
    vGlimra(int32_t width, int32_t height);
    ~vGlimra() override;
    vGlimra(const vGlimra&) = delete;
    vGlimra& operator=(const vGlimra&) = delete;

    // Loads the settings from the installed store and copies every value to where it is used.
    void ApplySettings();
    // Rebuilds the grid, empty, for a surface of width x height. Construction only.
    void Resize(int32_t width, int32_t height);
    // The counter for this tick, 0..99; then advances it, wrapping.
    int32_t NextTickCount();
    // Gives each column, with a chance of Saturation percent, a new creature of a class drawn by weight.
    void Spawn();
    // Walks the board with the engine's own counter; the argument is ignored.
    void Tick(int32_t counter) override;
    // Draws the board over width x height from the origin of dc; 0 means the engine's own size.
    void Draw(Pixmap& dc, int32_t width = 0, int32_t height = 0);
    // One tick as every host runs it: Spawn, Tick, then Draw over the engine's size, the last two
    // column by column, to the same result.
    void Step(Pixmap& dc);
    // Has the next Draw repaint every creature, for a host that has overwritten the surface.
    void ForgetPictures();
    // How many cells the last Draw had paint; the others kept the pixels they showed.
    int32_t CellsDrawn() const { return m_board ? m_board->CellsDrawn() : 0; }

    vGlimraBoard* Board() const { return m_board.get(); }
    int32_t Columns() const { return m_columns; }
    int32_t Rows() const { return m_rows; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t Saturation() const { return m_saturation; }
    // The tick interval in milliseconds, never negative; 0 means the host never ticks.
    int32_t Delay() const { return m_delay; }
    int32_t TickCount() const { return m_tickCount; }

private:
    std::unique_ptr<vGlimraBoard> m_board;
    int32_t m_columns = 0;
    int32_t m_rows = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_saturation = 5;
    int32_t m_delay = 0;
    int32_t m_tickCount = 0;
};

// How every host starts the animation on a surface of width x height: black, an engine of that
// size (which reads the settings), and every class's glyph strips rendered at the glyph cell the
// engine measured.
std::unique_ptr<vGlimra> StartEngine(Pixmap& surface, int32_t width, int32_t height);

// Font sizes beyond this many points, either way, are taken as this: at 96 pixels per inch a glyph
// is then over 500 pixels high, half a full-HD screen, and a glyph image stays a modest allocation.
inline constexpr int32_t MaxFontPoints = 400;
