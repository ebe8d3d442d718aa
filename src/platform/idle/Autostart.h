#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "settings/GlimraSettingsStore.h"

// The idle watcher's entry among the session's autostart programs (the XDG autostart folder, which
// every desktop reads at login), and the idle minutes the settings file keeps for it.
//
// The name glimracode.desktop may hold something else: a user's own entry, a link, a FIFO. Only an
// entry that GlimraCode wrote (a regular file of the user's own that carries AutostartEntryKey, or
// the exact Exec line GlimraCode writes) is ever replaced or removed; anything else is told and left.

// $XDG_CONFIG_HOME/autostart/glimracode.desktop, or under the home folder's .config; empty when
// there is no home folder to be found.
[[nodiscard]] std::string AutostartEntryPath();

// The key that marks an entry as GlimraCode's own.
inline constexpr const char* AutostartEntryKey = "X-GlimraCode-Idle-Watcher=true";

// The desktop entry that runs "program --idle minutes"; nothing, with why set, when program cannot
// stand in an entry's Exec (see DesktopExecArgument).
[[nodiscard]] std::optional<std::string> AutostartEntryText(const std::string& program, int minutes,
                                                            std::string& why);

// Whether anything stands at AutostartEntryPath(), ours or not: the dialog shows the watcher as on.
[[nodiscard]] bool AutostartEntryExists();

// What was at the entry's name before a write: its bytes, or nothing when the name was free; kept so
// that a change that fails half-way can put it back.
using AutostartPrevious = std::optional<std::string>;

// Both answer an empty text on success, else why not. program is the glimracode the entry runs, empty
// when this program's own file cannot be found (then nothing is written, and an entry written by an
// older GlimraCode without the key is not recognised). Removing a missing entry succeeds.
[[nodiscard]] std::string WriteAutostartEntry(const std::string& program, int minutes,
                                              AutostartPrevious* previous = nullptr);
[[nodiscard]] std::string RemoveAutostartEntry(const std::string& program);
// Puts back what WriteAutostartEntry found; best effort, as the step that failed is already told.
void RestoreAutostartEntry(const AutostartPrevious& previous);

// How long --autostart waits for another program's Save of the settings, as the dialog's Ok does.
inline constexpr std::chrono::milliseconds AutostartLockPatience{3000};

// The minutes stored beside the settings, under a value name that Windows never reads (Windows keeps
// its own idle time in the system); nothing when missing, not a DWORD, or outside 1..MaxIdleMinutes.
inline constexpr int MaxIdleMinutes = 24 * 60;
inline constexpr int DefaultIdleMinutes = 10;
[[nodiscard]] std::optional<int> ReadIdleMinutes(GlimraSettingsStore& store);
[[nodiscard]] bool StoreIdleMinutes(GlimraSettingsStore& store, int minutes);
