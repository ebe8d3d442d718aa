#include <gtest/gtest.h>

#include <set>

#include "engine/GlimraColumn.h"
#include "engine/GridEdge.h"
#include "engine/ProbeCreature.h"
#include "support/PixmapExpect.h"

namespace {

ProbeCreature* PlaceProbe(vGlimraBoard& board, ProbeCreature::Log& log, int32_t column, int32_t row,
                          const std::string& name) {
    vGlimraCell* cell = board.ColumnAt(column)->Colony()->CellAt(row);
    cell->Place(std::make_unique<ProbeCreature>(log, name));
    return static_cast<ProbeCreature*>(cell->Creature());
}

} // namespace

TEST(Board, WalksColumnsLeftToRightAndCellsTopToBottomWithTheCounter) {
    ProbeCreature::Log log;
    vGlimraBoard board(3, 3);
    PlaceProbe(board, log, 2, 0, "c2r0");
    PlaceProbe(board, log, 0, 2, "c0r2");
    PlaceProbe(board, log, 1, 1, "c1r1");
    ProbeCreature* top = PlaceProbe(board, log, 0, 0, "c0r0");
    log.events.clear();
    board.Tick(42);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"tick c0r0 0", "tick c0r2 2", "tick c1r1 1", "tick c2r0 0"}));
    EXPECT_EQ(top->lastCounter, 42);
}

TEST(Board, ACreatureMovedLowerIsTickedAgainInTheSameWalkButNotOneMovedHigher) {
    ProbeCreature::Log log;
    vGlimraBoard board(1, 5);
    ProbeCreature* diver = PlaceProbe(board, log, 0, 1, "diver");
    diver->onTick = [](ProbeCreature& self) {
        if (self.ticks > 1)
            return;
        vGlimraCell* target = self.Cell->NextCell()->NextCell();
        auto me = self.Cell->Detach();
        target->Place(std::move(me));
    };
    ProbeCreature* climber = PlaceProbe(board, log, 0, 4, "climber");
    climber->onTick = [](ProbeCreature& self) {
        vGlimraCell* target = self.Cell->PreviousCell()->PreviousCell()->PreviousCell();
        auto me = self.Cell->Detach();
        target->Place(std::move(me));
    };
    log.events.clear();
    board.Tick(0);
    EXPECT_EQ(diver->ticks, 2);
    EXPECT_EQ(diver->Row(), 3);
    EXPECT_EQ(climber->ticks, 1);
    EXPECT_EQ(climber->Row(), 1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"tick diver 1", "tick diver 3", "tick climber 4"}));
}

TEST(Board, DestroyingABoardFreesEveryCreatureExactlyOnce) {
    ProbeCreature::Log log;
    std::set<std::string> freed;
    {
        vGlimraBoard board(17, 23);
        for (int32_t c = 0; c < 17; ++c)
            for (int32_t r = (c % 3); r < 23; r += 2) {
                const std::string name = std::to_string(c) + "/" + std::to_string(r);
                ProbeCreature* probe = PlaceProbe(board, log, c, r, name);
                probe->onDestroy = [&freed, name] { EXPECT_TRUE(freed.insert(name).second) << name; };
            }
        // A detached-and-replaced creature and a replaced one must not be counted twice.
        vGlimraCell* cell = board.ColumnAt(4)->Colony()->CellAt(5);
        cell->Place(std::make_unique<ProbeCreature>(log, "replacement"));
    }
    EXPECT_GT(log.constructed, 150);
    EXPECT_EQ(log.destroyed, log.constructed);
}

TEST(Board, LaysOut78By45CellsOver1024By768WithAOnePixelGap) {
    ProbeCreature::Log log;
    vGlimraBoard board(78, 45);
    std::vector<ProbeCreature*> probes;
    for (int32_t c = 0; c < 78; ++c)
        for (int32_t r = 0; r < 45; ++r)
            probes.push_back(PlaceProbe(board, log, c, r, "p"));
    Pixmap surface(1024, 768);
    board.Draw(surface, 1024, 768);
    for (int32_t c = 0; c < 78; ++c)
        for (int32_t r = 0; r < 45; ++r) {
            const auto& rect = probes[static_cast<size_t>(c * 45 + r)]->drawn.at(0);
            ASSERT_EQ(rect.left, GridEdge(c, 1024, 78));
            ASSERT_EQ(rect.top, GridEdge(r, 768, 45));
            ASSERT_EQ(rect.width, 13);
            ASSERT_EQ(rect.height, 17);
        }
    const auto& seventh = probes[7 * 45]->drawn.at(0);
    EXPECT_EQ(seventh.left, 91);
    EXPECT_EQ(seventh.left + seventh.width - 1, 103);
    EXPECT_EQ(probes[8 * 45]->drawn.at(0).left, 105);
    EXPECT_EQ(probes[15]->drawn.at(0).top, 256) << "15 x (768 / 45) is 256 in double arithmetic";
    EXPECT_TRUE(RectIs(surface, 104, 0, 1, 768, 0)) << "x = 104 belongs to no column";
    EXPECT_TRUE(RectIs(surface, 91, 0, 13, 17, 0xFFFFFF));
    EXPECT_TRUE(RectIs(surface, 91, 255, 13, 1, 0)) << "rows leave gaps the same way";
}

TEST(Board, EmptyBoardsTickAndDrawNothing) {
    Pixmap surface(50, 50);
    for (auto [columns, rows] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{0, 0}, std::pair{-3, -3}}) {
        vGlimraBoard board(columns, rows);
        board.Tick(0);
        board.Draw(surface, 50, 50);
        EXPECT_EQ(board.ColumnAt(0) != nullptr, columns > 0);
        if (board.ColumnAt(0)) {
            EXPECT_EQ(board.ColumnAt(0)->Colony()->Count(), 0);
        }
    }
    EXPECT_TRUE(RectIs(surface, 0, 0, 50, 50, 0));
}

TEST(Board, SetRowsRebuildsAColumnsColonyEmpty) {
    ProbeCreature::Log log;
    vGlimraBoard board(1, 4);
    PlaceProbe(board, log, 0, 3, "gone");
    board.ColumnAt(0)->SetRows(6);
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(board.ColumnAt(0)->Colony()->Count(), 6);
    EXPECT_EQ(board.ColumnAt(0)->Colony()->CellAt(5)->Colony(), board.ColumnAt(0)->Colony());
}

TEST(BoardDrawing, ACellRepaintsOnlyWhenItsCreaturesPictureChanges) {
    ProbeCreature::Log log;
    vGlimraBoard board(2, 2);
    Pixmap surface(20, 20);
    ProbeCreature* still = PlaceProbe(board, log, 0, 0, "still");
    still->pictureKey = 3;
    ProbeCreature* restless = PlaceProbe(board, log, 1, 1, "restless");
    board.Draw(surface, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 2);
    board.Draw(surface, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 1) << "a creature without a picture of its own draws every time";
    EXPECT_EQ(still->drawn.size(), 1u);
    EXPECT_EQ(restless->drawn.size(), 2u);

    still->pictureKey = 4;
    board.Draw(surface, 20, 20);
    EXPECT_EQ(still->drawn.size(), 2u);
    // A newcomer with the same picture key is another picture all the same, and so is a creature
    // that moves into a cell.
    vGlimraCell* first = board.ColumnAt(0)->Colony()->CellAt(0);
    auto twin = std::make_unique<ProbeCreature>(log, "twin");
    twin->pictureKey = 4;
    ProbeCreature* placed = twin.get();
    first->Place(std::move(twin));
    vGlimraCell* below = board.ColumnAt(0)->Colony()->CellAt(1);
    below->Place(first->Detach());
    board.Draw(surface, 20, 20);
    ASSERT_EQ(placed->drawn.size(), 1u);
    EXPECT_EQ(placed->drawn[0].top, 10);
    board.Draw(surface, 20, 20);
    EXPECT_EQ(placed->drawn.size(), 1u);
}

TEST(BoardDrawing, OnePictureKeptInTwoPixmapsIsNotRepaintedWhenTheyTakeTurns) {
    ProbeCreature::Log log;
    vGlimraBoard board(2, 2);
    Pixmap front(20, 20);
    Pixmap back(20, 20);
    ProbeCreature* still = PlaceProbe(board, log, 0, 0, "still");
    still->pictureKey = 1;
    board.Draw(front, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 1);
    board.Draw(back, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 1) << "another pixmap is another picture";
    const int token = 0;
    front.SetIdentity(&token);
    back.SetIdentity(&token);
    board.Draw(front, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 1) << "the identity changed once";
    board.Draw(back, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 0) << "the buffers take turns";
    Pixmap copy = front;
    board.Draw(copy, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 0) << "the host keeps them one picture";
}

TEST(BoardDrawing, AnotherSurfaceOrSizeOrAForgetRepaintsEveryCreature) {
    ProbeCreature::Log log;
    vGlimraBoard board(2, 2);
    Pixmap surface(20, 20);
    Pixmap other(20, 20);
    ProbeCreature* a = PlaceProbe(board, log, 0, 0, "a");
    ProbeCreature* b = PlaceProbe(board, log, 1, 1, "b");
    a->pictureKey = b->pictureKey = 0;
    a->paint = 0x00FF00;
    board.Draw(surface, 20, 20);
    board.Draw(other, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 2);
    EXPECT_EQ(other.Pixel(0, 0), 0x00FF00u);
    board.Draw(other, 20, 20);
    EXPECT_EQ(board.CellsDrawn(), 0);
    board.Draw(other, 10, 10);
    EXPECT_EQ(board.CellsDrawn(), 2);
    board.ForgetPictures();
    board.Draw(other, 10, 10);
    EXPECT_EQ(board.CellsDrawn(), 2);
    EXPECT_EQ(a->drawn.size(), 4u);
}

// The walks skip empty cells by a set of occupied rows, kept a word of 64 rows at a time: a creature
// that crosses into the next word during a walk, or dies, must be found there or forgotten.
TEST(Board, TheWalksFollowCreaturesThatMoveAcrossWordsOfRowsOrDie) {
    ProbeCreature::Log log;
    vGlimraBoard board(2, 130);
    Pixmap surface(20, 130);
    ProbeCreature* mover = PlaceProbe(board, log, 0, 63, "mover");
    mover->onTick = [](ProbeCreature& self) {
        if (self.ticks == 1)
            self.Cell->NextCell()->Place(self.Cell->Detach());
    };
    ProbeCreature* dier = PlaceProbe(board, log, 0, 127, "dier");
    dier->onTick = [](ProbeCreature& self) { self.Kill(); };
    PlaceProbe(board, log, 1, 129, "last");
    log.events.clear();
    board.TickAndDraw(0, surface, 20, 130);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"tick mover 63", "tick mover 64", "tick dier 127", "draw mover",
                                        "draw dier", "tick last 129", "draw last"}));
    EXPECT_EQ(board.ColumnAt(0)->Colony()->Occupants(), 2);
    EXPECT_EQ(board.CellsVisited(), 4 + 3);

    // The killed creature is freed by its cell without a tick, and nothing looks at the cell again.
    log.events.clear();
    board.TickAndDraw(1, surface, 20, 130);
    EXPECT_EQ(log.events, (std::vector<std::string>{"tick mover 64", "free dier", "draw mover",
                                                    "tick last 129", "draw last"}));
    EXPECT_EQ(board.ColumnAt(0)->Colony()->Occupants(), 1);
    EXPECT_EQ(board.CellsVisited(), 3 + 2);
    board.ColumnAt(1)->Colony()->CellAt(129)->Detach();
    EXPECT_EQ(board.ColumnAt(1)->Colony()->Occupants(), 0);
}
