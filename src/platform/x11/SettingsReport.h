#pragma once

#include <string>

#include "settings/GlimraSettings.h"

// What the settings mode shows on Linux until it has a dialog: where the settings file is and the
// 25 values the saver will use, in the order of the settings table. Numbers are decimal, flags 0
// or 1, colours hexadecimal 0x00BBGGRR as the file stores them.
std::string SettingsReport(const std::string& path, bool fileExists, const vGlimraSettings& settings);
