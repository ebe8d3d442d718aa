#include "behaviours/BehaviourWorld.h"

namespace {

class Cascade : public BehaviourWorld {
protected:
    // A new track in the top cell of column 0, as the engine's Spawn places it.
    vGlimraPerson* StartTrack(int32_t speed, int32_t column = 0) {
        CellAt(column, 0)->Spawn(vGlimraPerson::Class());
        auto* head = At<vGlimraPerson>(column, 0);
        head->Speed = speed;
        return head;
    }

    // Rows of column 0 that hold cascade glyphs, with their states.
    std::vector<std::pair<int32_t, int32_t>> Track(int32_t column = 0) {
        std::vector<std::pair<int32_t, int32_t>> rows;
        for (int32_t row = 0; row < board->ColumnAt(column)->Colony()->Count(); ++row)
            if (auto* person = At<vGlimraPerson>(column, row))
                rows.push_back({row, person->State});
        return rows;
    }
};

} // namespace

TEST_F(Cascade, TheHeadAdvancesOneCellPerActiveTickAndIsPaintedInStepOne) {
    Volatility = 0;
    GlobalGraphProps()->EndChar = GlobalGraphProps()->StartChar; // one character, always a glyph or a blank
    Prepare(1, 12);
    StartTrack(0);
    Step();
    EXPECT_EQ(Track(), (std::vector<std::pair<int32_t, int32_t>>{{0, 1}}));
    for (int32_t tick = 2; tick <= 5; ++tick) {
        Step();
        auto track = Track();
        ASSERT_EQ(track.back().first, tick - 1) << "head row after tick " << tick;
        EXPECT_EQ(track.back().second, 1);
        for (auto [row, state] : track)
            EXPECT_EQ(state, tick - row) << "a glyph d rows above the head is in step d + 1";
    }
}

TEST_F(Cascade, TheHeadShowsStepOneAndAFinishedGlyphKeepsItsLastColour) {
    Volatility = 0;
    GlobalGraphProps()->EndChar = GlobalGraphProps()->StartChar;
    Prepare(1, 12);
    // Draws: the first glyph's slot (0: the character, not a blank) and speed, then each
    // successor's slot and speed.
    ScriptedRandomDraws draws({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    StartTrack(0);
    for (int tick = 1; tick <= 9; ++tick)
        Step();
    // After 9 active ticks the head is in row 8; row 1 is 7 rows above it, finished (State 8).
    EXPECT_EQ(Brightest(0, 8), Pixel(0, 237, 170));
    EXPECT_EQ(At<vGlimraPerson>(0, 1)->State, 8);
    EXPECT_EQ(Brightest(0, 1), Pixel(0, 129, 2)) << "the last step painted stays on screen";
    EXPECT_EQ(Brightest(0, 2), Pixel(0, 129, 2));
    EXPECT_EQ(Brightest(0, 3), Pixel(0, 147, 30));
    EXPECT_EQ(At<vGlimraPerson>(0, 0)->State, -1) << "finished at tick 8, killed at tick 9";
    EXPECT_EQ(Brightest(0, 0), Pixel(0, 129, 2));
    Step();
    EXPECT_EQ(CellAt(0, 0)->Creature(), nullptr) << "freed by its cell at the next tick";
}

TEST_F(Cascade, AHeadInTheBottomRowPlantsNothingAndTheTrackFadesOut) {
    Volatility = 0;
    Prepare(1, 3);
    StartTrack(0);
    for (int tick = 0; tick < 30; ++tick)
        Step();
    EXPECT_TRUE(Track().empty());
    for (int32_t row = 0; row < 3; ++row)
        EXPECT_EQ(CellAt(0, row)->Creature(), nullptr);
}

TEST_F(Cascade, SpeedThreeIsActiveOnCounters99And0BackToBack) {
    Volatility = 0;
    Prepare(1, 20);
    StartTrack(3);
    std::vector<int32_t> headRows;
    for (int32_t counter : {96, 97, 98, 99, 0, 1, 2, 3}) {
        Step(counter);
        headRows.push_back(Track().back().first);
    }
    // Active at 96 (state 0 -> 1 in the top cell), 99 and 0 (two moves in a row), then 3.
    EXPECT_EQ(headRows, (std::vector<int32_t>{0, 0, 0, 1, 2, 2, 2, 3}));
}

// The speed only paces the steps: a glyph that finished on its last active tick is killed (or
// becomes a flipper) on the very next tick, active or not.
TEST_F(Cascade, AFinishedGlyphEndsOnAnInactiveTickWhateverItsSpeed) {
    CreatureStates = 2;
    for (int32_t volatility : {0, 100}) {
        Volatility = volatility;
        Prepare(1, 1);
        StartTrack(5);
        Step(0);
        EXPECT_EQ(At<vGlimraPerson>(0, 0)->State, 1);
        Step(4);
        EXPECT_EQ(At<vGlimraPerson>(0, 0)->State, 1) << "counter 4 is not a multiple of the speed";
        Step(5);
        ASSERT_EQ(At<vGlimraPerson>(0, 0)->State, 2) << "finished on an active tick";
        Step(6);
        if (volatility == 0) {
            ASSERT_NE(At<vGlimraPerson>(0, 0), nullptr);
            EXPECT_EQ(At<vGlimraPerson>(0, 0)->State, -1) << "killed on the inactive tick 6";
            Step(7);
            EXPECT_EQ(CellAt(0, 0)->Creature(), nullptr);
        } else {
            EXPECT_NE(At<vGlimraFlipper>(0, 0), nullptr) << "replaced by a flipper on the inactive tick 6";
        }
    }
}

TEST_F(Cascade, SpeedsZeroAndOneAreBothActiveOnEveryTick) {
    Volatility = 0;
    Prepare(2, 10);
    StartTrack(0, 0);
    StartTrack(1, 1);
    for (int32_t counter = 0; counter < 5; ++counter) {
        Step(counter * 7 + 1);
        EXPECT_EQ(Track(0), Track(1));
    }
    EXPECT_EQ(Track(0).back().first, 4);
}

TEST_F(Cascade, VolatilityDecidesWhetherAFinishedGlyphBecomesAFlipper) {
    for (int32_t volatility : {0, 100}) {
        Volatility = volatility;
        CreatureStates = 2;
        Prepare(1, 4);
        StartTrack(0);
        int flippers = 0;
        for (int tick = 0; tick < 8; ++tick) {
            Step();
            for (int32_t row = 0; row < 4; ++row)
                flippers += At<vGlimraFlipper>(0, row) != nullptr;
        }
        if (volatility == 0)
            EXPECT_EQ(flippers, 0);
        else
            EXPECT_GT(flippers, 0);
        if (volatility == 100) {
            for (int32_t row = 0; row < 4; ++row)
                EXPECT_NE(At<vGlimraFlipper>(0, row), nullptr) << "every finished glyph became a flipper";
        }
    }
}

TEST_F(Cascade, DegenerateStateCountsActAsTwoSteps) {
    for (int32_t states : {-7, 0, 1}) {
        CreatureStates = states;
        Volatility = 0;
        Prepare(1, 5);
        EXPECT_NE(FindAlphabet(vGlimraPerson::Class(), 1), nullptr);
        StartTrack(0);
        Step();
        Step();
        // Two steps: the head is painted in the end colour and the glyph above it is finished.
        EXPECT_EQ(Track(), (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {1, 1}}));
        Dictionary()->Clear();
    }
}

TEST_F(Cascade, GlyphsAreDrawnFromTheRangeAndItsFiveBlanks) {
    Prepare(1, 2);
    std::vector<int> seen(50, 0);
    for (int i = 0; i < 5000; ++i) {
        vGlimraPerson person;
        ASSERT_GE(person.GlyphIndex(), 0);
        ASSERT_LT(person.GlyphIndex(), 50);
        ++seen[static_cast<size_t>(person.GlyphIndex())];
        ASSERT_GE(person.Speed, 0);
        ASSERT_LT(person.Speed, 3);
    }
    for (int count : seen)
        EXPECT_GT(count, 40);
    SpeedRange = -4;
    EXPECT_EQ(vGlimraPerson().Speed, 0);
}

TEST_F(Cascade, ASuccessorPlantedOntoASweeperDestroysIt) {
    Volatility = 0;
    Prepare(1, 6);
    StartTrack(0);
    Step();
    CellAt(0, 1)->Spawn(vGlimraSweeper::Class());
    Step();
    EXPECT_EQ(At<vGlimraSweeper>(0, 1), nullptr);
    EXPECT_NE(At<vGlimraPerson>(0, 1), nullptr);
    // And a new track in the top cell destroys whatever passes through there.
    CellAt(0, 0)->Spawn(vGlimraPerson::Class());
    EXPECT_EQ(At<vGlimraPerson>(0, 0)->State, 0);
}
