#!/usr/bin/env bash
# The settings dialog of the real GlimraCode.scr, end to end: "/c" shows it, Enter (OK) saves and
# ends with 0, Escape (Cancel) and the close box end without saving. It also photographs each page
# into docs/. Run inside the Wine environment, as driver.sh is:
#   bash tools/wine-env.sh BUILD_FOLDER win64 LOADER bash tests/e2e/win32/dialog.sh BUILD_FOLDER [SHOTS_FOLDER]
set -uo pipefail
source "$(dirname "$0")/../../../tools/checks.sh"
build=$1
shots=${2:-}
scr="$build/src/platform/win32/GlimraCode.scr"
key='HKCU\Software\KLOV\Glimra'
pid=
window=

for tool in xdotool xwininfo import; do
    command -v "$tool" >/dev/null || { echo "e2e dialog: needs $tool (xdotool, x11-utils, imagemagick)" >&2; exit 1; }
done
[ -f "$scr" ] || { echo "e2e dialog: missing $scr (build first)" >&2; exit 1; }

reg() { "$GLIMRA_WINE" reg "$@" 2>/dev/null | tr -d '\r'; }
# A value as "TYPE DATA", or nothing when it is absent.
value() { reg query "$key" /v "$1" | awk -v name="$1" 'index($0, "    " name "    ") == 1 { sub("^    " name "    ", ""); print; exit }'; }
value_count() { reg query "$key" | grep -c '^    [^ ].*    REG_' ; }
forget_settings() { "$GLIMRA_WINE" reg delete "$key" /f >/dev/null 2>&1; true; }

start_dialog() {
    local deadline=$(($(date +%s) + 20))
    while [ "$(date +%s)" -lt $deadline ]; do
        "$GLIMRA_WINE" "$scr" /c >/dev/null 2>&1 &
        pid=$!
        # A copy that ends at once without a window found the previous one still holding the
        # single-instance marker for a moment after its exit: start again.
        while kill -0 "$pid" 2>/dev/null && [ "$(date +%s)" -lt $deadline ]; do
            window=$(xdotool search --onlyvisible --name '^vGlimra Screen Saver$' 2>/dev/null | head -n1)
            [ -n "$window" ] && { has_focus && return 0; }
            sleep 0.1
        done
        wait "$pid" 2>/dev/null
        sleep 0.2
    done
    return 1
}
# Waits until the dialog has the keyboard, so that a key pressed next reaches it.
has_focus() {
    local deadline=$(($(date +%s) + 5))
    while [ "$(date +%s)" -lt $deadline ]; do
        xdotool windowfocus --sync "$window" 2>/dev/null
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] && return 0
        sleep 0.1
    done
    return 1
}
# A key pressed and released as a user would, both through XTEST. (xdotool key --window presses
# through XTEST while the window has the focus but releases with XSendEvent once it has not: when
# the key closes the window, the server is left with the key held down, and its auto-repeat reaches
# whatever window comes next.)
press() { has_focus && xdotool key "$1"; }
# True when the program ends within 5 s with exit code 0.
ends_with_zero() {
    local deadline=$(($(date +%s) + 5))
    while kill -0 "$pid" 2>/dev/null && [ "$(date +%s)" -lt $deadline ]; do sleep 0.05; done
    if kill -0 "$pid" 2>/dev/null; then
        echo "     still running"
        kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
        return 1
    fi
    wait "$pid"
    local code=$?
    [ $code -eq 0 ] || echo "     exit code $code"
    [ $code -eq 0 ]
}
# The window's position on the screen and its size, as "x y width height".
geometry() { xwininfo -id "$window" | awk '/Absolute upper-left [XY]:|Width:|Height:/ {printf "%s ", $NF}'; }

case_ok_saves_limited_values() {
    forget_settings
    "$GLIMRA_WINE" reg add "$key" /v Delay /t REG_DWORD /d 6000 /f >/dev/null 2>&1
    check "/c shows the dialog" start_dialog || return
    press Return
    check "Enter presses Ok, which ends the program with 0" ends_with_zero
    check "Ok saved all 25 values" is "$(value_count)" 25
    check "Ok saved a stored Delay of 6000 as 5000" is "$(value Delay)" "REG_DWORD    0x1388"
    check "Ok saved the default font name as a string" is "$(value 'Font Name')" "REG_SZ    Japanese Generic1"
}

case_cancel_keeps_the_registry() {
    forget_settings
    "$GLIMRA_WINE" reg add "$key" /v Delay /t REG_DWORD /d 900 /f >/dev/null 2>&1
    check "/c shows the dialog again" start_dialog || return
    press Escape
    check "Escape presses Cancel, which ends the program with 0" ends_with_zero
    check "Cancel saved nothing" is "$(value_count) $(value Delay)" "1 REG_DWORD    0x384"
}

# Enter held down closes one dialog with Ok; a dialog started while it is still held must not take
# the key's repeats for a press of its own.
case_a_held_key_does_not_reach_the_next_dialog() {
    forget_settings
    check "/c shows the dialog to close with a held Enter" start_dialog || return
    has_focus && xdotool keydown Return
    check "a held Enter presses Ok, which ends the program with 0" ends_with_zero
    local still_open=no
    if start_dialog; then
        # Longer than the server's delay before a held key repeats (660 ms), at 25 repeats a second.
        sleep 1.5
        kill -0 "$pid" 2>/dev/null && still_open=yes
    fi
    xdotool keyup Return
    check "a dialog shown while Enter is still held stays open" is "$still_open" yes
    [ "$still_open" = yes ] || return
    press Escape
    check "Escape then ends it with 0" ends_with_zero
}

case_close_box_keeps_the_registry() {
    forget_settings
    check "/c shows the dialog for the close box" start_dialog || return
    local x y width
    read -r x y width _ <<<"$(geometry)"
    # Wine draws the frame of an unmanaged window itself: the close box is the caption's last button.
    xdotool mousemove $((x + width - 12)) $((y + 12)) click 1
    check "the close box ends the program with 0" ends_with_zero
    check "the close box saved nothing" is "$(value_count)" 0
}

# Each page in turn, reached with the arrow keys on the focused tabs.
case_photograph_pages() {
    [ -n "$shots" ] || return 0
    mkdir -p "$shots"
    forget_settings
    check "/c shows the dialog for the photographs" start_dialog || return
    local x y page
    read -r x y _ <<<"$(geometry)"
    xdotool mousemove $((x + 40)) $((y + 36)) click 1
    sleep 0.3
    for page in general creature sweeper static about; do
        xdotool mousemove $((x + 500)) $((y + 500))
        sleep 0.3
        import -window "$window" -strip "png:$shots/dialog-$page.png" 2>/dev/null
        check "the $page page was photographed" test -s "$shots/dialog-$page.png"
        press Right
        sleep 0.3
    done
    press Escape
    ends_with_zero >/dev/null
}

trap 'xdotool keyup Return 2>/dev/null; kill "$pid" 2>/dev/null; forget_settings' EXIT

case_ok_saves_limited_values
case_cancel_keeps_the_registry
case_a_held_key_does_not_reach_the_next_dialog
case_close_box_keeps_the_registry
case_photograph_pages

if [ $failures -ne 0 ]; then
    echo "e2e win32 dialog: $failures failed"
    exit 1
fi
echo "e2e win32 dialog: all passed"
