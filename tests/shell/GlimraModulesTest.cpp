#include <gtest/gtest.h>

#include <vector>

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/GlimraCell.h"
#include "engine/GlimraRandom.h"
#include "shell/GlimraModules.h"
#include "support/FakeRasteriser.h"
#include "support/ScriptedRandomDraws.h"

// The weighted choice walks the class list in order, so the order of the start-up steps decides
// which class each draw picks; swapping two of them must fail here.
TEST(Modules, StartUpRegistersStaticFlipperCascadeSweeperWithTheirWeights) {
    ScopedFakeRasteriser fake;
    StartupModules("/nonexistent/");
    ASSERT_NE(ClassList(), nullptr);
    ASSERT_EQ(ClassList()->Count(), 4);
    const CreatureClassRef order[] = {vGlimraStatic::Class(), vGlimraFlipper::Class(), vGlimraPerson::Class(),
                                      vGlimraSweeper::Class()};
    const int32_t weights[] = {50, 0, 50, 50};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ClassList()->Item(i)->CreatureClass, order[i]) << "entry " << i;
        EXPECT_EQ(ClassList()->Item(i)->Weight, weights[i]) << "entry " << i;
    }
    EXPECT_EQ(NothingWeight, 0);

    // Draws 0, 49, 50, 99, 100, 149 and 150 of the 151 possible ones.
    ScriptedRandomDraws draws({0, 49, 50, 99, 100, 149, 150});
    std::vector<CreatureClassRef> chosen;
    for (int i = 0; i < 7; ++i) {
        const vGlimraClass* entry = ChooseCreatureClass();
        chosen.push_back(entry != nullptr ? entry->CreatureClass : nullptr);
    }
    EXPECT_EQ(draws.Misfits(), 0u);
    EXPECT_EQ(chosen,
              (std::vector<CreatureClassRef>{vGlimraStatic::Class(), vGlimraStatic::Class(),
                                             vGlimraPerson::Class(), vGlimraPerson::Class(),
                                             vGlimraSweeper::Class(), vGlimraSweeper::Class(), nullptr}));
    ShutdownModules();
    EXPECT_EQ(ClassList(), nullptr);
}
