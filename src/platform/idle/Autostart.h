#pragma once

#include <optional>
#include <string>

#include "settings/GlimraSettingsStore.h"

// The idle watcher's entry among the session's autostart programs (the XDG autostart folder, which
// every desktop reads at login), and the idle minutes the settings file keeps for it.

// $XDG_CONFIG_HOME/autostart/glimracode.desktop, or ~/.config/... when that variable is unset or
// not an absolute path.
[[nodiscard]] std::string AutostartEntryPath();

// The desktop entry that runs "program --idle minutes"; program is quoted as desktop entries want.
[[nodiscard]] std::string AutostartEntryText(const std::string& program, int minutes);

// Whether the session starts the watcher at login: an entry stands at AutostartEntryPath().
[[nodiscard]] bool AutostartEntryExists();

// Both answer an empty text on success, else why not.
[[nodiscard]] std::string WriteAutostartEntry(const std::string& program, int minutes);
[[nodiscard]] std::string RemoveAutostartEntry();

// The minutes stored beside the settings, under a value name that Windows never reads (Windows keeps
// its own idle time in the system); nothing when missing, not a DWORD, or outside 1..MaxIdleMinutes.
inline constexpr int MaxIdleMinutes = 24 * 60;
inline constexpr int DefaultIdleMinutes = 10;
[[nodiscard]] std::optional<int> ReadIdleMinutes(GlimraSettingsStore& store);
[[nodiscard]] bool StoreIdleMinutes(GlimraSettingsStore& store, int minutes);
