#pragma once

#include <string>

class GlimraRasteriser;
class GlimraSettingsStore;
class GlimraSettingOverrides;

// What a program lends the core for one run. Each service that is not nil is installed for the
// runtime's life; a nil one is left as it is. The program keeps ownership, and every service must
// outlive the runtime.
struct GlimraServices {
    GlimraRasteriser* Rasteriser = nullptr;
    GlimraSettingsStore* Store = nullptr;
    const GlimraSettingOverrides* Overrides = nullptr;
};

// The one way a program starts and ends: every main, and the benchmark, creates one with the
// services it chose, starts the modules when it is ready to draw, and lets it go out of scope. The
// modules are then shut down, once, and the services uninstalled in the reverse order of their
// installation, on every way out, an exception included, so the font never stays registered with
// the system.
class GlimraRuntime {
public:
    explicit GlimraRuntime(const GlimraServices& services);
    ~GlimraRuntime();
    GlimraRuntime(const GlimraRuntime&) = delete;
    GlimraRuntime& operator=(const GlimraRuntime&) = delete;

    // Runs every module's start-up step in the program's order; executableDirectory ends with a
    // separator, and the bundled font is looked for there. Does nothing while the modules run. When
    // a step throws, the modules started so far are shut down before the exception goes on.
    void StartModules(const std::string& executableDirectory);
    // Shuts the modules down in reverse order. Only the first call after a start does anything, so
    // that an early stop and the end of the runtime never shut them down twice.
    void StopModules();
    [[nodiscard]] bool ModulesRunning() const { return m_modulesRunning; }

private:
    GlimraServices m_services;
    bool m_modulesRunning = false;
};
