#!/usr/bin/env bash
# The Wayland saver under a compositor that falls behind: the densest settings, which send the most
# requests a frame, on 1280x720 outputs of a headless sway that is stopped for 5 s (kill -STOP, then
# kill -CONT) now and then. The saver must ride it out: still running and still animating after
# every stop and at the end, and end with 0 when asked.
#   tests/e2e/wayland/stall.sh BUILD_FOLDER [SECONDS [STOPS [OUTPUTS]]]   (default: 30 1 1)
# Runs as root, for session.sh's unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/session.sh"
[ $# -ge 1 ] && [ $# -le 4 ] || { echo "usage: $0 BUILD_FOLDER [SECONDS [STOPS [OUTPUTS]]]" >&2; exit 2; }
seconds=${2:-30} stops=${3:-1} outputs=${4:-1}
for tool in grim compare; do
    command -v "$tool" >/dev/null || { echo "wayland: needs $tool (tools/setup.sh installs it)" >&2; exit 1; }
done
session_begin "$(cd "$1" && pwd)" src/platform/x11/glimracode src/platform/x11/GlimraCode.TTF || exit 1

check "sway starts headless as $user" start_sway 1280x720 || exit 1
sway_pid=$spawned_own
names=(HEADLESS-1)
if [ "$outputs" = 2 ]; then
    as_user swaymsg create_output >/dev/null
    as_user swaymsg output HEADLESS-2 resolution 1280x720 position 1280 0 >/dev/null
    names+=(HEADLESS-2)
fi

animated() { # output
    local a="$work/shots/$1-a.png" b="$work/shots/$1-b.png" n
    as_user grim -o "$1" "$a" && sleep 1 && as_user grim -o "$1" "$b" || return 1
    n=$(compare -metric AE "$a" "$b" null: 2>&1 | cut -d' ' -f1)
    [ "$n" -gt 100 ] 2>/dev/null || { echo "     $n pixels changed"; return 1; }
}
alive() { kill -0 "$1" 2>/dev/null; }
all_animated() { # tag
    local output
    for output in "${names[@]}"; do check "$1: $output still animating" animated "$output"; done
}

spawn saver "$work/bin/glimracode" /s --font-size 1 --saturation 100
saver=$spawned saver_pid=$spawned_own
begun=$SECONDS
sleep 3
all_animated "at the start"
for ((stop = 1; stop <= stops; stop++)); do
    sleep 2
    kill -STOP "$sway_pid"
    sleep 5
    kill -CONT "$sway_pid"
    sleep 2
    check "stop $stop: the saver rides out 5 s of a stopped compositor" alive "$saver_pid" || break
    all_animated "stop $stop"
done
rest=$((seconds - (SECONDS - begun)))
[ "$rest" -le 0 ] || sleep "$rest"
check "after ${seconds} s the saver still runs" alive "$saver_pid"
all_animated "at the end"
kill "$saver_pid" 2>/dev/null
wait_until 50 gone "$saver_pid"
status=0
wait "$saver" || status=$?
check "it ends with 0 when asked" is "$status" 0 || sed 's/^/     /' "$work/saver.log"

echo "wayland-stall: $failures failed"
exit $((failures != 0))
