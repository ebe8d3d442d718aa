#!/usr/bin/env bash
# The layer check must fail on each kind of include it exists to stop, in every room, and on two
# files that include each other: a copy of src/ gets one planted include per case, and the check
# has to name it.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
plant() { # file under src/, line to add, what the check must say
    rm -rf "$scratch/src" && cp -r "$top/src" "$scratch/src"
    echo "$2" >>"$scratch/src/$1"
    local said
    if said=$("$top/tools/check-layers.sh" "$scratch/src"); then
        echo "check-layers-test: planting '$2' in $1 passed the check"
        failures=$((failures + 1))
    elif ! grep -qF -- "$3" <<<"$said"; then
        echo "check-layers-test: planting '$2' in $1 failed without '$3':"$'\n'"$said"
        failures=$((failures + 1))
    fi
}
plant platform/wayland/WaylandSaver.cpp '#include "platform/x11/X11Headers.h"' "platform/wayland may not include platform/x11"
plant platform/x11/X11Messages.cpp '#include "platform/wayland/WaylandSaver.h"' "platform/x11 may not include platform/wayland"
plant platform/x11/X11Messages.cpp '#include "platform/gtk/GtkSettingsDialog.h"' "platform/x11 may not include platform/gtk"
plant platform/linux/StopSignals.cpp '#include <gtk/gtk.h>' "platform/linux must not load"
plant platform/wayland/WaylandSaver.cpp '#include <glib-unix.h>' "platform/wayland must not load"
plant platform/gtk/GtkSettingsDialog.cpp '#include "platform/wayland/WaylandSaver.h"' "platform/gtk may not include platform/wayland"
plant platform/gtk/GtkSettingsDialog.cpp '#include "platform/programs/LinuxProgram.h"' "platform/gtk may not include platform/programs"
plant platform/linux/StopSignals.cpp '#include "platform/idle/IdleMode.h"' "platform/linux may not include platform/idle"
plant platform/linux/StopSignals.cpp '#include <glib.h>' "platform/linux must not load"
plant platform/idle/IdleWatcher.cpp '#include "platform/gtk/GtkSettingsDialog.h"' "platform/idle may not include platform/gtk"
plant platform/idle/IdleWatcher.cpp '#include "platform/x11/X11Headers.h"' "platform/idle may not include platform/x11"
plant platform/idle/IdleWatcher.cpp '#include <gtk/gtk.h>' "platform/idle must not load"
plant platform/x11/X11Messages.cpp '#include "platform/programs/LinuxProgram.h"' "platform/x11 may not include platform/programs"
plant platform/wayland/WaylandSaver.cpp '#include "platform/idle/IdleMode.h"' "platform/wayland may not include platform/idle"
plant platform/programs/GlimraCodeMain.cpp '#include <gtk/gtk.h>' "platform/programs must not load"
plant platform/wayland/WaylandOutputScreen.cpp '#include "platform/wayland/WaylandSaver.h"' "platform/wayland/WaylandOutputScreen and platform/wayland/WaylandSaver include each other"
plant settings/GlimraSettings.cpp '#include "settings/GlimraSettingOptions.h"' "settings/GlimraSettingOptions and settings/GlimraSettings include each other"
plant platform/win32/WinMain.cpp '#include "platform/posix/AtomicFile.h"' "platform/win32 may not include platform/posix"
plant platform/web/WebMain.cpp '#include "platform/x11/X11Headers.h"' "platform/web may not include platform/x11"
plant platform/web/WebRasteriser.cpp '#include "platform/linux/StopSignals.h"' "platform/web may not include platform/linux"
plant behaviours/GlimraPerson.cpp '#include "animation/Glimra.h"' "behaviours may not include animation"
plant engine/GlimraCell.cpp '#include <X11/Xlib.h>' "operating system's headers outside platform/"
[ "$failures" -eq 0 ] || exit 1
echo "check-layers-test: every planted include fails the check"
