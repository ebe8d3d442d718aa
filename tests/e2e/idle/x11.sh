#!/usr/bin/env bash
# The idle watcher on X11: a private Xvfb (it has the screen saver extension), input from xdotool.
#   tests/e2e/idle/x11.sh BUILD_FOLDER
# As root, for the session helpers' unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
source "$here/scenario.sh"
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF || exit 1

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

# A login, simulated: the autostart entry's command gives a watcher with the stored minutes.
entry="$work/home/.config/autostart/glimracode.desktop"
as_user "$work/bin/glimracode" --autostart on 7
check "--autostart on writes the entry" grep -qx "Exec=\"$work/bin/glimracode\" --idle 7" "$entry"
check "and stores the minutes" grep -q '"Linux Idle Minutes"=dword:00000007' "$work/home/.config/glimracode/settings.reg"
spawn login env DISPLAY=":$number" sh -c "exec $(sed -n "s/^Exec=//p" "$entry")"
check "its command runs a watcher for 7 minutes" wait_until 50 grep -q "starts after 420 s" "$work/login.log"
kill "$spawned_own"
as_user "$work/bin/glimracode" --autostart off
check "--autostart off removes it" test ! -e "$entry"

echo "idle x11: $failures failed"
exit $((failures != 0))
