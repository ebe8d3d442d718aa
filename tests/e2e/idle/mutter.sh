#!/usr/bin/env bash
# The idle watcher on headless mutter (GNOME's compositor, alone): its idle monitor on a session bus
# of the test's own, keys through its remote-desktop interface and the session manager's inhibition
# from gnome-helper.py. Mutter has no layer shell: the saver is a full-screen window there, mapped
# above a full-screen window that has the focus.
#   tests/e2e/idle/mutter.sh BUILD_FOLDER
# As root, for the session helpers' unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
source "$here/scenario.sh"
command -v mutter >/dev/null || { echo "idle mutter: needs mutter (tools/setup.sh installs it)" >&2; exit 1; }
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF \
    tests/e2e/wayland/glimra-fullscreen-window || exit 1
cp "$here/gnome-helper.py" "$work/bin/"

# GIO and mutter find the bus at $XDG_RUNTIME_DIR/bus, as in a systemd user session.
spawn bus dbus-daemon --session --nofork --address="unix:path=$work/run/bus"
check "a session bus starts" wait_until 50 test -S "$work/run/bus" || exit 1
spawn mutter mutter --headless --wayland --no-x11 --virtual-monitor 1280x720
check "mutter starts headless as $user" wait_until 100 test -S "$work/run/wayland-0" || { cat "$work/mutter.log"; exit 1; }
display=wayland-0
as_user mkfifo "$work/run/helper"
exec 7<>"$work/run/helper"
spawn helper sh -c 'exec python3 "$0" <"$1"' "$work/bin/gnome-helper.py" "$work/run/helper"
check "keys and the session manager are in place" wait_until 100 grep -q ready "$work/helper.log" || exit 1

watcher_env=env
poke() { echo key >&7; sleep 0.2; }
inhibit() { echo "inhibit $1" >&7; sleep 0.2; }
# Mutter alone offers no screenshot without PipeWire: the saver must at least stay up, and the key
# that ends it later proves that it has the keyboard above the focused window.
shows_saver() { sleep 2 && alive "$(saver_of "$watcher")"; }
spawn window "$work/bin/glimra-fullscreen-window"
check "a full-screen window shows" wait_until 100 grep -q shown "$work/window.log" || exit 1
idle_scenario "$work/bin/glimracode"
check "the watcher uses mutter's idle monitor" grep -q "through the GNOME Mutter idle monitor" "$work/watcher.log"

echo "idle mutter: $failures failed"
exit $((failures != 0))
