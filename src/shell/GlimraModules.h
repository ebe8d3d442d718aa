#pragma once

#include <string>

// Every module's start-up step, in the one order the program relies on: the class list, the glyph
// records with the font registration, the dictionary of strips, then the behaviours (static and
// flipper first, then cascade and sweeper, which fixes their order in the weighted choice).
// Programs reach these through GlimraRuntime, which installs the platform's rasteriser and settings
// store first and shuts the modules down once; test fixtures call them directly.
// executableDirectory ends with a separator; the bundled font is looked for there. When a step
// throws, the modules started so far are shut down before the exception goes on.
void StartupModules(const std::string& executableDirectory);
// The shutdown steps in reverse order. Each step also copes with a module that never started.
void ShutdownModules();
