#include <gtest/gtest.h>

#include "engine/GlimraColumn.h"
#include "engine/ProbeCreature.h"

namespace {

std::unique_ptr<ProbeCreature> Probe(ProbeCreature::Log& log, const std::string& name,
                                     int32_t states = 1000) {
    return std::make_unique<ProbeCreature>(log, name, states);
}

} // namespace

TEST(CreatureProtocol, DefaultTickWalksTheStatesOnceAndStaysFinished) {
    ProbeCreature::Log log;
    ProbeCreature creature(log, "a", 3);
    std::vector<bool> finished;
    for (int i = 0; i < 5; ++i) {
        finished.push_back(creature.IsFinished());
        creature.vGlimraCreature::Tick(0);
    }
    EXPECT_EQ(creature.State, 3);
    EXPECT_EQ(finished, (std::vector<bool>{false, false, false, true, true}));

    ProbeCreature none(log, "b", 0);
    EXPECT_TRUE(none.IsFinished()) << "a creature with no states is finished from birth";
    none.Kill();
    EXPECT_EQ(none.State, -1);
    EXPECT_TRUE(none.IsFinished());
}

TEST(CreatureProtocol, CyclicCreaturesWrapBothWaysAndAPlainOneStepsBackToDeath) {
    ProbeCreature::Log log;
    ProbeCreature cyclic(log, "c", 3);
    cyclic.Cyclic = true;
    cyclic.State = 2;
    cyclic.StepForward();
    EXPECT_EQ(cyclic.State, 0);
    cyclic.StepBack();
    EXPECT_EQ(cyclic.State, 2);
    for (int i = 0; i < 10; ++i)
        cyclic.vGlimraCreature::Tick(0);
    EXPECT_FALSE(cyclic.IsFinished());

    ProbeCreature plain(log, "p", 3);
    plain.StepBack();
    EXPECT_EQ(plain.State, -1);
    EXPECT_EQ(vGlimraCreature::Class()->ChooseStartCell(44), 0);
    EXPECT_EQ(vGlimraCreature::Class()->AlphabetClass(), vGlimraCreature::Class());
    EXPECT_EQ(vGlimraCreature::Class()->Create(), nullptr);
}

TEST(Cell, PlaceDestroysTheOccupantBeforeLinkingTheNewcomer) {
    ProbeCreature::Log log;
    vGlimraColony colony(3);
    vGlimraCell* cell = colony.CellAt(1);
    cell->Place(Probe(log, "old"));
    auto newcomer = Probe(log, "new");
    ProbeCreature* raw = newcomer.get();
    vGlimraCreature* heldDuringDestruction = raw;
    vGlimraCell* newcomersCellDuringDestruction = cell;
    static_cast<ProbeCreature*>(cell->Creature())->onDestroy = [&] {
        heldDuringDestruction = cell->Creature();
        newcomersCellDuringDestruction = raw->Cell;
    };
    cell->Place(std::move(newcomer));
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(heldDuringDestruction, nullptr);
    EXPECT_EQ(newcomersCellDuringDestruction, nullptr);
    EXPECT_EQ(cell->Creature(), raw);
    EXPECT_EQ(raw->Cell, cell);
}

TEST(Cell, SpawnConstructsFirstThenFreesTheOccupantThenLinks) {
    ProbeCreature::Log log;
    auto& probeClass = const_cast<ProbeClass&>(static_cast<const ProbeClass&>(*ProbeCreature::Class()));
    probeClass.log = &log;
    vGlimraColony colony(2);
    vGlimraCell* cell = colony.CellAt(0);
    cell->Place(Probe(log, "old"));
    log.events.clear();
    vGlimraCreature* born = cell->Spawn(ProbeCreature::Class());
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[0].rfind("new probe", 0), 0u);
    EXPECT_EQ(log.events[1], "free old");
    EXPECT_EQ(born, cell->Creature());
    EXPECT_EQ(born->Cell, cell);
    EXPECT_EQ(cell->Spawn(vGlimraCreature::Class()), born) << "an abstract class spawns nothing";
}

TEST(Cell, DetachUnlinksWithoutFreeingAndNeighboursEndAtTheColumnsEdges) {
    ProbeCreature::Log log;
    vGlimraColony colony(3);
    vGlimraCell* top = colony.CellAt(0);
    top->Place(Probe(log, "a"));
    std::unique_ptr<vGlimraCreature> detached = top->Detach();
    EXPECT_EQ(top->Creature(), nullptr);
    EXPECT_EQ(detached->Cell, nullptr);
    EXPECT_EQ(log.destroyed, 0);

    EXPECT_EQ(top->PreviousCell(), nullptr);
    EXPECT_EQ(top->NextCell(), colony.CellAt(1));
    EXPECT_EQ(colony.CellAt(2)->NextCell(), nullptr);
    EXPECT_EQ(colony.CellAt(2)->PreviousCell(), colony.CellAt(1));
    EXPECT_EQ(colony.CellAt(2)->IndexInColony(), 2);
    EXPECT_EQ(colony.CellAt(3), nullptr);
    EXPECT_EQ(colony.CellAt(-1), nullptr);

    vGlimraCell orphan(nullptr, 0);
    EXPECT_EQ(orphan.IndexInColony(), -1);
    EXPECT_EQ(orphan.NextCell(), nullptr);
    EXPECT_EQ(orphan.PreviousCell(), nullptr);
}

TEST(Cell, AKilledCreatureIsDrawnOnceMoreThenFreedWithoutATick) {
    ProbeCreature::Log log;
    vGlimraBoard board(1, 2);
    vGlimraCell* cell = board.ColumnAt(0)->Colony()->CellAt(0);
    cell->Place(Probe(log, "k"));
    auto* probe = static_cast<ProbeCreature*>(cell->Creature());
    probe->onTick = [](ProbeCreature& self) { self.Kill(); };
    Pixmap surface(10, 10);
    board.Tick(0);
    board.Draw(surface, 10, 10);
    EXPECT_EQ(probe->ticks, 1);
    EXPECT_EQ(probe->drawn.size(), 1u);
    log.events.clear();
    board.Tick(1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"free k"}));
    EXPECT_EQ(cell->Creature(), nullptr);
    Pixmap after = surface;
    board.Draw(surface, 10, 10);
    EXPECT_EQ(surface, after) << "an empty cell paints nothing and nothing is cleared";
    EXPECT_EQ(surface.Pixel(0, 0), 0xFFFFFFu);
}

TEST(Cell, ACreatureThatReplacesItselfDuringItsTickIsFreedAndItsSuccessorLives) {
    ProbeCreature::Log log;
    vGlimraBoard board(1, 3);
    vGlimraCell* cell = board.ColumnAt(0)->Colony()->CellAt(1);
    cell->Place(Probe(log, "self"));
    static_cast<ProbeCreature*>(cell->Creature())->onTick = [&log](ProbeCreature& self) {
        self.Cell->Place(std::make_unique<ProbeCreature>(log, "heir"));
        // self is gone here; the sanitizer build proves nothing touches it afterwards.
    };
    board.Tick(0);
    EXPECT_EQ(log.destroyed, 1);
    auto* heir = static_cast<ProbeCreature*>(cell->Creature());
    ASSERT_NE(heir, nullptr);
    EXPECT_EQ(heir->Cell, cell);
    EXPECT_EQ(heir->ticks, 0) << "a successor in the same cell waits for the next walk";
    board.Tick(1);
    EXPECT_EQ(heir->ticks, 1);
}
