#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "engine/GlimraCell.h"
#include "settings/GlimraSettingOptions.h"
#include "shell/GlimraRuntime.h"
#include "support/FakeRasteriser.h"
#include "support/MemorySettingsStore.h"

// A program may stop the modules early and then leave the runtime's scope, or start them twice:
// the font is registered once per start and given back once, never twice, and to the rasteriser
// that registered it, before the runtime uninstalls it.
TEST(Runtime, TheModulesStartOnceAndShutDownOnceWhateverTheProgramCalls) {
    struct Row {
        const char* Calls;
        size_t Registered;
        size_t Unregistered;
    };
    const Row rows[] = {
        {"", 0, 0},
        {"start", 1, 1},
        {"start stop", 1, 1},
        {"start stop stop", 1, 1},
        {"start start", 1, 1},
        {"stop", 0, 0},
        {"start stop start", 2, 2},
    };
    for (const Row& row : rows) {
        FakeRasteriser rasteriser;
        {
            GlimraRuntime runtime({&rasteriser});
            std::istringstream calls(row.Calls);
            for (std::string call; calls >> call;) {
                if (call == "start")
                    runtime.StartModules("/nonexistent/");
                else
                    runtime.StopModules();
                EXPECT_EQ(runtime.ModulesRunning(), call == "start") << row.Calls;
            }
        }
        EXPECT_EQ(ClassList(), nullptr) << row.Calls;
        EXPECT_EQ(rasteriser.registered.size(), row.Registered) << row.Calls;
        EXPECT_EQ(rasteriser.unregistered.size(), row.Unregistered) << row.Calls;
    }
}

TEST(Runtime, InstallsWhatItIsGivenForItsLifeAndLeavesTheRestAlone) {
    ScopedFakeRasteriser installedBefore;
    MemorySettingsStore store;
    GlimraSettingOverrides overrides;
    {
        GlimraRuntime runtime({nullptr, &store, &overrides});
        EXPECT_EQ(InstalledRasteriser(), &installedBefore.rasteriser);
        EXPECT_EQ(InstalledSettingsStore(), &store);
        EXPECT_EQ(InstalledSettingOverrides(), &overrides);
        runtime.StartModules("/nonexistent/");
    }
    EXPECT_EQ(InstalledRasteriser(), &installedBefore.rasteriser) << "not the runtime's to remove";
    EXPECT_EQ(InstalledSettingsStore(), nullptr);
    EXPECT_EQ(InstalledSettingOverrides(), nullptr);
    // Modules still running at the end of the runtime's scope are shut down there.
    EXPECT_EQ(installedBefore.rasteriser.unregistered, installedBefore.rasteriser.registered);
}
