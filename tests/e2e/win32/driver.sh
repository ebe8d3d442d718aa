#!/usr/bin/env bash
# The end-to-end cases of GlimraCode.scr; run.sh starts this inside the Wine environment, where
# DISPLAY, WINEPREFIX and GLIMRA_WINE (the Wine loader) are set.
#   driver.sh BUILD_FOLDER
set -uo pipefail
source "$(dirname "$0")/../../../tools/checks.sh"
build=$1
scr="$build/src/platform/win32/GlimraCode.scr"
cpl="$build/tests/platform/win32/PASSWORD.CPL"
work=$(mktemp -d)
saver_pid=
saver_window=

for tool in xdotool xwininfo import; do
    command -v "$tool" >/dev/null || { echo "e2e: needs $tool (xdotool, x11-utils, imagemagick)" >&2; exit 1; }
done
for file in "$scr" "$cpl"; do
    [ -f "$file" ] || { echo "e2e: missing $file (build first)" >&2; exit 1; }
done

now() { date +%s%N; }
milliseconds_since() { echo $((($(now) - $1) / 1000000)); }

saver_windows() { xdotool search --name '^glimrascreen$' 2>/dev/null || true; }
visible_saver_window() {
    local window
    for window in $(saver_windows); do
        xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$window"; return 0; }
    done
    return 1
}
no_saver_window() { [ -z "$(saver_windows | while read -r w; do xwininfo -id "$w" 2>/dev/null | grep -q IsViewable && echo "$w"; done)" ]; }

start_saver() { # arguments for the saver
    "$GLIMRA_WINE" "$scr" "$@" >/dev/null 2>&1 &
    saver_pid=$!
}
# Waits for the saver's window to be shown; false after 20 s.
wait_for_window() {
    local deadline=$(($(date +%s) + 20))
    while [ "$(date +%s)" -lt $deadline ]; do
        saver_window=$(visible_saver_window) && return 0
        kill -0 "$saver_pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
running() { kill -0 "$saver_pid" 2>/dev/null; }
# True when the saver ends within the given milliseconds with exit code 0.
ends_within() {
    local limit=$1 started
    started=$(now)
    while running && [ "$(milliseconds_since "$started")" -lt "$limit" ]; do sleep 0.02; done
    if running; then
        echo "     still running after ${limit} ms"
        return 1
    fi
    wait "$saver_pid"
    local code=$?
    [ $code -eq 0 ] || echo "     exit code $code"
    [ $code -eq 0 ]
}
stop_saver() { # whatever state it is in
    if running; then
        xdotool key Escape
        ends_within 3000 >/dev/null || { kill "$saver_pid" 2>/dev/null; wait "$saver_pid" 2>/dev/null; }
    fi
    true
}
screenshot() { import -window root rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
covers_screen() {
    local root window
    root=$(xwininfo -root | awk '/Width:|Height:/ {printf "%s ", $2}')
    window=$(xwininfo -id "$saver_window" | awk '/Absolute upper-left [XY]:|Width:|Height:/ {printf "%s ", $NF}')
    [ "$window" = "0 0 $root" ] || echo "     window (x y w h) $window, screen $root"
    [ "$window" = "0 0 $root" ]
}
differ() { [ "$1" != "$2" ]; }
log_lines() { if [ -f "$work/password.log" ]; then wc -l <"$work/password.log"; else echo 0; fi; }

# A switch that must end the program at once without ever showing a window.
case_ends_without_window() { # name, arguments
    local name=$1 started shown=no; shift
    started=$(now)
    start_saver "$@"
    while running && [ "$(milliseconds_since "$started")" -lt 10000 ]; do
        visible_saver_window >/dev/null && shown=yes
        sleep 0.02
    done
    check "$name ends at once" ends_within 0
    check "$name shows no window" is "$shown" no
}

case_saver_animates_and_a_key_ends_it() {
    xdotool mousemove 640 512
    start_saver /s
    check "/s shows its window" wait_for_window || { stop_saver; return; }
    check "/s covers the screen" covers_screen
    sleep 0.5
    local first second
    first=$(screenshot); sleep 1; second=$(screenshot)
    check "/s animates: screenshots a second apart differ" differ "$first" "$second"
    xdotool key a
    check "a key press ends the saver within a second, exit code 0" ends_within 1000
    check "the saver leaves no window behind" no_saver_window
}

case_mouse_grace_and_threshold() {
    xdotool mousemove 640 512
    start_saver /s
    wait_for_window || { check "/s shows its window" false; stop_saver; return; }
    local shown
    shown=$(now)
    xdotool mousemove 700 580; sleep 0.2; xdotool mousemove 640 512
    sleep 0.5
    check "mouse movement in the first second is ignored" running
    # The pointer's grace period runs two seconds from the saver's start, before its window shows.
    sleep "$(awk -v ms="$(milliseconds_since "$shown")" 'BEGIN { d = 2600 - ms; print (d > 0 ? d / 1000 : 0) }')"
    xdotool mousemove 645 517
    sleep 1
    check "a movement of 5 pixels after the grace period does not wake it" running
    xdotool mousemove 646 512
    check "a movement of 6 pixels after the grace period wakes it within a second" ends_within 1000
    check "the saver leaves no window behind" no_saver_window
    stop_saver
}

case_second_copy_ends_at_once() {
    start_saver /s
    wait_for_window || { check "/s shows its window" false; stop_saver; return; }
    local first=$saver_pid
    start_saver /s
    check "a second /s while one runs ends at once" ends_within 10000
    check "only one saver window is shown" is "$(saver_windows | while read -r w; do xwininfo -id "$w" | grep -q IsViewable && echo "$w"; done | wc -l)" 1
    saver_pid=$first
    check "the first copy still runs" running
    xdotool key a
    check "the first copy ends on a key" ends_within 1000
}

# Wine reports Windows 98 to the saver alone; the password library is ours, in the system folder.
password_setup() { # ScreenSaveUsePassword value
    "$GLIMRA_WINE" reg add 'HKCU\Software\Wine\AppDefaults\GlimraCode.scr' /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
    "$GLIMRA_WINE" reg add 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    cp "$cpl" "$WINEPREFIX/drive_c/windows/system32/PASSWORD.CPL"
    rm -f "$work/password.log"
    export GLIMRA_TEST_PASSWORD_LOG GLIMRA_TEST_PASSWORD_ANSWER
    GLIMRA_TEST_PASSWORD_LOG=$(windows_path "$work/password.log")
    GLIMRA_TEST_PASSWORD_ANSWER=$(windows_path "$work/answer")
}
password_teardown() {
    rm -f "$WINEPREFIX/drive_c/windows/system32/PASSWORD.CPL"
    "$GLIMRA_WINE" reg delete 'HKCU\Software\Wine\AppDefaults\GlimraCode.scr' /f >/dev/null 2>&1
    "$GLIMRA_WINE" reg delete 'HKCU\Control Panel\Desktop' /v ScreenSaveUsePassword /f >/dev/null 2>&1
    true
}

case_windows98_password() {
    password_setup 1
    echo refuse >"$work/answer"
    start_saver /s
    if wait_for_window; then
        sleep 0.3
        local asked
        xdotool key a
        asked=$(now)
        sleep 0.3
        check "win98: a refused password is asked once, with the saver's window" is "$(cat "$work/password.log" 2>/dev/null)" "verify window"
        check "win98: a refused password keeps the saver running" running
        xdotool key a
        sleep 0.3
        check "win98: input in the second after a refusal is ignored" is "$(log_lines)" 1
        echo accept >"$work/answer"
        sleep "$(awk -v ms="$(milliseconds_since "$asked")" 'BEGIN { d = 1400 - ms; print (d > 0 ? d / 1000 : 0) }')"
        xdotool key a
        check "win98: after that second a key asks again and an accepted password ends the saver" ends_within 1500
        check "win98: the password was asked twice in all" is "$(log_lines)" 2
    else
        check "win98: /s shows its window" false
    fi
    stop_saver

    password_setup 0
    start_saver /s
    if wait_for_window; then
        xdotool key a
        check "win98 without a password: a key ends the saver" ends_within 1000
        check "win98 without a password: no password is asked" is "$(log_lines)" 0
    else
        check "win98 without a password: /s shows its window" false
    fi
    stop_saver
    password_teardown
}

trap 'stop_saver; password_teardown; rm -rf "$work"' EXIT

case_saver_animates_and_a_key_ends_it
case_mouse_grace_and_threshold
case_second_copy_ends_at_once
case_ends_without_window "/p 1234" /p 1234
case_ends_without_window "/x" /x
case_ends_without_window "-" -
case_ends_without_window "/a 1234" /a 1234
case_windows98_password

if [ $failures -ne 0 ]; then
    echo "e2e win32: $failures failed"
    exit 1
fi
echo "e2e win32: all passed"
