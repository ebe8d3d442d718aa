#!/usr/bin/env bash
# The idle watcher and the autostart entry where the world does not play along, with no desktop: a
# settings lock that another program holds, a session bus and a Wayland socket that accept and never
# answer, a broken install whose two programs are one file, and no /proc. Each command must end
# within 10 s and say why.
#   tests/e2e/idle/hostile.sh BUILD_FOLDER
# As root, for the session helpers' unprivileged user and a mount namespace without /proc.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF || exit 1

bin=$work/bin
config=$work/home/.config
entry=$config/autostart/glimracode.desktop
# run NAME COMMAND...: COMMAND as the user, killed after 10 s; $status, and its words in NAME.log.
run() { local name=$1; shift; status=0; as_user timeout -s KILL 10 "$@" >"$work/$name.log" 2>&1 || status=$?; }
says() { grep -q "$2" "$work/$1.log" || { echo "     $1 said: $(head -c 300 "$work/$1.log")"; return 1; }; }
# A peer that takes every connection and never says a word.
silent() { # socket path
    spawn "silent-$(basename "$1")" python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); kept = []
while True: kept.append(s.accept()[0])' "$1" || return 1
    wait_until 50 test -S "$1"
}

as_user mkdir -p "$config/glimracode"
spawn holder flock "$config/glimracode/settings.reg.lock" sleep 60
wait_until 50 test -e "$config/glimracode/settings.reg.lock"
run held "$bin/glimracode" --autostart on 5
check "a held settings lock ends --autostart on 5 with 1" is "$status" 1
check "in the dialog's words" says held "in use by another program"
check "leaving no entry and no minutes" eval '[ ! -e "$entry" ] && ! grep -qs "Idle Minutes" "$config/glimracode/settings.reg"'
kill "$spawned_own"

silent "$work/run/silent-bus" && silent "$work/run/wayland-silent" || exit 1
run bus env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/silent-bus" "$bin/glimracode" --idle 5
check "a silent session bus: the watcher ends with 1" is "$status" 1
check "telling that the bus did not answer" says bus "session bus did not answer"
run wayland env WAYLAND_DISPLAY=wayland-silent "$bin/glimracode" --idle 5
check "a silent Wayland socket: the watcher ends with 1" is "$status" 1
check "telling that the compositor did not answer" says wayland "compositor did not answer"
# A WAYLAND_SOCKET that names a FIFO: what the watcher sends comes back as nonsense, or nothing does.
as_user mkfifo "$work/run/fifo"
run socket sh -c 'exec 3<>"$0"; exec env WAYLAND_DISPLAY=wayland-0 WAYLAND_SOCKET=3 "$@"' "$work/run/fifo" \
    "$bin/glimracode" --idle 5
check "a bogus WAYLAND_SOCKET: the watcher ends with 1" is "$status" 1

spawn waiting env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/silent-bus" "$bin/glimracode-gtk" --idle 5
sleep 1
kill -TERM "$spawned_own"
check "SIGTERM ends a watcher that waits for the bus" wait_until 10 gone "$spawned_own"

# A watcher on an X display: a second one tells of it, and the X server's end ends it cleanly.
number=$((90 + RANDOM % 400))
spawn xvfb Xvfb ":$number" -screen 0 320x240x24 -nolisten tcp || exit 1
xvfb=$spawned_own
x_ready() { as_user env DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; }
wait_until 100 x_ready || exit 1
spawn watcher env DISPLAY=":$number" "$bin/glimracode" --idle 5
watcher=$spawned_own
wait_until 50 grep -q "watching" "$work/watcher.log"
run same env DISPLAY=":$number" "$bin/glimracode" --idle=5
check "a second watcher with the same minutes ends with 0" is "$status" 0
check "saying that one runs" says same "already runs in this session (process $watcher)"
run other env DISPLAY=":$number" "$bin/glimracode" --idle-seconds 90
check "with other minutes, with 1" is "$status" 1
check "telling how to change them" says other "kill $watcher"
kill -KILL "$xvfb"
check "the X server's end ends the watcher" wait_until 50 gone "$watcher"
check "saying why" says watcher "the X display closed the connection"
check "without a GLib critical" eval '! grep -q CRITICAL "$work/watcher.log"'

# A broken install: the second program's name links to the first.
loop=$work/loop
mkdir "$loop" && cp "$bin/glimracode" "$bin/GlimraCode.TTF" "$loop/" && ln -s glimracode "$loop/glimracode-gtk"
chmod -R a+rX "$loop"
run loop-c env DISPLAY=:4093 "$loop/glimracode" /c
check "a sibling that is the program itself: /c ends with 1" is "$status" 1
check "naming the broken install" says loop-c "is this program itself"
run loop-idle "$loop/glimracode" --idle 5
check "and --idle ends with 1 too" is "$status" 1

# No /proc: the program cannot find its own file, and runs nothing from the current folder.
noproc() { # name, command...
    local name=$1; shift
    status=0
    (cd "$loop" && unshare --mount --propagation private sh -c 'mount -t tmpfs none /proc && exec "$@"' sh \
        env -i HOME="$work/root" DISPLAY=:4093 timeout -s KILL 10 "$@") >"$work/$name.log" 2>&1 || status=$?
}
if unshare --mount true 2>/dev/null; then
    noproc noproc-c "$bin/glimracode" /c
    check "without /proc, /c ends with 1" is "$status" 1
    check "saying that it cannot find itself" says noproc-c "cannot find this program's own file"
    noproc noproc-on "$bin/glimracode-gtk" --autostart on 3
    check "and --autostart on 3 ends with 1" is "$status" 1
    check "writing no entry" test ! -e "$work/root/.config/autostart/glimracode.desktop"
else
    echo "skip no /proc: this sandbox makes no mount namespace"
fi

echo "idle hostile: $failures failed"
exit $((failures != 0))
