#include <gtest/gtest.h>

#include "engine/GlimraRandom.h"
#include "engine/ProbeCreature.h"
#include "support/ScriptedRandomDraws.h"

namespace {

// Four stand-ins registered in the program's order: static, flipper, cascade, sweeper.
class WeightedChoice : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeGlimraCell();
        for (const ProbeClass* probe : {&m_static, &m_flipper, &m_person, &m_sweeper})
            RegisterCreatureClass(probe, 50);
        FindCreatureClass(&m_flipper)->Weight = 0;
    }
    void TearDown() override { FinalizeGlimraCell(); }

    void SetWeights(int32_t staticWeight, int32_t person, int32_t sweeper, int32_t nothing) {
        FindCreatureClass(&m_static)->Weight = staticWeight;
        FindCreatureClass(&m_person)->Weight = person;
        FindCreatureClass(&m_sweeper)->Weight = sweeper;
        NothingWeight = nothing;
    }

    // The class chosen for each draw r in 0..last, or nil.
    std::vector<CreatureClassRef> ChoicesFor(int64_t last) {
        std::vector<int64_t> draws;
        for (int64_t r = 0; r <= last; ++r)
            draws.push_back(r);
        ScriptedRandomDraws script(draws);
        std::vector<CreatureClassRef> choices;
        for (int64_t r = 0; r <= last; ++r) {
            vGlimraClass* chosen = ChooseCreatureClass();
            choices.push_back(chosen ? chosen->CreatureClass : nullptr);
        }
        EXPECT_EQ(script.Misfits(), 0u) << "a draw fell outside 0..total";
        return choices;
    }

    static std::vector<CreatureClassRef> Runs(std::initializer_list<std::pair<CreatureClassRef, int>> runs) {
        std::vector<CreatureClassRef> out;
        for (auto [creatureClass, count] : runs)
            out.insert(out.end(), static_cast<size_t>(count), creatureClass);
        return out;
    }

    ProbeClass m_static{"static"}, m_flipper{"flipper"}, m_person{"person"}, m_sweeper{"sweeper"};
};

} // namespace

TEST_F(WeightedChoice, DefaultWeightsSplitOneHundredFiftyOneDraws) {
    SetWeights(50, 50, 50, 0);
    EXPECT_EQ(ChoicesFor(150), Runs({{&m_static, 50}, {&m_person, 50}, {&m_sweeper, 50}, {nullptr, 1}}));
}

TEST_F(WeightedChoice, OnlyOneBehaviourLeavesOneShareForNothing) {
    SetWeights(0, 100, 0, 0);
    EXPECT_EQ(ChoicesFor(100), Runs({{&m_person, 100}, {nullptr, 1}}));
}

TEST_F(WeightedChoice, ANegativeWeightMovesItsShareToNothing) {
    SetWeights(-10, 50, 50, 0);
    EXPECT_EQ(ChoicesFor(100), Runs({{&m_person, 40}, {&m_sweeper, 50}, {nullptr, 11}}));
}

TEST_F(WeightedChoice, AllZeroAlwaysDrawsZeroAndChoosesNothing) {
    SetWeights(0, 0, 0, 0);
    ScriptedRandomDraws script({0, 0, 0});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ChooseCreatureClass(), nullptr);
    EXPECT_EQ(script.Misfits(), 0u);
    // Unscripted, the only possible draw is 0 too.
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(ChooseCreatureClass(), nullptr);
}

TEST_F(WeightedChoice, NothingSoNegativeThatNoDrawIsPossibleChoosesNothing) {
    SetWeights(50, 50, 50, -151);
    ScriptedRandomDraws script({7});
    EXPECT_EQ(ChooseCreatureClass(), nullptr);
    EXPECT_EQ(script.Remaining(), 1u) << "no draw is made from an empty range";
    SetWeights(50, 50, 50, INT32_MIN);
    EXPECT_EQ(ChooseCreatureClass(), nullptr);
}

TEST_F(WeightedChoice, HugeWeightsDoNotOverflow) {
    SetWeights(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX);
    ScriptedRandomDraws script({int64_t{INT32_MAX} - 1, int64_t{INT32_MAX} * 2 + 5, int64_t{INT32_MAX} * 4});
    EXPECT_EQ(ChooseCreatureClass()->CreatureClass, &m_static);
    EXPECT_EQ(ChooseCreatureClass()->CreatureClass, &m_sweeper);
    EXPECT_EQ(ChooseCreatureClass(), nullptr);
    EXPECT_EQ(script.Misfits(), 0u);
}

TEST_F(WeightedChoice, FindGivesTheFirstEntryOrNilAndDuplicatesAreKept) {
    EXPECT_EQ(FindCreatureClass(&m_flipper), ClassList()->Item(1));
    ProbeClass stranger("stranger");
    EXPECT_EQ(FindCreatureClass(&stranger), nullptr);
    EXPECT_EQ(RegisterCreatureClass(&m_person, 7), 4);
    EXPECT_EQ(ClassList()->Count(), 5);
    EXPECT_EQ(FindCreatureClass(&m_person), ClassList()->Item(2));
    EXPECT_EQ(ClassList()->Item(4)->Weight, 7);
    EXPECT_EQ(ClassList()->Item(5), nullptr);
    EXPECT_EQ(ClassList()->Item(-1), nullptr);
}

TEST_F(WeightedChoice, PrepareCreatureClassesAsksEveryClassOnceInListOrder) {
    ProbeClass::prepared.clear();
    Pixmap surface(4, 4);
    PrepareCreatureClasses(surface, 13, 17);
    EXPECT_EQ(ProbeClass::prepared,
              (std::vector<std::string>{"static 13x17", "flipper 13x17", "person 13x17", "sweeper 13x17"}));
}

TEST(ClassListLifetime, OperationsBeforeStartUpFindNothing) {
    FinalizeGlimraCell();
    ProbeClass probe;
    EXPECT_EQ(ClassList(), nullptr);
    EXPECT_EQ(RegisterCreatureClass(&probe, 5), -1);
    EXPECT_EQ(FindCreatureClass(&probe), nullptr);
    EXPECT_EQ(ChooseCreatureClass(), nullptr);
}
