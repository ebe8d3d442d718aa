#!/usr/bin/env bash
# The idle watcher on X11: a private Xvfb (it has the screen saver extension), input from xdotool.
#   tests/e2e/idle/x11.sh BUILD_FOLDER
# As root, for the session helpers' unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
source "$here/scenario.sh"
session_begin "$(cd "$1" && pwd)" src/platform/x11/glimracode src/platform/x11/GlimraCode.TTF || exit 1

number=$((90 + RANDOM % 400))
spawn xvfb Xvfb ":$number" -screen 0 640x480x24 -nolisten tcp || exit 1
watcher_env="env DISPLAY=:$number"
x() { as_user env DISPLAY=":$number" "$@"; }
x_ready() { x xdpyinfo >/dev/null 2>&1; }
check "Xvfb starts" wait_until 100 x_ready || { cat "$work/xvfb.log"; exit 1; }
x xsetroot -solid red
poke() { x xdotool key shift; }
shot() { x import -window root "$1"; }
# What video players do on X11: they reset the server's idle time every few seconds.
inhibit() {
    if [ "$1" = on ]; then
        spawn heartbeat sh -c "while DISPLAY=:$number xset s reset; do sleep 1; done"
        heartbeat=$spawned_own
    else
        kill "$heartbeat"
    fi
}
shows_saver() { covers_and_animates; }
idle_scenario "$work/bin/glimracode"
check "the watcher uses the screen saver extension" grep -q "through the X11 screen saver" "$work/watcher.log"

echo "idle x11: $failures failed"
exit $((failures != 0))
