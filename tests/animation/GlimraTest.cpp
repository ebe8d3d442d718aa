#include "engine/EngineWorld.h"

#include <chrono>
#include <thread>

#include "behaviours/GlimraPerson.h"
#include "behaviours/GlimraStat.h"
#include "engine/ProbeCreature.h"
#include "glyphs/GlimraGraph.h"
#include "support/PixmapExpect.h"

namespace {

class Engine : public EngineWorld {
protected:
    // Leaves only a probe class to be chosen, almost surely, in every column asked.
    void OnlyProbes() {
        Put("Creature", 0);
        Put("Blank", 0);
        Put("Static", 0);
        probeClass.log = &log;
        RegisterCreatureClass(&probeClass, 1000000);
    }

    // Declared before any engine of a test, so that it outlives the creatures that write to it.
    ProbeCreature::Log log;
    ProbeClass probeClass{"probe"};
};

} // namespace

TEST_F(Engine, TheTickCounterRunsFrom0To99AndWrapsWhateverTheCallerPasses) {
    Put("Saturation", 0);
    vGlimra engine(100, 100);
    vGlimraCell* cell = engine.Board()->ColumnAt(0)->Colony()->CellAt(0);
    cell->Place(std::make_unique<ProbeCreature>(log, "p"));
    auto* probe = static_cast<ProbeCreature*>(cell->Creature());
    std::vector<int32_t> counters;
    for (int i = 0; i < 203; ++i) {
        engine.Tick(i % 2 == 0 ? 77 : -5);
        counters.push_back(probe->lastCounter);
    }
    EXPECT_EQ(counters[0], 0);
    EXPECT_EQ(counters[99], 99);
    EXPECT_EQ(counters[100], 0);
    EXPECT_EQ(counters[202], 2);
    EXPECT_EQ(engine.TickCount(), 3);
}

TEST_F(Engine, A1024By768SurfaceWithA13By17GlyphHas78ColumnsOf45Cells) {
    fake.rasteriser.forcedMetrics = {17, 13};
    vGlimra engine(1024, 768);
    EXPECT_EQ(engine.Columns(), 78);
    EXPECT_EQ(engine.Rows(), 45);
    EXPECT_EQ(engine.Board()->Count(), 78);
    EXPECT_EQ(engine.Board()->ColumnAt(77)->Colony()->Count(), 45);
    EXPECT_EQ(engine.Width(), 1024);
    EXPECT_EQ(engine.Height(), 768);

    // Draw(dc, 0, 0) lays the board out over the engine's own size.
    vGlimraCell* cell = engine.Board()->ColumnAt(8)->Colony()->CellAt(44);
    cell->Place(std::make_unique<ProbeCreature>(log, "p"));
    Pixmap surface(1024, 768);
    engine.Draw(surface);
    const auto& rect = static_cast<ProbeCreature*>(cell->Creature())->drawn.at(0);
    EXPECT_EQ(rect.left, 105);
    EXPECT_EQ(rect.top, static_cast<int32_t>(44 * (768.0 / 45)));
    EXPECT_EQ(rect.width, 13);
    EXPECT_EQ(rect.height, 17);
}

TEST_F(Engine, SaturationZeroSpawnsNothingAndAHundredAsksEveryColumn) {
    OnlyProbes();
    Put("Saturation", 0);
    {
        vGlimra engine(80, 80);
        for (int i = 0; i < 50; ++i)
            engine.Spawn();
        EXPECT_EQ(log.constructed, 0);
    }
    Put("Saturation", 100);
    vGlimra engine(80, 80);
    ASSERT_EQ(engine.Columns(), 10);
    engine.Spawn();
    EXPECT_EQ(log.constructed, 10);
    for (int32_t column = 0; column < 10; ++column)
        EXPECT_NE(engine.Board()->ColumnAt(column)->Colony()->CellAt(0)->Creature(), nullptr);
    engine.Spawn();
    EXPECT_EQ(log.destroyed, 10) << "each new creature in the top cell destroys the old one";
}

TEST_F(Engine, NoBehaviourChosenLeavesTheColumnAsItWas) {
    Put("Saturation", 100);
    Put("Creature", 0);
    Put("Blank", 0);
    Put("Static", 0);
    Put("Nothing", 100);
    vGlimra engine(80, 80);
    for (int i = 0; i < 5; ++i)
        engine.Spawn();
    for (int32_t column = 0; column < engine.Columns(); ++column)
        for (int32_t row = 0; row < engine.Rows(); ++row)
            EXPECT_EQ(engine.Board()->ColumnAt(column)->Colony()->CellAt(row)->Creature(), nullptr);
}

TEST_F(Engine, ApplySettingsPutsEveryValueWhereItBelongs) {
    Put("Delay", 250);
    Put("Saturation", 42);
    Put("Font Size", 12);
    PutText("Font Name", "Some Face");
    Put("Horizontal", 0);
    Put("Vertical", 7);
    Put("Start Char", 65);
    Put("End Char", 90);
    Put("Volatility", 33);
    Put("Creature Start Color", 0x00030201);
    Put("Creature End Color", 0xFF060504);
    Put("Creature States", 9);
    Put("Speed Range", 4);
    Put("Flipper Start Color", 0x00090807);
    Put("Flipper Mid Color", 0x000C0B0A);
    Put("Flipper End Color", 0x000F0E0D);
    Put("Static Start Color", 0x00121110);
    Put("Static Mid Color", 0x00151413);
    Put("Static End Color", 0x00181716);
    Put("Flipper States", 7);
    Put("Static States", 13);
    Put("Nothing", 5);
    Put("Creature", 11);
    Put("Blank", 22);
    Put("Static", 44);
    vGlimra engine(640, 480);
    EXPECT_EQ(engine.Delay(), 250);
    EXPECT_EQ(engine.Saturation(), 42);
    const vGlimraGraphProps& props = *GlobalGraphProps();
    EXPECT_EQ(props.LogFont.lfHeight, -16);
    EXPECT_EQ(props.FaceName(), "Some Face");
    EXPECT_FALSE(props.FlipHorizontal);
    EXPECT_TRUE(props.FlipVertical);
    EXPECT_EQ(props.StartChar, 65);
    EXPECT_EQ(props.EndChar, 90);
    EXPECT_EQ(props.GlyphHeight, 17) << "measured from the font the settings set";
    EXPECT_EQ(Volatility, 33);
    EXPECT_EQ(CreatureStartColor, (GlimraRgb{1, 2, 3}));
    EXPECT_EQ(CreatureEndColor, (GlimraRgb{4, 5, 6}));
    EXPECT_EQ(CreatureStates, 9);
    EXPECT_EQ(SpeedRange, 4);
    EXPECT_EQ(FlipperStartColor, (GlimraRgb{7, 8, 9}));
    EXPECT_EQ(FlipperMidColor, (GlimraRgb{10, 11, 12}));
    EXPECT_EQ(FlipperEndColor, (GlimraRgb{13, 14, 15}));
    EXPECT_EQ(StaticStartColor, (GlimraRgb{16, 17, 18}));
    EXPECT_EQ(StaticMidColor, (GlimraRgb{19, 20, 21}));
    EXPECT_EQ(StaticEndColor, (GlimraRgb{22, 23, 24}));
    EXPECT_EQ(FlipperStates, 7);
    EXPECT_EQ(StaticStates, 13);
    EXPECT_EQ(NothingWeight, 5);
    EXPECT_EQ(FindCreatureClass(vGlimraPerson::Class())->Weight, 11);
    EXPECT_EQ(FindCreatureClass(vGlimraSweeper::Class())->Weight, 22);
    EXPECT_EQ(FindCreatureClass(vGlimraStatic::Class())->Weight, 44);
    EXPECT_EQ(FindCreatureClass(vGlimraFlipper::Class())->Weight, 0) << "flippers are never chosen";
}

TEST_F(Engine, HostileSizesAndDelaysAreBounded) {
    Put("Delay", static_cast<uint32_t>(-40));
    Put("Font Size", 1000000);
    {
        vGlimra engine(640, 480);
        EXPECT_EQ(engine.Delay(), 0);
        EXPECT_EQ(GlobalGraphProps()->LogFont.lfHeight, -MulDiv(MaxFontPoints, 96, 72));
    }
    // A face that measures nothing still gives a cell of at least one pixel.
    fake.rasteriser.forcedMetrics = {0, -3};
    vGlimra engine(50, 40);
    EXPECT_EQ(engine.Columns(), 50);
    EXPECT_EQ(engine.Rows(), 40);
}

TEST_F(Engine, ASurfaceSmallerThanOneGlyphSpawnsAndDrawsNothing) {
    Put("Saturation", 100);
    for (auto [width, height] :
         {std::pair{5, 500}, std::pair{500, 5}, std::pair{0, 0}, std::pair{-10, -10}}) {
        vGlimra engine(width, height);
        Pixmap surface(16, 16);
        for (int i = 0; i < 5; ++i) {
            engine.Spawn();
            engine.Tick(0);
            engine.Draw(surface);
        }
        EXPECT_TRUE(RectIs(surface, 0, 0, 16, 16, 0));
    }
}

TEST_F(Engine, TheDefaultAnimationFillsTheScreenWithGreenAndBlack) {
    store = MemorySettingsStore(); // no settings stored at all: every default
    vGlimra engine(320, 240);
    Pixmap surface(320, 240);
    PrepareCreatureClasses(surface, GlobalGraphProps()->GlyphWidth, GlobalGraphProps()->GlyphHeight);
    for (int i = 0; i < 300; ++i) {
        engine.Spawn();
        engine.Tick(0);
        engine.Draw(surface);
    }
    int green = 0, other = 0;
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const uint32_t p = surface.Pixel(x, y);
            if (p == 0)
                continue;
            ((p >> 16) == 0 && ((p >> 8) & 0xFF) > 0) ? ++green : ++other;
        }
    EXPECT_GT(green, 2000);
    EXPECT_EQ(other, 0) << "every lit pixel is a shade of the green fades";
}

TEST_F(Engine, EnginesMadeWithoutAPinnedSeedAnimateDifferently) {
    Put("Saturation", 100);
    const auto run = [] {
        // Every run starts the generator from the same state, so only the engine's own seeding from
        // the clock can tell two runs apart.
        PinRandomSeed(7);
        UnpinRandomSeed();
        vGlimra engine(160, 120);
        Pixmap surface(160, 120);
        PrepareCreatureClasses(surface, GlobalGraphProps()->GlyphWidth, GlobalGraphProps()->GlyphHeight);
        for (int i = 0; i < 20; ++i)
            engine.Step(surface);
        return surface;
    };
    const Pixmap first = run();
    // A clock that moves on in coarse steps has moved on all the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(run() == first) << "two saver runs would show the same animation";
}
