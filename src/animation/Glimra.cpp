#include "animation/Glimra.h"

#include <algorithm>

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/GlimraRandom.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Blit.h"
#include "settings/GlimraSettingOptions.h"
#include "settings/GlimraSettings.h"

namespace {

void SetWeight(CreatureClassRef creatureClass, int32_t weight) {
    if (vGlimraClass* entry = FindCreatureClass(creatureClass))
        entry->Weight = weight;
}

} // namespace

vGlimra::vGlimra(int32_t width, int32_t height) {
    Randomize();
    m_board.reset();
    m_saturation = 5;
    m_tickCount = 0;
    ApplySettings();
    UpdateGlobalGlyphSize();
    if (vGlimraGraphProps* props = GlobalGraphProps()) {
        // A face that measures nothing must not leave a zero-sized cell to divide by.
        props->GlyphWidth = std::max(props->GlyphWidth, 1);
        props->GlyphHeight = std::max(props->GlyphHeight, 1);
    }
    Resize(width, height);
}

vGlimra::~vGlimra() {
    m_board.reset();
}

void vGlimra::ApplySettings() {
    vGlimraSettings settings;
    LoadWithOverrides(settings);
    m_delay = std::max(settings.Delay, 0);
    m_saturation = settings.Saturation;
    if (vGlimraGraphProps* props = GlobalGraphProps()) {
        props->FlipHorizontal = settings.Horizontal;
        props->FlipVertical = settings.Vertical;
        // Only the magnitude is bounded, for memory: 0 asks the rasteriser for its default size and
        // a negative size for a cell height, as the font record reads lfHeight.
        props->SetFont(settings.FontName, std::clamp(settings.FontSize, -MaxFontPoints, MaxFontPoints));
        props->StartChar = settings.StartChar;
        props->EndChar = settings.EndChar;
    }
    Volatility = settings.Volatility;
    CreatureStartColor = GlimraRgb::FromColorRef(settings.CreatureStartColor);
    CreatureEndColor = GlimraRgb::FromColorRef(settings.CreatureEndColor);
    CreatureStates = settings.CreatureStates;
    SpeedRange = settings.SpeedRange;
    FlipperStartColor = GlimraRgb::FromColorRef(settings.FlipperStartColor);
    FlipperMidColor = GlimraRgb::FromColorRef(settings.FlipperMidColor);
    FlipperEndColor = GlimraRgb::FromColorRef(settings.FlipperEndColor);
    StaticStartColor = GlimraRgb::FromColorRef(settings.StaticStartColor);
    StaticMidColor = GlimraRgb::FromColorRef(settings.StaticMidColor);
    StaticEndColor = GlimraRgb::FromColorRef(settings.StaticEndColor);
    FlipperStates = settings.FlipperStates;
    StaticStates = settings.StaticStates;
    NothingWeight = settings.Nothing;
    SetWeight(vGlimraPerson::Class(), settings.Creature);
    SetWeight(vGlimraSweeper::Class(), settings.Blank);
    SetWeight(vGlimraStatic::Class(), settings.Static);
}

void vGlimra::Resize(int32_t width, int32_t height) {
    m_board.reset();
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    const vGlimraGraphProps* props = GlobalGraphProps();
    const int32_t glyphWidth = props != nullptr ? std::max(props->GlyphWidth, 1) : 1;
    const int32_t glyphHeight = props != nullptr ? std::max(props->GlyphHeight, 1) : 1;
    m_columns = m_width / glyphWidth;
    m_rows = m_height / glyphHeight;
    m_board = std::make_unique<vGlimraBoard>(m_columns, m_rows);
}

int32_t vGlimra::NextTickCount() {
    const int32_t counter = m_tickCount;
    m_tickCount = (m_tickCount + 1) % 100;
    return counter;
}

void vGlimra::Spawn() {
    // A surface smaller than one glyph has columns without cells, or no columns: nothing to place.
    if (!m_board || m_rows <= 0)
        return;
    const int32_t count = m_board->Count();
    for (int32_t i = 0; i < count; ++i) {
        if (Random(100) >= m_saturation)
            continue;
        const vGlimraClass* entry = ChooseCreatureClass();
        if (entry == nullptr)
            continue;
        vGlimraColony* colony = m_board->ColumnAt(i)->Colony();
        const int32_t index = entry->CreatureClass->ChooseStartCell(colony->Count() - 1);
        colony->PlaceNew(colony->CellAt(index), entry->CreatureClass);
    }
}

void vGlimra::Tick(int32_t counter) {
    vGlimraTicker::Tick(counter);
    const int32_t own = NextTickCount();
    if (m_board)
        m_board->Tick(own);
}

void vGlimra::Draw(Pixmap& dc, int32_t width, int32_t height) {
    if (!m_board)
        return;
    m_board->Draw(dc, width == 0 ? m_width : width, height == 0 ? m_height : height);
}

void vGlimra::Step(Pixmap& dc) {
    Spawn();
    vGlimraTicker::Tick(0);
    const int32_t own = NextTickCount();
    if (m_board)
        m_board->TickAndDraw(own, dc, m_width, m_height);
}

void vGlimra::ForgetPictures() {
    if (m_board)
        m_board->ForgetPictures();
}

std::unique_ptr<vGlimra> StartEngine(Pixmap& surface, int32_t width, int32_t height) {
    FillBlack(surface, 0, 0, width, height);
    auto engine = std::make_unique<vGlimra>(width, height);
    const vGlimraGraphProps* props = GlobalGraphProps();
    PrepareCreatureClasses(surface, props != nullptr ? props->GlyphWidth : 0,
                           props != nullptr ? props->GlyphHeight : 0);
    return engine;
}
