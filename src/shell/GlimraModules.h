#pragma once

#include <string>

// Every module's start-up step, in the one order the program relies on: the class list, the glyph
// records with the font registration, the dictionary of strips, then the behaviours (static and
// flipper first, then cascade and sweeper, which fixes their order in the weighted choice).
// The platform installs its rasteriser and settings store before calling it. executableDirectory
// ends with a separator; the bundled font is looked for there.
void StartupModules(const std::string& executableDirectory);
// The shutdown steps in reverse order.
void ShutdownModules();
