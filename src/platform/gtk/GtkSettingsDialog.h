#pragma once

class FileSettingsStore;
class GlimraLockFile;

// Settings mode on Linux: the GTK dialog over store, the installed settings store, on $DISPLAY.
// Returns once the dialog has closed, true; false at once, showing nothing, when GTK cannot open
// the display, so that the caller can fall back to a text-only answer. lock is the program's
// instance lock, lent to the full-screen preview.
[[nodiscard]] bool RunGtkSettingsDialog(FileSettingsStore& store, const GlimraLockFile& lock);
