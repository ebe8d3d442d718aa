#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/GlimraCell.h"
#include "engine/GridEdge.h"

class vGlimraColumn final : public vGlimraTicker {
public:
    explicit vGlimraColumn(int32_t rows);
    ~vGlimraColumn() override = default;
    vGlimraColumn(const vGlimraColumn&) = delete;
    vGlimraColumn& operator=(const vGlimraColumn&) = delete;

    vGlimraColony* Colony() const { return m_colony.get(); }
    // Frees the current colony and builds one of rows empty cells. Construction only.
    void SetRows(int32_t rows);
    void Tick(int32_t counter) override;
    // Returns the number of cells whose creature was asked to paint; tops as for vGlimraColony::Draw.
    int32_t Draw(Pixmap& dc, int32_t left, int32_t width, int32_t height, std::span<const int32_t> tops = {});
    // How many cells the last Tick ticked.
    int32_t CellsTicked() const { return m_cellsTicked; }

private:
    std::unique_ptr<vGlimraColony> m_colony;
    int32_t m_cellsTicked = 0;
};

// The grid: columns left to right, each a colony of the same number of cells. It paints only
// through its creatures and never clears anything.
//
// Drawing is incremental: a cell whose creature would paint the picture it painted there last time
// is skipped, since those pixels are still on the surface. That holds while the board draws onto the
// same pixels with the same layout; a Draw onto another surface (another Pixmap::Identity) or with
// another size repaints every creature, and a host that overwrites cells behind the board's back
// calls ForgetPictures.
class vGlimraBoard {
public:
    vGlimraBoard(int32_t columns, int32_t rows);
    ~vGlimraBoard();
    vGlimraBoard(const vGlimraBoard&) = delete;
    vGlimraBoard& operator=(const vGlimraBoard&) = delete;

    int32_t Count() const { return static_cast<int32_t>(m_columns.size()); }
    vGlimraColumn* ColumnAt(int32_t index) const;
    void Tick(int32_t counter);
    // Lays the columns out over width x height from the origin of dc; an empty board draws nothing.
    void Draw(Pixmap& dc, int32_t width, int32_t height);
    // Tick then Draw, column by column: the same ticks, draws and pixels in the same order as the
    // two walks one after the other, since a tick only changes its own column and writes no pixel,
    // and a draw reads only pixels. A column's creatures are still in the cache when it is drawn.
    void TickAndDraw(int32_t counter, Pixmap& dc, int32_t width, int32_t height);
    // The next Draw has every creature paint, whatever the cells showed before.
    void ForgetPictures();
    // How many cells the last Draw had paint.
    int32_t CellsDrawn() const { return m_cellsDrawn; }
    // How many cells the last Tick and Draw looked at, each walk counted: only occupied ones.
    int32_t CellsVisited() const { return m_cellsTicked + m_cellsLookedAt; }
    // Frees the columns left to right.
    void Clear();

private:
    // Forgets the cells' pictures when dc or the size is not what the last Draw painted; false when
    // there is nothing to lay out.
    bool PrepareDraw(Pixmap& dc, int32_t width, int32_t height);
    void DrawColumn(int32_t index, Pixmap& dc, int32_t height);

    std::vector<std::unique_ptr<vGlimraColumn>> m_columns;
    // Where the previous Draw painted, to tell when the pictures the cells remember are not there.
    const void* m_drawnIdentity = nullptr;
    int32_t m_drawnStride = 0;
    int32_t m_drawnWidth = 0;
    int32_t m_drawnHeight = 0;
    int32_t m_cellsDrawn = 0;
    int32_t m_cellsTicked = 0;
    int32_t m_cellsLookedAt = 0;
    // The edges of the layout PrepareDraw found, for DrawColumn.
    std::span<const int32_t> m_lefts;
    std::span<const int32_t> m_tops;
    GridLayout m_columnEdges;
    GridLayout m_rowEdges;
};
