#pragma once

#include <string>

// The folder of the running executable, with its trailing separator: where the programs keep the
// files that ship with them (the glyph font and its .FOT). Never the current directory, which
// belongs to whoever started the program. Empty when the system cannot say.
std::string ExecutableDirectory();
