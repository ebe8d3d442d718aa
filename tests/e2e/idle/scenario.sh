# Sourced by the idle watcher's end-to-end scripts, one per desktop, after tools/checks.sh and the
# Wayland session helpers (spawn, wait_until, alive, gone). The desktop's script defines:
#   watcher_env              what the watcher is started with in its session (a command prefix)
#   poke                     input in the session, as a user's key press would be
#   shows_saver              the saver is what the user sees (covers_and_animates where the
#                            desktop takes screenshots: shot FILE shows the screen over pure red)
#   inhibit on|off           the desktop's way of asking that the session not go idle (optional:
#                            without it the scenario leaves inhibition out)
# and may define saver_checks SAVER_PID (more checks while the watcher's saver shows, before the key
# that ends it) and ended_checks (after that key); then it calls idle_scenario PROGRAM.
idle=3 # seconds

saver_of() { pgrep -P "$1" | head -1; }
has_saver() { [ -n "$(saver_of "$watcher")" ]; }
# Shares of an image's pixels (of the part GEOMETRY, WxH+X+Y, when given): pure red, as the test
# windows are, and not black. Colour replacement and thresholds, as -fx takes seconds a screen.
red_share() { # image, [geometry]
    convert "$1" ${2:+-crop "$2" +repage} -alpha off -fuzz 10% -fill black +opaque red -fill white -opaque red \
        -format '%[fx:mean]' info:
}
lit_share() { # image, [geometry]
    convert "$1" ${2:+-crop "$2" +repage} -alpha off -colorspace gray -threshold 5% -format '%[fx:mean]' info:
}
# Nothing of the red background left, some glyphs, and a second later other ones.
covers_and_animates() {
    local a="$work/shots/a.png" b="$work/shots/b.png" red lit changed
    sleep 1; shot "$a"; sleep 1; shot "$b"
    red=$(red_share "$b") lit=$(lit_share "$b")
    changed=$(compare -metric AE "$a" "$b" null: 2>&1 | cut -d' ' -f1)
    awk -v r="$red" -v l="$lit" -v c="$changed" 'BEGIN { exit !(r == 0 && l > 0.002 && l < 0.6 && c > 100) }' ||
        { echo "     red $red, lit $lit, changed $changed"; return 1; }
}
start_watcher() { # name
    spawn "$1" $watcher_env "$program" --idle-seconds "$idle" || return 1
    watcher_runuser=$spawned watcher=$spawned_own
}
ends_with_zero() { # runuser's pid, own pid
    wait_until 100 gone "$2" || return 1
    local status=0
    wait "$1" || status=$?
    is "$status" 0
}

idle_scenario() { # program
    program=$1
    start_watcher watcher
    for _ in $(seq $((2 * idle))); do poke; sleep 1; done
    check "input within $idle s keeps the saver away" eval '! has_saver'
    check "$idle s of idleness start the saver" wait_until $((idle * 10 + 50)) has_saver || return
    local saver
    saver=$(saver_of "$watcher")
    check "the saver shows" shows_saver
    ! declare -F saver_checks >/dev/null || saver_checks "$saver"
    spawn second $watcher_env "$program" --idle-seconds "$idle"
    check "a second watcher ends at once with 0" ends_with_zero "$spawned" "$spawned_own"
    poke
    check "a key ends the saver" wait_until 50 gone "$saver"
    ! declare -F ended_checks >/dev/null || ended_checks
    check "the watcher stays and waits again" eval 'alive "$watcher" && ! has_saver'
    check "another idle spell starts the saver again" wait_until $((idle * 10 + 50)) has_saver
    saver=$(saver_of "$watcher")
    kill -TERM "$watcher"
    check "SIGTERM ends the watcher with 0" ends_with_zero "$watcher_runuser" "$watcher"
    check "and the saver it started" wait_until 50 gone "$saver"

    declare -F inhibit >/dev/null || return 0
    inhibit on
    start_watcher inhibited
    sleep $((2 * idle + 1))
    check "an idle inhibitor keeps the saver away" eval '! has_saver'
    inhibit off
    check "without it, idleness starts the saver" wait_until $((idle * 10 + 50)) has_saver
    kill -INT "$watcher"
    check "SIGINT ends the watcher with 0" ends_with_zero "$watcher_runuser" "$watcher"
}
