#!/usr/bin/env bash
# CPU share of the Wayland saver and of the headless sway it draws on, in percent of one core: the
# Wayland counterpart of measuring the X11 saver on Xvfb.
#   tests/e2e/wayland/cpu-share.sh BUILD_FOLDER SECONDS WxH
# Starts the session, then glimracode /s; lets 3 s of start-up pass, then reads both processes'
# CPU time from /proc over SECONDS. Prints one line:
#   client C%  compositor S%  total T%  peak-rss R kB
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/session.sh"
[ $# -eq 3 ] || { echo "usage: $0 BUILD_FOLDER SECONDS WxH" >&2; exit 2; }
secs=$2 size=$3
session_begin "$(cd "$1" && pwd)" bin/glimracode bin/GlimraCode.TTF
start_sway "$size"
sway_pid=$spawned_own
spawn saver "$work/bin/glimracode" /s
saver_pid=$spawned_own
sleep 3
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
c0=$(cpu "$saver_pid"); s0=$(cpu "$sway_pid"); t0=$(date +%s.%N)
sleep "$secs"
c1=$(cpu "$saver_pid"); s1=$(cpu "$sway_pid"); t1=$(date +%s.%N)
rss=$(awk '/VmHWM/ {print $2}' "/proc/$saver_pid/status")
python3 -c "
el = $t1 - $t0; hz = $(getconf CLK_TCK)
c = ($c1 - $c0) / hz / el * 100; s = ($s1 - $s0) / hz / el * 100
print('client %.2f%%  compositor %.2f%%  total %.2f%%  peak-rss %s kB' % (c, s, c + s, '$rss'))"
