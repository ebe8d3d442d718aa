#!/usr/bin/env bash
# The idle watcher on the headless sway of the Wayland stage (sway 1.7 offers KDE's idle protocol),
# input from wtype, screenshots from grim, the inhibitor of sway's own inhibit_idle command.
#   tests/e2e/idle/sway.sh BUILD_FOLDER
# As root, for the session helpers' unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
source "$here/scenario.sh"
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF \
    tests/e2e/wayland/glimra-fullscreen-window || exit 1

check "sway starts headless as $user" start_sway 640x480 || exit 1
watcher_env=env
poke() { as_user wtype -k Shift_L; }
shot() { as_user grim "$1"; }
inhibit() { as_user swaymsg "[title=glimra-fullscreen-window] inhibit_idle $([ "$1" = on ] && echo open || echo none)" >/dev/null; }
# A keyboard that exists before the saver maps, as a real seat has (see the Wayland stage).
spawn keyboard wtype -s 3600000
seat_ready() { as_user swaymsg -t get_seats | grep -q '"capabilities": [23]'; }
check "the seat gets a keyboard" wait_until 50 seat_ready || exit 1
spawn window "$work/bin/glimra-fullscreen-window"
check "a red full-screen window shows" wait_until 100 grep -q shown "$work/window.log" || exit 1
shows_saver() { covers_and_animates; }
idle_scenario "$work/bin/glimracode"
check "the watcher uses KDE's idle protocol" grep -q "through the Wayland org_kde_kwin_idle" "$work/watcher.log"

echo "idle sway: $failures failed"
exit $((failures != 0))
