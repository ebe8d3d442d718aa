#pragma once

#include <string>

// Every module's start-up step, in the one order the program relies on: the class list, the glyph
// records with the font registration, the dictionary of strips, then the behaviours (static and
// flipper first, then cascade and sweeper, which fixes their order in the weighted choice).
// The platform installs its rasteriser and settings store before calling it. executableDirectory
// ends with a separator; the bundled font is looked for there. When a step throws, the modules
// started so far are shut down before the exception goes on.
void StartupModules(const std::string& executableDirectory);
// The shutdown steps in reverse order. Each step also copes with a module that never started.
void ShutdownModules();

// The modules, started for the guard's lifetime: they are shut down on every way out of its scope,
// an exception included, so the font never stays registered with the system.
class GlimraModulesGuard {
public:
    explicit GlimraModulesGuard(const std::string& executableDirectory) {
        StartupModules(executableDirectory);
    }
    ~GlimraModulesGuard() { ShutdownModules(); }
    GlimraModulesGuard(const GlimraModulesGuard&) = delete;
    GlimraModulesGuard& operator=(const GlimraModulesGuard&) = delete;
};
