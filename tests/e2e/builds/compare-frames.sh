#!/usr/bin/env bash
# Renders the same animation with two builds of the renderer and compares every frame byte for byte.
# The 32-bit build must draw what the 64-bit build draws: a picture that depends on how a compiler
# evaluates doubles (x87 extended precision) shows up here as a differing frame.
#   tests/e2e/builds/compare-frames.sh REFERENCE_RENDERER OTHER_RENDERER [EMULATOR]
# EMULATOR (qemu-i386, say) runs the other renderer where the kernel cannot.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 REFERENCE_RENDERER OTHER_RENDERER [EMULATOR]" >&2; exit 2; }
reference=$1 other=$2 emulator=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Sizes whose columns and rows leave one-pixel gaps, some where a row edge is a whole number in exact
# arithmetic (there double rounding decides the pixel), and settings under which every behaviour
# draws within the run: statics, flippers, cascades and sweepers, with mirroring.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n' >"$work/defaults.reg"
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n'
  printf '"Saturation"=dword:00000050\r\n"Blank"=dword:00000050\r\n"Static"=dword:00000050\r\n'
  printf '"Font Size"=dword:00000009\r\n"Vertical"=dword:00000001\r\n'
} >"$work/busy.reg"

failures=0
compare() { # name settings size ticks seed
  local name=$1 settings=$2 size=$3 ticks=$4 seed=$5
  "$reference" --settings "$settings" --size "$size" --ticks "$ticks" --seed "$seed" --every 10 \
    --out "$work/$name-reference" >/dev/null
  $emulator "$other" --settings "$settings" --size "$size" --ticks "$ticks" --seed "$seed" --every 10 \
    --out "$work/$name-other" >/dev/null
  local frames=0 differing=()
  for frame in "$work/$name-reference"/*.png; do
    frames=$((frames + 1))
    cmp -s "$frame" "$work/$name-other/$(basename "$frame")" || differing+=("$(basename "$frame")")
  done
  if [ "$frames" -eq 0 ]; then
    echo "FAIL $name: the reference wrote no frame"
    failures=$((failures + 1))
  elif [ ${#differing[@]} -gt 0 ]; then
    echo "FAIL $name ($size, seed $seed): ${#differing[@]} of $frames frames differ, first ${differing[0]}"
    failures=$((failures + 1))
  else
    echo "ok   $name ($size, seed $seed): $frames frames identical"
  fi
}

compare defaults-1024x768 "$work/defaults.reg" 1024x768 120 4
compare defaults-1366x768 "$work/defaults.reg" 1366x768 120 7
compare busy-1021x767 "$work/busy.reg" 1021x767 120 11
compare busy-800x600 "$work/busy.reg" 800x600 120 3
[ "$failures" -eq 0 ]
