#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "animation/Glimra.h"
#include "engine/GlimraRandom.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraModules.h"
#include "support/FakeRasteriser.h"
#include "support/MemorySettingsStore.h"

// The program's modules with the box-drawing rasteriser and an in-memory settings store that
// tests fill before they make an engine.
class EngineWorld : public ::testing::Test {
protected:
    void SetUp() override {
        PinRandomSeed(2024);
        InstallSettingsStore(&store);
        StartupModules("/nonexistent/");
        // Reading stops at the first missing value, so every test starts from a complete store.
        PutDefaults();
    }
    void TearDown() override {
        ShutdownModules();
        InstallSettingsStore(nullptr);
        UnpinRandomSeed();
    }

    void Put(std::string_view name, uint32_t value) {
        std::vector<uint8_t> bytes(4);
        std::memcpy(bytes.data(), &value, 4);
        store.PutValue(SettingsKeyPath, name, GlimraValueType::Dword, bytes);
    }
    void PutText(std::string_view name, std::string_view text) {
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        store.PutValue(SettingsKeyPath, name, GlimraValueType::String, bytes);
    }
    // Every value stored, at its default, so that one of them can be changed alone.
    void PutDefaults() {
        for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
            if (setting.IsText())
                PutText(setting.Name, setting.DefaultText);
            else
                Put(setting.Name, setting.Default);
        }
    }

    ScopedFakeRasteriser fake;
    MemorySettingsStore store;
};
