#!/usr/bin/env bash
# The watcher and the autostart entry where the world does not play along; each command ends within
# 10 s, saying why.   tests/e2e/idle/hostile.sh BUILD_FOLDER   (as root, for the session helpers' user)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF || exit 1
bin=$work/bin config=$work/home/.config

# run NAME COMMAND...: COMMAND as the user, killed after 10 s; ends NAME CODE WORDS then checks it.
run() { local name=$1; shift; status=0; as_user timeout -s KILL 10 "$@" >"$work/$name.log" 2>&1 || status=$?; }
says() { grep -q "$2" "$work/$1.log" || { echo "     $1 said: $(head -c 300 "$work/$1.log")"; return 1; }; }
ends() { is "$status" "$2" && says "$1" "$3"; }
silent() { # a socket that takes every connection and never says a word
    spawn "silent-$(basename "$1")" python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); kept = []
while True: kept.append(s.accept()[0])' "$1" && wait_until 50 test -S "$1"
}

as_user mkdir -p "$config/glimracode"
spawn holder sh -c 'exec 9>>"$0" && flock 9 && exec sleep 60' "$config/glimracode/settings.reg.lock"
wait_until 50 test -e "$config/glimracode/settings.reg.lock"
run held "$bin/glimracode" --autostart on 5
check "a held settings lock: --autostart on 5 ends with 1, in the dialog's words" ends held 1 "in use by another"
check "leaving no entry and no minutes" eval '[ ! -e "$config/autostart/glimracode.desktop" ] &&
    ! grep -qs "Idle Minutes" "$config/glimracode/settings.reg"'
kill "$spawned_own"
run unwritable env XDG_CONFIG_HOME=/glimra-absent "$bin/glimracode" --autostart on 5
check "a folder it may not make: --autostart ends with 1, telling the first cause" ends unwritable 1 "Permission denied"

silent "$work/run/silent-bus" && silent "$work/run/wayland-silent" || exit 1
run bus env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/silent-bus" "$bin/glimracode" --idle 5
check "a silent session bus: the watcher ends with 1, saying so" ends bus 1 "session bus did not answer"
run wayland env WAYLAND_DISPLAY=wayland-silent "$bin/glimracode" --idle 5
check "a silent Wayland socket: the same" ends wayland 1 "compositor did not answer"
# WAYLAND_SOCKET: a descriptor connected to the silent socket.
given_socket=(python3 -c 'import socket, os, sys
s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); os.set_inheritable(s.fileno(), True)
os.environ["WAYLAND_SOCKET"] = str(s.fileno()); os.execv(sys.argv[2], sys.argv[2:])' "$work/run/wayland-silent")
run socket env WAYLAND_DISPLAY=w "${given_socket[@]}" "$bin/glimracode" --idle 5
check "a silent WAYLAND_SOCKET: the same" ends socket 1 "compositor did not answer"
ends_on_sigterm() { spawn "$@" && sleep 1 && kill -TERM "$spawned_own" && wait_until 10 gone "$spawned_own"; }
check "SIGTERM ends a watcher that waits for the compositor" ends_on_sigterm waiting \
    env WAYLAND_DISPLAY=w "${given_socket[@]}" "$bin/glimracode-gtk" --idle 5

number=$((90 + RANDOM % 400))
spawn xvfb Xvfb ":$number" -screen 0 320x240x24 -nolisten tcp || exit 1
xvfb=$spawned_own
x_ready() { as_user env DISPLAY=":$number" xdpyinfo >/dev/null 2>&1; }
wait_until 100 x_ready || exit 1
spawn watcher env DISPLAY=":$number" "$bin/glimracode" --idle 5
watcher=$spawned_own
wait_until 50 grep -q "watching" "$work/watcher.log"
run same env DISPLAY=":$number" "$bin/glimracode" --idle=5
check "a second watcher ends with 0, naming the first" ends same 0 "already runs in this session (process $watcher)"
run other env DISPLAY=":$number" "$bin/glimracode" --idle-seconds 90
check "with other minutes, with 1 and how to change them" ends other 1 "kill $watcher"
kill -KILL "$xvfb"
check "the X server's end ends the watcher" wait_until 50 gone "$watcher"
check "saying why, with no GLib critical" eval 'says watcher "X display closed" && ! grep -q CRITICAL "$work/watcher.log"'

loop=$work/loop # a broken install: the second program's name links to the first
mkdir "$loop" && cp "$bin/glimracode" "$bin/GlimraCode.TTF" "$loop/" && ln -s glimracode "$loop/glimracode-gtk"
chmod -R a+rX "$loop"
run loop-c env DISPLAY=:4093 "$loop/glimracode" /c
check "a sibling that is the program itself: /c ends with 1, saying so" ends loop-c 1 "is this program itself"

noproc() { # name, command...: without /proc, in the folder of the broken install
    local name=$1; shift
    status=0
    (cd "$loop" && unshare --mount --propagation private sh -c 'mount -t tmpfs none /proc && exec "$@"' sh \
        env -i HOME="$work/root" DISPLAY=:4093 timeout -s KILL 10 "$@") >"$work/$name.log" 2>&1 || status=$?
}
if unshare --mount true 2>/dev/null; then
    noproc noproc-c "$bin/glimracode" /c
    check "without /proc, /c ends with 1, unable to find itself" ends noproc-c 1 "cannot find this program's own"
    noproc noproc-on "$bin/glimracode-gtk" --autostart on 3
    check "and --autostart on 3 too, writing no entry" eval 'ends noproc-on 1 "cannot find this program" &&
        [ ! -e "$work/root/.config/autostart/glimracode.desktop" ]'
else
    echo "skip no /proc: this sandbox makes no mount namespace"
fi

echo "idle hostile: $failures failed"
exit $((failures != 0))
