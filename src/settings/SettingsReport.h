#pragma once

#include <string>
#include <string_view>

#include "settings/GlimraSettings.h"

// The settings as text: where they are kept and the 25 values a saver will use, in the order of
// the settings table. The Linux settings mode shows it where there is no display to show the
// dialog on; tests compare what the two platforms read with it. Numbers are decimal, flags 0
// or 1, colours hexadecimal 0x00BBGGRR as the file stores them.
std::string SettingsReport(const std::string& path, bool fileExists, const vGlimraSettings& settings);

// A file that exists but was not read: the values are the defaults, and the report says why
// (refusal follows "it": "is not a regular file").
std::string RefusedSettingsReport(const std::string& path, std::string_view refusal,
                                  const vGlimraSettings& settings);
