#!/usr/bin/env bash
# The Linux saver and its idle watcher on the desktops most Linux users run, GNOME Shell and KDE
# Plasma's KWin, each headless with one output and then two, as an unprivileged user: above a
# focused window and a full-screen one, covering every output, animated, holding the keyboard, ended
# by a key or by the pointer as everywhere, and started by the watcher after idleness.
#   tests/e2e/desktops/run.sh BUILD_FOLDER [gnome] [kde]   (default: both)
# As root, for the session helpers' unprivileged user. GLIMRA_DESKTOP_SHOTS=FOLDER keeps, for the
# documentation, screenshots of each desktop with two outputs: the focused window, then the saver.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/../wayland/session.sh"
source "$here/../idle/scenario.sh"
source "$here/scenario.sh"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_FOLDER [gnome] [kde]" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
desktops=("$@")
[ ${#desktops[@]} -gt 0 ] || desktops=(gnome kde)
needs=(convert compare dbus-daemon python3)
for desktop in "${desktops[@]}"; do
    case $desktop in
        gnome) needs+=(gnome-shell) ;;
        kde) needs+=(kwin_wayland spectacle) ;;
        *) echo "desktops: no desktop '$desktop' (gnome, kde)" >&2; exit 2 ;;
    esac
done
for tool in "${needs[@]}"; do
    command -v "$tool" >/dev/null || { echo "desktops: needs $tool (tools/setup.sh installs it)" >&2; exit 1; }
done
session_begin "$build" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF \
    tests/e2e/desktops/glimra-app-window tests/e2e/desktops/glimra-kwin-input || exit 1
cp "$here/gnome-helper.py" "$work/bin/"

# Ends what a round started, newest first, so that the next round finds an empty runtime folder.
round_end() { # index of the round's first process in own_pids
    local i
    exec 7>&-
    for ((i = ${#own_pids[@]} - 1; i >= $1; i--)); do
        kill "${own_pids[i]}" 2>/dev/null
        wait_until 50 gone "${own_pids[i]}" || kill -KILL "${own_pids[i]}" 2>/dev/null
    done
    for ((i = $1; i < ${#pids[@]}; i++)); do wait "${pids[i]}" 2>/dev/null; done
    display=
    find "$work/run" -mindepth 1 -delete
}

for desktop in "${desktops[@]}"; do
    source "$here/$desktop.sh"
    for outputs in 1 2; do
        echo "--- $desktop_name, $outputs output(s)"
        first=${#own_pids[@]}
        started=$(date +%s)
        # Inhibition does not depend on the outputs: once per desktop.
        [ "$outputs" = 1 ] || unset -f inhibit
        if check "$desktop_name starts headless as $user" desktop_start "$outputs"; then
            desktop_scenario
            if [ -n "${GLIMRA_DESKTOP_SHOTS:-}" ] && [ "$outputs" = 2 ]; then
                mkdir -p "$GLIMRA_DESKTOP_SHOTS"
                cp "$work/shots/before-window.png" "$GLIMRA_DESKTOP_SHOTS/$desktop-before.png"
                cp "$work/shots/saver-over-before-window.png" "$GLIMRA_DESKTOP_SHOTS/$desktop-saver.png"
            fi
        fi
        round_end "$first"
        echo "    ($desktop_name, $outputs output(s): $(($(date +%s) - started)) s)"
    done
done

echo "desktops: $failures failed"
exit $((failures != 0))
