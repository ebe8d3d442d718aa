# GNOME Shell, headless, for run.sh: its own session bus, and a private system bus, without which
# the shell ends at start where systemd's seat folder exists. Keys, pointer moves and screenshots
# come from gnome-helper.py; it also stands in for gnome-session's idle inhibition.
desktop_name="GNOME Shell"
desktop_idle_source="GNOME Mutter idle monitor"

desktop_start() { # outputs
    local monitors=() i
    # A first login's banner (no display manager, no lock screen) would lie above every window for
    # a while; a notification that is up when the saver starts stays above it until it times out.
    as_user mkdir -p "$work/home/.local/share/gnome-shell"
    as_user touch "$work/home/.local/share/gnome-shell/lock-warning-shown"
    for ((i = 0; i < $1; i++)); do monitors+=(--virtual-monitor "${width}x${height}"); done
    spawn bus dbus-daemon --session --nofork --address="unix:path=$work/run/bus"
    spawn system-bus dbus-daemon --session --nofork --address="unix:path=$work/run/system-bus"
    wait_until 50 test -S "$work/run/bus" -a -S "$work/run/system-bus" || return 1
    spawn shell env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/run/system-bus" \
        gnome-shell --headless --wayland --no-x11 "${monitors[@]}"
    wait_until 300 test -S "$work/run/wayland-0" || { cat "$work/shell.log"; return 1; }
    display=wayland-0
    as_user mkfifo "$work/run/hands"
    exec 7<>"$work/run/hands"
    spawn hands sh -c 'exec python3 "$0" <"$1"' "$work/bin/gnome-helper.py" "$work/run/hands"
    wait_until 300 grep -qx ready "$work/hands.log" || { cat "$work/hands.log"; return 1; }
    # The first key makes the helper's keyboard, and is lost; the second leaves the overview that
    # the shell starts in.
    key 1 && key 1
}

shot() { hands shot "$1" && test -s "$1"; }
inhibit() { hands inhibit "$1"; }
