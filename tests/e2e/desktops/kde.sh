# KWin, headless, for run.sh: its session bus, fake input for keys and pointer moves (granted as
# Plasma's own tools are when permission checks are off), a red Plasma panel, and spectacle for
# screenshots. KWin's binary carries a file capability; where the user cannot be granted it, the
# kernel refuses to start it, and a copy without it runs.
desktop_name="KWin"
desktop_idle_source="Wayland ext-idle-notify-v1"

desktop_start() { # outputs
    local kwin=/usr/bin/kwin_wayland refusal
    refusal=$(as_user "$kwin" --version 2>&1)
    if [[ $refusal == *"Operation not permitted"* ]]; then
        cp "$kwin" "$work/bin/kwin_wayland"
        kwin="$work/bin/kwin_wayland"
    fi
    spawn bus dbus-daemon --session --nofork --address="unix:path=$work/run/bus"
    wait_until 50 test -S "$work/run/bus" || return 1
    spawn kwin env KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
        "$kwin" --virtual --width "$width" --height "$height" --output-count "$1" --no-lockscreen \
        --socket wayland-0
    wait_until 300 test -S "$work/run/wayland-0" || { cat "$work/kwin.log"; return 1; }
    display=wayland-0
    as_user mkfifo "$work/run/hands"
    exec 7<>"$work/run/hands"
    spawn hands sh -c 'exec "$0" --panel "$1" <"$2"' "$work/bin/glimra-kwin-input" "${width}x48" "$work/run/hands"
    wait_until 100 grep -qx ready "$work/hands.log" || { cat "$work/hands.log"; return 1; }
}

shot() { as_user env QT_QPA_PLATFORM=wayland spectacle -b -n -f -o "$1" >/dev/null 2>&1 && test -s "$1"; }
inhibit() { hands inhibit "$1"; }
panel_shows() { shot "$work/shots/probe.png" && [ "$(red_share "$work/shots/probe.png" "${width}x48+0+0")" = 1 ]; }
desktop_checks() { check "a red Plasma panel shows along the top, windows going below it" wait_until 50 panel_shows; }
