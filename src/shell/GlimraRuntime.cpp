#include "shell/GlimraRuntime.h"

#include "glyphs/GlimraRasteriser.h"
#include "settings/GlimraSettingOptions.h"
#include "settings/GlimraSettingsStore.h"
#include "shell/GlimraModules.h"

GlimraRuntime::GlimraRuntime(const GlimraServices& services) : m_services(services) {
    if (m_services.Rasteriser != nullptr)
        InstallRasteriser(m_services.Rasteriser);
    if (m_services.Store != nullptr)
        InstallSettingsStore(m_services.Store);
    if (m_services.Overrides != nullptr)
        InstallSettingOverrides(m_services.Overrides);
}

GlimraRuntime::~GlimraRuntime() {
    StopModules();
    if (m_services.Overrides != nullptr)
        InstallSettingOverrides(nullptr);
    if (m_services.Store != nullptr)
        InstallSettingsStore(nullptr);
    if (m_services.Rasteriser != nullptr)
        InstallRasteriser(nullptr);
}

void GlimraRuntime::StartModules(const std::string& executableDirectory) {
    if (m_modulesRunning)
        return;
    StartupModules(executableDirectory);
    m_modulesRunning = true;
}

void GlimraRuntime::StopModules() {
    if (!m_modulesRunning)
        return;
    m_modulesRunning = false;
    ShutdownModules();
}
