#pragma once

#include <string>

// The per-user folders every program of ours writes under, found one way so that the settings file
// and the autostart entry always land in the same home. $HOME when it names an absolute path, else
// the home folder of the user database: a session started without HOME (a cron job, sudo -i with
// a stripped environment) must not aim at "/.config" and, as root, write under the root folder.

// Empty when neither says.
[[nodiscard]] std::string HomeFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else HomeFolder()/.config; empty when neither can
// be had.
[[nodiscard]] std::string ConfigFolder();
