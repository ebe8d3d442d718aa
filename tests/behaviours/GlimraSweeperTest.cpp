#include "behaviours/BehaviourWorld.h"

namespace {

class Sweeper : public BehaviourWorld {
protected:
    // Paints every cell white, then puts a sweeper in the top cell of column 0.
    void Launch() {
        for (int32_t y = 0; y < surface.Height(); ++y)
            for (int32_t x = 0; x < surface.Width(); ++x)
                surface.SetPixel(x, y, 0xFFFFFF);
        CellAt(0, 0)->Spawn(vGlimraSweeper::Class());
    }
    bool RowIsBlack(int32_t row) const {
        for (int32_t y = row * GlyphHeight; y < (row + 1) * GlyphHeight; ++y)
            for (int32_t x = 0; x < GlyphWidth; ++x)
                if (surface.Pixel(x, y) != 0)
                    return false;
        return true;
    }
    int32_t SweeperRow() {
        for (int32_t row = 0; row < board->ColumnAt(0)->Colony()->Count(); ++row)
            if (At<vGlimraSweeper>(0, row))
                return row;
        return -1;
    }
};

} // namespace

TEST_F(Sweeper, PaintsEachRowOnceThenDiesAtTheBottom) {
    const int32_t rows = 45;
    Prepare(1, rows);
    Launch();
    for (int32_t tick = 1; tick <= rows; ++tick) {
        Step(tick * 13 % 100);
        ASSERT_EQ(SweeperRow(), tick - 1);
        ASSERT_TRUE(RowIsBlack(tick - 1));
        if (tick < rows) {
            ASSERT_FALSE(RowIsBlack(tick)) << "row " << tick << " is not reached before tick " << tick + 1;
        }
    }
    Step();
    ASSERT_EQ(SweeperRow(), rows - 1);
    EXPECT_EQ(At<vGlimraSweeper>(0, rows - 1)->State, -1) << "killed at tick R + 1";
    Step();
    EXPECT_EQ(SweeperRow(), -1) << "freed at tick R + 2";
    for (int32_t row = 0; row < rows; ++row)
        EXPECT_TRUE(RowIsBlack(row));
}

TEST_F(Sweeper, AOneRowColumnIsPaintedKilledAndFreedOnThreeTicks) {
    Prepare(1, 1);
    Launch();
    Step();
    EXPECT_TRUE(RowIsBlack(0));
    EXPECT_EQ(At<vGlimraSweeper>(0, 0)->State, 1);
    Step();
    EXPECT_EQ(At<vGlimraSweeper>(0, 0)->State, -1);
    Step();
    EXPECT_EQ(SweeperRow(), -1);
}

TEST_F(Sweeper, DestroysWhateverLivesInTheCellsItEnters) {
    Prepare(1, 5);
    Launch();
    CellAt(0, 1)->Spawn(vGlimraStatic::Class());
    CellAt(0, 2)->Place(std::make_unique<vGlimraFlipper>());
    // A glyph in mid-fade, which plants nothing below it.
    CellAt(0, 3)->Spawn(vGlimraPerson::Class());
    CellAt(0, 3)->Creature()->State = 3;
    Step(); // the static and the flipper capture their pictures here
    for (int tick = 0; tick < 4; ++tick)
        Step();
    for (int32_t row = 0; row < 4; ++row) {
        EXPECT_EQ(CellAt(0, row)->Creature(), nullptr) << row;
        EXPECT_TRUE(RowIsBlack(row)) << row;
    }
}

TEST_F(Sweeper, ANewCreatureInTheTopCellOnTheNextTickDestroysIt) {
    Prepare(1, 5);
    Launch();
    Step();
    CellAt(0, 0)->Spawn(vGlimraPerson::Class());
    Step();
    EXPECT_EQ(SweeperRow(), -1);
}

TEST_F(Sweeper, WithoutItsStripItStillMovesButPaintsNothing) {
    board = std::make_unique<vGlimraBoard>(1, 3);
    surface = Pixmap(GlyphWidth, 3 * GlyphHeight);
    Launch();
    Step();
    Step();
    EXPECT_EQ(SweeperRow(), 1);
    EXPECT_FALSE(RowIsBlack(0));
    // Preparing makes a one-slot strip whatever the glyph range.
    GlobalGraphProps()->StartChar = 0;
    GlobalGraphProps()->EndChar = 254;
    PrepareCreatureClasses(surface, GlyphWidth, GlyphHeight);
    EXPECT_EQ(FindAlphabet(vGlimraSweeper::Class(), 0)->SlotCount, 1);
}
