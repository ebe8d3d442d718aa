#!/usr/bin/env bash
# Settings carried between the two savers as registry export files: what the Linux settings dialog
# saves, Wine's `reg import` brings into the registry, and the Windows saver's own reading code
# must see the same 25 values; a `reg export` of the registry, read by the Linux saver, likewise.
# Runs inside tools/wine-env.sh (a private prefix and display).
#   tests/e2e/win32/interchange.sh BUILD_FOLDER GLIMRACODE
set -uo pipefail
source "$(dirname "$0")/../../../tools/checks.sh"
[ $# -eq 2 ] || { echo "usage: $0 BUILD_FOLDER GLIMRACODE" >&2; exit 2; }
folder=$(cd "$1" && pwd); glimracode=$2
wine=${GLIMRA_WINE:?run me through tools/wine-env.sh}
printer="$folder/tests/platform/win32/glimra_print_settings.exe"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$XDG_CONFIG_HOME/glimracode" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
file="$XDG_CONFIG_HOME/glimracode/settings.reg"
key='HKCU\Software\KLOV\Glimra'
# The 25 value lines of a settings report.
values_of() { grep '^  ' | sed 's/[[:space:]]*$//'; }
linux_values() { DISPLAY= "$glimracode" /c | values_of; }
windows_values() { "$wine" "$printer" | tr -d '\r' | values_of; }

# Every value set away from its default, and "Delay" beyond what the dialog offers.
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\KLOV\Glimra]' \
  '"Delay"=dword:00001770' '"Saturation"=dword:0000000c' '"Font Size"=dword:0000000b' \
  '"Volatility"=dword:00000021' '"Horizontal"=dword:00000000' '"Vertical"=dword:00000001' \
  '"Creature"=dword:00000028' '"Blank"=dword:0000001e' '"Static"=dword:00000014' '"Nothing"=dword:00000007' \
  '"Creature Start Color"=dword:00123456' '"Creature End Color"=dword:00654321' \
  '"Creature States"=dword:00000009' '"Font Name"="Japanese Generic1"' \
  '"Flipper Start Color"=dword:00010203' '"Flipper Mid Color"=dword:00040506' \
  '"Flipper End Color"=dword:00070809' '"Static Start Color"=dword:000a0b0c' \
  '"Static Mid Color"=dword:000d0e0f' '"Static End Color"=dword:00101112' \
  '"Flipper States"=dword:00000005' '"Static States"=dword:0000000d' '"Start Char"=dword:00000041' \
  '"End Char"=dword:0000005a' '"Speed Range"=dword:00000004' '' >"$file"

# The Linux dialog shows the file and saves it on Enter: "Delay" comes back limited to 5000.
"$glimracode" /c &
dialog=$!
found=1
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^vGlimra Screen Saver$' >/dev/null 2>&1 && { found=0; break; }
  sleep 0.2
done
check "the Linux settings dialog opens" test "$found" = 0
# A window that has just been mapped may not take keys yet; there is no window manager to
# activate it, so the key goes to the focused window.
sleep 0.5
xdotool search --onlyvisible --name '^vGlimra Screen Saver$' windowfocus --sync key Return >/dev/null 2>&1
status=0
for _ in $(seq 100); do kill -0 "$dialog" 2>/dev/null || break; sleep 0.1; done
# The dialog does not listen for SIGTERM: a dialog that did not close is killed outright.
if kill -0 "$dialog" 2>/dev/null; then kill -9 "$dialog"; status=1; fi
wait "$dialog" || status=$?
check "Enter saves and the dialog ends with 0" test "$status" = 0
check "the dialog wrote the limited Delay" grep -qi '^"Delay"=dword:00001388' "$file"

linux=$(linux_values)
"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
import_file() { "$wine" reg import "$(windows_path "$1")" >/dev/null 2>&1; }
check "reg import takes the Linux file" import_file "$file"
windows=$(windows_values)
check "the Windows saver reads what the Linux dialog saved" test -n "$linux" -a "$linux" = "$windows"
[ "$linux" = "$windows" ] || diff <(echo "$linux") <(echo "$windows") || true

# And back: values changed on Windows, exported as Windows exports them (UTF-16LE).
"$wine" reg add "$key" /v Delay /t REG_DWORD /d 4321 /f >/dev/null 2>&1
"$wine" reg add "$key" /v "Font Name" /t REG_SZ /d "Lucida Console" /f >/dev/null 2>&1
"$wine" reg add "$key" /v "Static Mid Color" /t REG_DWORD /d 4278190335 /f >/dev/null 2>&1
"$wine" reg export "$key" "$(windows_path "$scratch/export.reg")" /y >/dev/null 2>&1
check "reg export writes a file" test -s "$scratch/export.reg"
cp "$scratch/export.reg" "$file"
windows=$(windows_values)
linux=$(linux_values)
check "the Linux saver reads what Windows exported" is "$linux" "$windows"
[ "$linux" = "$windows" ] || diff <(echo "$windows") <(echo "$linux") || true
has_changed_values() { grep -q '4321' <<<"$1" && grep -q 'Lucida Console' <<<"$1" && grep -q '0xFF0000FF' <<<"$1"; }
check "including the changed values" has_changed_values "$linux"

"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
echo "$failures failed"
[ "$failures" = 0 ]
