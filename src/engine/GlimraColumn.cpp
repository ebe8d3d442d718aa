#include "engine/GlimraColumn.h"

#include "engine/GridEdge.h"

vGlimraColumn::vGlimraColumn(int32_t rows) {
    SetRows(rows);
}

void vGlimraColumn::SetRows(int32_t rows) {
    m_colony.reset();
    m_colony = std::make_unique<vGlimraColony>(rows);
}

void vGlimraColumn::Tick(int32_t counter) {
    vGlimraTicker::Tick(counter);
    m_cellsTicked = m_colony->Tick(counter);
}

int32_t vGlimraColumn::Draw(Pixmap& dc, int32_t left, int32_t width, int32_t height,
                            std::span<const int32_t> tops) {
    return m_colony->Draw(dc, left, width, height, tops);
}

vGlimraBoard::vGlimraBoard(int32_t columns, int32_t rows) {
    if (columns <= 0)
        return;
    m_columns.reserve(static_cast<size_t>(columns));
    for (int32_t i = 0; i < columns; ++i)
        m_columns.push_back(std::make_unique<vGlimraColumn>(rows));
}

vGlimraBoard::~vGlimraBoard() {
    Clear();
}

vGlimraColumn* vGlimraBoard::ColumnAt(int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_columns[static_cast<size_t>(index)].get();
}

void vGlimraBoard::Tick(int32_t counter) {
    m_cellsTicked = 0;
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
        vGlimraColumn& column = *m_columns[static_cast<size_t>(i)];
        column.Tick(counter);
        m_cellsTicked += column.CellsTicked();
    }
}

void vGlimraBoard::Draw(Pixmap& dc, int32_t width, int32_t height) {
    if (!PrepareDraw(dc, width, height))
        return;
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i)
        DrawColumn(i, dc, height);
}

void vGlimraBoard::TickAndDraw(int32_t counter, Pixmap& dc, int32_t width, int32_t height) {
    m_cellsTicked = 0;
    const bool draws = PrepareDraw(dc, width, height);
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
        vGlimraColumn& column = *m_columns[static_cast<size_t>(i)];
        column.Tick(counter);
        m_cellsTicked += column.CellsTicked();
        if (draws)
            DrawColumn(i, dc, height);
    }
}

bool vGlimraBoard::PrepareDraw(Pixmap& dc, int32_t width, int32_t height) {
    m_cellsDrawn = 0;
    m_cellsLookedAt = 0;
    const int32_t count = Count();
    if (count <= 0)
        return false;
    const void* identity = dc.IsEmpty() ? nullptr : dc.Identity();
    if (identity != m_drawnIdentity || dc.Stride() != m_drawnStride || width != m_drawnWidth ||
        height != m_drawnHeight) {
        ForgetPictures();
        m_drawnIdentity = identity;
        m_drawnStride = dc.Stride();
        m_drawnWidth = width;
        m_drawnHeight = height;
    }
    m_lefts = m_columnEdges.Edges(width, count);
    m_tops = m_rowEdges.Edges(height, m_columns.front()->Colony()->Count());
    return true;
}

void vGlimraBoard::DrawColumn(int32_t index, Pixmap& dc, int32_t height) {
    vGlimraColumn& column = *m_columns[static_cast<size_t>(index)];
    m_cellsLookedAt += column.Colony()->Occupants();
    m_cellsDrawn += column.Draw(dc, m_lefts[static_cast<size_t>(index)], m_lefts[1], height, m_tops);
}

void vGlimraBoard::ForgetPictures() {
    for (auto& column : m_columns)
        column->Colony()->ForgetPictures();
}

void vGlimraBoard::Clear() {
    for (auto& column : m_columns)
        column.reset();
    m_columns.clear();
}
