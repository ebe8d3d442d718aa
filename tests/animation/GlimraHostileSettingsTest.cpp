#include "engine/EngineWorld.h"

#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"

namespace {

class HostileSettings : public EngineWorld, public ::testing::WithParamInterface<size_t> {};

} // namespace

// Every value, in turn, at every extreme a hand-edited store can hold: 200 ticks must run without
// a crash (the sanitizer build checks memory too), and the strips stay within their budget.
TEST_P(HostileSettings, TheEngineRunsWithEveryValueAtEveryExtreme) {
    const GlimraSettingInfo& setting = GlimraSettingsTable[GetParam()];
    if (setting.IsText())
        GTEST_SKIP() << "the face name is text; the font tests cover odd names";
    const int64_t extremes[] = {INT32_MIN, -1, 0, 1, 2, int64_t{setting.DialogMax} + 1, INT32_MAX};
    for (int64_t extreme : extremes) {
        SCOPED_TRACE(std::string(setting.Name) + " = " + std::to_string(extreme));
        PutDefaults();
        Put(setting.Name, static_cast<uint32_t>(static_cast<int32_t>(extreme)));
        {
            vGlimra engine(640, 480);
            Pixmap surface(640, 480);
            const vGlimraGraphProps& props = *GlobalGraphProps();
            PrepareCreatureClasses(surface, props.GlyphWidth, props.GlyphHeight);
            for (int tick = 0; tick < 200; ++tick) {
                engine.Spawn();
                engine.Tick(0);
                engine.Draw(surface);
            }
            EXPECT_LE(Dictionary()->PixelCount(), MaxStripPixels);
        }
        // The next run prepares its strips afresh, as a new saver process would.
        Dictionary()->Clear();
        ShutdownModules();
        StartupModules("/nonexistent/");
    }
}

INSTANTIATE_TEST_SUITE_P(EachSetting, HostileSettings,
                         ::testing::Range<size_t>(0, GlimraSettingsTable.size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string name(GlimraSettingsTable[info.param].Name);
                             std::erase(name, ' ');
                             return name;
                         });
