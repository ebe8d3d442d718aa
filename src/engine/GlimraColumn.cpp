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
    m_colony->Tick(counter);
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
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i)
        m_columns[static_cast<size_t>(i)]->Tick(counter);
}

void vGlimraBoard::Draw(Pixmap& dc, int32_t width, int32_t height) {
    m_cellsDrawn = 0;
    const int32_t count = Count();
    if (count <= 0)
        return;
    const uint32_t* bits = dc.IsEmpty() ? nullptr : dc.Row(0);
    if (bits != m_drawnBits || dc.Stride() != m_drawnStride || width != m_drawnWidth ||
        height != m_drawnHeight) {
        ForgetPictures();
        m_drawnBits = bits;
        m_drawnStride = dc.Stride();
        m_drawnWidth = width;
        m_drawnHeight = height;
    }
    const std::span<const int32_t> lefts = m_columnEdges.Edges(width, count);
    const std::span<const int32_t> tops = m_rowEdges.Edges(height, m_columns.front()->Colony()->Count());
    const int32_t width1 = lefts[1];
    for (int32_t i = 0; i < count; ++i)
        m_cellsDrawn +=
            m_columns[static_cast<size_t>(i)]->Draw(dc, lefts[static_cast<size_t>(i)], width1, height, tops);
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
