# The checks that every desktop passes, sourced by run.sh after ../idle/scenario.sh. The desktop's
# adapter (gnome.sh, kde.sh) defines:
#   desktop_start N      the desktop headless, as $user, with N outputs of 1280x720 side by side, and
#                        its helper (input, and screenshots where the desktop has no tool) reading
#                        lines from fd 7 and answering "done LINE" in $work/hands.log
#   shot FILE            a screenshot of every output
#   desktop_idle_source  how the watcher should say it learns idleness there
# and may define desktop_checks (more checks once the user's window shows).
width=1280 height=720
key_a=30 key_shift=42 # evdev codes

# A line for the helper, waited for until carried out.
hands() {
    local before
    before=$(grep -cxF "done $*" "$work/hands.log")
    echo "$*" >&7
    wait_until 100 hands_did "$*" "$before"
}
hands_did() { [ "$(grep -cxF "done $1" "$work/hands.log")" -gt "$2" ]; }
key() { hands key "$1"; }
move() { hands move "$1" "$2"; }

geometry() { echo "${width}x${height}+$(($1 * width))+0"; } # of output index
# Of the pixels that were lit in the first image, the share that the second shows unchanged: what
# the saver left uncovered of the desktop, its panels and windows.
uncovered_share() { # before, after
    convert "$1" -alpha off \( -clone 0 -colorspace gray -threshold 2% \) \
        \( -clone 0 "$2" -alpha off -compose difference -composite -separate -evaluate-sequence max \
        -threshold 0 -negate \) -delete 0 -compose multiply -composite -format '%[fx:mean]' info:
}
changed_pixels() { # a, b, geometry
    convert "$1" "$2" -crop "$3" +repage -metric AE -compare -format '%[distortion]' info:
}
app_lines() { grep -cx "$2" "$work/$1.log"; } # window, line

no_red_anywhere() { shot "$work/shots/probe.png" && [ "$(red_share "$work/shots/probe.png")" = 0 ]; }
# Nothing of what the screen showed before (shot $1) left, on every output glyphs and a second later
# other ones. Says what it measured.
covers_and_animates() { # before
    local a="$work/shots/a.png" b="$work/shots/b.png" i red lit changed lit_before uncovered ok=0
    wait_until 100 no_red_anywhere || { echo "     red stays"; return 1; }
    shot "$a" && sleep 1 && shot "$b" || return 1
    lit_before=$(lit_share "$1") uncovered=$(uncovered_share "$1" "$b")
    echo "     cover: $uncovered of the screen unchanged, where $lit_before was lit before"
    [ "$uncovered" = 0 ] || ok=1
    for ((i = 0; i < outputs; i++)); do
        red=$(red_share "$b" "$(geometry $i)") lit=$(lit_share "$b" "$(geometry $i)")
        changed=$(changed_pixels "$a" "$b" "$(geometry $i)")
        echo "     output $((i + 1)): red $red, glyphs lit $lit, $changed pixels changed in 1 s"
        awk -v r="$red" -v l="$lit" -v c="$changed" 'BEGIN { exit !(r == 0 && l > 0.002 && l < 0.6 && c > 100) }' ||
            ok=1
    done
    cp "$b" "$work/shots/saver-over-$(basename "$1")"
    return $ok
}

saver=0 saver_pid=0
start_saver() { # name
    spawn "$1" "$work/bin/glimracode" /s
    saver=$spawned saver_pid=$spawned_own
}
ends_with_zero_within() { # tenths
    local status=0
    wait_until "$1" gone "$saver_pid" || { echo "     still running"; return 1; }
    wait "$saver" || status=$?
    is "$status" 0
}
timed_key_ends() { # key code
    local start end
    start=$(date +%s.%N)
    key "$1"
    ends_with_zero_within 30 || return 1
    end=$(date +%s.%N)
    echo "     ended $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }') s after the key"
}
# The window lost the keyboard after its LINES-th line: the saver has it.
lost_keyboard() { # window, lines
    tail -n +"$(($2 + 1))" "$work/$1.log" | grep -qx focus-out
}
# The window had keys (the user's, before idleness), and then lost the keyboard: the saver has it.
lost_keyboard_after_keys() { # window
    awk '/^key / { key = NR } /^focus-out$/ { out = NR } END { exit !(key && out > key) }' "$work/$1.log"
}
no_key_reached() { # window, key lines before
    is "$(app_lines "$1" 'key .*')" "$2"
}

# /s above the focused application window: covered, animated, the keyboard taken, a key ends it.
saver_above_window() { # window, what it is
    local lines keys
    shot "$work/shots/before-$1.png"
    lines=$(wc -l <"$work/$1.log") keys=$(app_lines "$1" 'key .*')
    start_saver "saver-$1"
    check "/s covers every output above the $2, animated" covers_and_animates "$work/shots/before-$1.png"
    check "/s takes the keyboard from the $2" wait_until 30 lost_keyboard "$1" "$lines"
    check "a key ends /s with 0" timed_key_ends "$key_a"
    check "and the key never reaches the $2" no_key_reached "$1" "$keys"
    check "the $2 has the keyboard again" wait_until 50 lost_keyboard_and_back "$1" "$lines"
}
lost_keyboard_and_back() { tail -n +"$(($2 + 1))" "$work/$1.log" | tail -1 | grep -qx focus-in; }

# The saver's own pointer rule: after its grace period (2 s from its start), a few pixels do not wake
# it. Where the watcher ended its saver on any input, this nudge would.
nudge_leaves_running() { # saver pid, seconds to wait for the grace period
    sleep "$2"
    move 3 0
    sleep 1
    alive "$1"
}

desktop_scenario() {
    spawn window "$work/bin/glimra-app-window"
    check "a focused application window shows" wait_until 100 grep -qx focus-in "$work/window.log" || return
    ! declare -F desktop_checks >/dev/null || desktop_checks
    saver_above_window window "focused window"

    spawn fullscreen "$work/bin/glimra-app-window" --fullscreen
    check "a focused full-screen window shows" wait_until 100 grep -qx focus-in "$work/fullscreen.log" || return
    saver_above_window fullscreen "full-screen window"
    start_saver pointer
    wait_until 100 no_red_anywhere
    check "a 3-pixel move after the grace period leaves /s running" nudge_leaves_running "$saver_pid" 3
    move 20 0
    check "a 20-pixel move ends /s with 0" ends_with_zero_within 30

    # The watcher, above the full-screen window, which has the keyboard between savers.
    watcher_env=env
    poke() { key "$key_shift"; }
    shows_saver() { covers_and_animates "$work/shots/before-fullscreen.png"; }
    saver_checks() {
        check "the watcher's saver takes the keyboard" wait_until 30 lost_keyboard_after_keys fullscreen
        check "a 3-pixel move leaves the watcher's saver running" nudge_leaves_running "$1" 1
        keys_before=$(app_lines fullscreen 'key .*')
    }
    ended_checks() { check "and the key never reaches the full-screen window" no_key_reached fullscreen "$keys_before"; }
    idle_scenario "$work/bin/glimracode"
    check "the watcher uses the $desktop_idle_source" grep -q "through the $desktop_idle_source" "$work/watcher.log"
}
