#!/usr/bin/env bash
# The Linux saver on Wayland, end to end: a headless sway started here, one output and then two,
# screenshots with grim, keys with wtype, the pointer through sway's seat commands.
#   tests/e2e/wayland/run.sh BUILD_FOLDER
# Runs as root, for session.sh's unprivileged user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../tools/checks.sh"
source "$here/session.sh"
[ $# -eq 1 ] || { echo "usage: $0 BUILD_FOLDER" >&2; exit 2; }
for tool in grim wtype convert compare; do
    command -v "$tool" >/dev/null || { echo "wayland: needs $tool (tools/setup.sh installs it)" >&2; exit 1; }
done
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/glimracode-gtk bin/GlimraCode.TTF \
    tests/e2e/wayland/glimra-virtual-pointer tests/e2e/wayland/glimra-fullscreen-window || exit 1

ends_with() { # runuser pid, own pid, tenths, expected exit status
    wait_until "$3" gone "$2" || { echo "     still running"; return 1; }
    local status=0
    wait "$1" || status=$?
    is "$status" "$4"
}

shot() { # file, [output]
    if [ $# -eq 2 ]; then as_user grim -o "$2" "$1"; else as_user grim "$1"; fi
}
# The share of an image's pixels that are the full-screen window's pure red.
red_share() { convert "$1" -fx 'r>0.9&&g<0.1&&b<0.1' -format '%[fx:mean]' info:; }
# The share that is not black: glyphs.
lit_share() { convert "$1" -colorspace gray -threshold 5% -format '%[fx:mean]' info:; }
changed_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
no_red() { local share; share=$(red_share "$1"); [ "$share" = 0 ] || { echo "     red share $share"; return 1; }; }
all_red() { awk -v s="$(red_share "$1")" 'BEGIN { exit !(s > 0.99) }'; }
some_glyphs() { awk -v s="$(lit_share "$1")" 'BEGIN { exit !(s > 0.002 && s < 0.6) }'; }
differ() { local n; n=$(changed_pixels "$1" "$2"); [ "$n" -gt 100 ] 2>/dev/null || { echo "     $n pixels changed"; return 1; }; }

saver=0       # runuser's pid of the saver under test
saver_pid=0   # the saver's own
start_saver() { # name
    spawn "$1" "$work/bin/glimracode" /s
    saver=$spawned saver_pid=$spawned_own
}
# The saver covers the output once grim sees no red there.
covered() { # output
    shot "$work/shots/probe.png" "$1" && [ "$(red_share "$work/shots/probe.png")" = 0 ]
}
wait_covered() { # outputs...
    local output
    for output in "$@"; do wait_until 100 covered "$output" || return 1; done
}
# Each output covered (no red of the window beneath), with glyphs, and changing.
check_outputs() { # tag, outputs...
    local tag=$1; shift
    local output a b
    for output in "$@"; do
        a="$work/shots/$tag-$output-a.png" b="$work/shots/$tag-$output-b.png"
        shot "$a" "$output"
        sleep 1
        shot "$b" "$output"
        check "$tag: $output covered" no_red "$b"
        check "$tag: $output shows glyphs" some_glyphs "$b"
        check "$tag: $output animated" differ "$a" "$b"
    done
}
shows_red() { shot "$work/shots/probe.png" "$1" && all_red "$work/shots/probe.png"; }
shows_glyphs() { shot "$work/shots/probe.png" "$1" && some_glyphs "$work/shots/probe.png"; }
fullscreen_window() { # output
    as_user swaymsg focus output "$1" >/dev/null
    spawn "window-$1" "$work/bin/glimra-fullscreen-window"
    wait_until 100 grep -q shown "$work/window-$1.log" && wait_until 30 shows_red "$1"
}

check "sway starts headless as $user" start_sway 640x480 || exit 1
sway_pid=$spawned_own
# A headless seat has no devices; a real one has a keyboard and a pointer before the saver starts.
# wtype keeps one while it sleeps. A keyboard that wtype makes for one key presses it at once, before
# any client could have asked the seat for it, so "wtype KEY" needs a keyboard already there.
spawn keyboard wtype -s 3600000
keyboard_pid=$spawned_own
spawn pointer "$work/bin/glimra-virtual-pointer"
seat_ready() { as_user swaymsg -t get_seats | grep -q '"capabilities": 3'; }
check "the seat gets a keyboard and a pointer" wait_until 50 seat_ready || exit 1
as_user swaymsg seat - cursor set 320 240 >/dev/null
check "a full-screen window shows on HEADLESS-1" fullscreen_window HEADLESS-1 || exit 1

# One output: covered above the full-screen window, animated, one copy only, woken by a key.
start_saver one
check "one output: the saver covers it" wait_covered HEADLESS-1
# The saver draws in glimracode itself, which a daemon or the idle watcher starts on every activation:
# libwayland-client, and no toolkit.
maps() { grep -qE "$2" "/proc/$1/maps"; }
maps_none() { ! maps "$@"; }
check "one output: the saver talks to the compositor itself" maps "$saver_pid" 'libwayland-client[^/]*\.so'
check "one output: the saver maps no toolkit" maps_none "$saver_pid" 'lib(gtk|gdk|cairo|pango|glib|gobject)[^/]*\.so'
check_outputs one-output HEADLESS-1
spawn second "$work/bin/glimracode" /s
check "a second copy ends at once with 0" ends_with "$spawned" "$spawned_own" 20 0
check "the first copy still runs" alive "$saver_pid"
as_user wtype a
check "a key ends it with 0" ends_with "$saver" "$saver_pid" 30 0
check "the window shows again once it ends" wait_until 30 shows_red HEADLESS-1

# A keyboard that sleeps and wakes while the saver runs (a Bluetooth one) leaves the seat and comes
# back as a new device; a key on it, a moment later as a person's would be, ends the saver.
start_saver rejoined
wait_covered HEADLESS-1
kill "$keyboard_pid"
pointer_only() { as_user swaymsg -t get_seats | grep -q '"capabilities": 1,'; }
keyboard_went() { wait_until 30 pointer_only && alive "$saver_pid"; }
check "a keyboard that goes leaves the saver running" keyboard_went
spawn woken wtype -s 1000 k -s 3600000
check "a key on a keyboard that came while it ran ends it with 0" ends_with "$saver" "$saver_pid" 50 0

# A click, at once (clicks need no grace period).
start_saver click
wait_covered HEADLESS-1
as_user swaymsg seat - cursor press button1 >/dev/null
as_user swaymsg seat - cursor release button1 >/dev/null
check "a click ends it with 0" ends_with "$saver" "$saver_pid" 30 0

# The pointer: 5 pixels after the grace period do not wake it, a sixth does.
start_saver moved
wait_covered HEADLESS-1
# The grace period ends about 2 s after the start; give a loaded machine room to spare.
sleep 3.5
as_user swaymsg seat - cursor move 5 5 >/dev/null
sleep 1
check "5 pixels after the grace period do not wake it" alive "$saver_pid"
as_user swaymsg seat - cursor move 1 0 >/dev/null
check "6 pixels wake it with 0" ends_with "$saver" "$saver_pid" 30 0

# Stop signals.
for signal in TERM INT; do
    start_saver "sig$signal"
    wait_covered HEADLESS-1
    kill -"$signal" "$saver_pid"
    check "SIG$signal ends it with 0" ends_with "$saver" "$saver_pid" 30 0
done

# The pointer, drawn by sway over the window beneath, is hidden over the saver. Without glyphs
# (Saturation 0) the saver's screen is all black, so any lit pixel there is the pointer's.
settings="$work/home/.config/glimracode/settings.reg"
cursor_lit() {
    as_user grim -c -o HEADLESS-1 "$work/shots/probe.png" &&
        awk -v s="$(red_share "$work/shots/probe.png")" 'BEGIN { exit !(s < 1) }'
}
check "sway draws the pointer over the window" cursor_lit
as_user mkdir -p "$(dirname "$settings")"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n"Delay"=dword:00000064\r\n"Saturation"=dword:00000000\r\n' |
    as_user tee "$settings" >/dev/null
start_saver hidden
wait_covered HEADLESS-1
sleep 0.5
as_user grim -c -o HEADLESS-1 "$work/shots/hidden.png"
check "the pointer is hidden while it runs" is "$(lit_share "$work/shots/hidden.png")" 0
kill "$saver_pid"
check "it ends with 0" ends_with "$saver" "$saver_pid" 30 0
as_user rm -f "$settings"

# The settings dialog, on Wayland as GTK finds it: a stop signal closes it as Cancel does.
dialog_shown() { as_user swaymsg -t get_tree 2>/dev/null | grep -q '"name": "vGlimra Screen Saver"'; }
# Opening the dialog makes the settings key; only OK writes values into it.
saved_nothing() { [ ! -e "$settings" ] || ! grep -q '"Delay"' "$settings"; }
for signal in TERM INT; do
    spawn "dialog$signal" "$work/bin/glimracode" /c
    dialog=$spawned dialog_pid=$spawned_own
    check "the settings dialog shows (SIG$signal)" wait_until 100 dialog_shown || continue
    kill -"$signal" "$dialog_pid"
    check "SIG$signal closes the dialog with 0" ends_with "$dialog" "$dialog_pid" 30 0
    check "SIG$signal saves nothing" saved_nothing
done

# Points: at scale 2, twice the density and twice the rows' pitch. Every cell shows one glyph, a dash,
# and nothing wipes the cascades, so each row of cells is a band of lit lines.
row_pitch() { # image: the commonest distance between the first lines of two bands
    convert "$1" -colorspace gray -depth 8 gray:- | od -An -v -tu1 -w"$(identify -format %w "$1")" |
        awk '{ lit = 0; for (i = 1; i <= NF; i++) lit += $i > 12
               if (lit && !was) { if (last) count[NR - last]++; last = NR }
               was = lit }
             END { for (gap in count) if (count[gap] > count[pitch]) pitch = gap; print pitch + 0 }'
}
pitches=()
for scale in 1 2; do
    as_user swaymsg output HEADLESS-1 scale "$scale" >/dev/null
    spawn "scale$scale" "$work/bin/glimracode" /s --delay 20 --saturation 100 --sweeper-weight 0 \
        --static-weight 0 --start-char 45 --end-char 45
    wait_covered HEADLESS-1
    sleep 1.5
    shot "$work/shots/scale$scale.png" HEADLESS-1
    pitches+=("$(row_pitch "$work/shots/scale$scale.png")")
    kill "$spawned_own"
    check "scale $scale: it ends with 0" ends_with "$spawned" "$spawned_own" 30 0
done
as_user swaymsg output HEADLESS-1 scale 1 >/dev/null
# Rows are spread over the whole height on whole pixels, so a pitch may be off by a line or two.
off=$((pitches[1] - 2 * pitches[0]))
check "glyph rows at scale 2 (${pitches[1]} lines) are twice those at scale 1 (${pitches[0]})" \
    test "${pitches[0]}" -ge 10 -a "$off" -ge -3 -a "$off" -le 3

# Two outputs, then a third that comes and goes while the saver runs.
as_user swaymsg create_output >/dev/null
as_user swaymsg output HEADLESS-2 resolution 640x480 position 640 0 >/dev/null
check "a full-screen window shows on HEADLESS-2" fullscreen_window HEADLESS-2
start_saver two
check "two outputs: the saver covers both" wait_covered HEADLESS-1 HEADLESS-2
check_outputs two-outputs HEADLESS-1 HEADLESS-2
shot "$work/shots/two-outputs.png"
as_user swaymsg create_output >/dev/null
as_user swaymsg output HEADLESS-3 resolution 320x240 position 1280 0 >/dev/null
check "an output that appears gets covered" wait_until 50 shows_glyphs HEADLESS-3
as_user swaymsg output HEADLESS-3 unplug >/dev/null
sleep 1
check "an output that goes does not end the saver" alive "$saver_pid"
check_outputs after-unplug HEADLESS-1 HEADLESS-2
as_user wtype q
check "a key ends it on both outputs with 0" ends_with "$saver" "$saver_pid" 30 0

# The densest settings, the most requests a frame, for 30 s on two 1280x720 outputs and a 5 s stall.
as_user swaymsg output HEADLESS-1 resolution 1280x720 position 0 0 >/dev/null
as_user swaymsg output HEADLESS-2 resolution 1280x720 position 1280 0 >/dev/null
spawn dense "$work/bin/glimracode" /s --font-size 1 --saturation 100
saver=$spawned saver_pid=$spawned_own
sleep 10
kill -STOP "$sway_pid" && sleep 5 && kill -CONT "$sway_pid"
sleep 14
check "the densest settings through a 5 s stop of the compositor: it still runs" alive "$saver_pid"
for output in HEADLESS-1 HEADLESS-2; do
    shot "$work/shots/a.png" "$output" && sleep 1 && shot "$work/shots/b.png" "$output"
    check "the densest settings: $output still animated" differ "$work/shots/a.png" "$work/shots/b.png"
done
kill "$saver_pid"
check "the densest settings: it ends with 0" ends_with "$saver" "$saver_pid" 30 0

# Without a compositor to reach (and no X display to fall back on), /s says so and ends with 1;
# --x11 leaves Wayland alone even when WAYLAND_DISPLAY is set.
as_user env WAYLAND_DISPLAY=wayland-none "$work/bin/glimracode" /s >"$work/nowhere.log" 2>&1
check "no compositor: /s ends with 1" is "$?" 1
check "no compositor: /s says so" grep -q "cannot connect to the Wayland display 'wayland-none'" "$work/nowhere.log"
as_user "$work/bin/glimracode" --x11 /s >"$work/x11.log" 2>&1
check "--x11: /s ends with 1" is "$?" 1
check "--x11: /s looks for an X display" grep -q "cannot open the X display" "$work/x11.log"

# A compositor that dies while the saver runs: the saver ends with 1 and says why. Last: sway goes.
start_saver lost
wait_covered HEADLESS-1
kill -KILL "$sway_pid"
check "a compositor that dies: the saver ends with 1" ends_with "$saver" "$saver_pid" 30 1
check "a compositor that dies: the saver says so" grep -q "the Wayland connection" "$work/lost.log"

# Kept for the documentation when asked for.
if [ -n "${GLIMRA_WAYLAND_SHOTS:-}" ]; then
    mkdir -p "$GLIMRA_WAYLAND_SHOTS"
    cp "$work/shots/one-output-HEADLESS-1-b.png" "$work/shots/two-outputs.png" "$GLIMRA_WAYLAND_SHOTS/"
fi

echo "wayland: $failures failed"
exit $((failures != 0))
