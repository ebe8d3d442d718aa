#!/usr/bin/env bash
# Runs a command with a private, quiet Wine prefix inside a build folder and a private X server.
#   tools/wine-env.sh BUILD_FOLDER win32|win64 LOADER command...
# The prefix is made once and kept in the build folder. Wine's server is started first and stopped
# last: left to itself it keeps CTest's output pipe open for seconds after every test.
set -euo pipefail
folder=$(cd "$1" && pwd); arch=$2; loader=$3; shift 3

export WINEPREFIX="$folder/wineprefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export GLIMRA_WINE="$loader"

display_number=$((90 + RANDOM % 100))
while [ -e "/tmp/.X11-unix/X$display_number" ]; do display_number=$((display_number + 1)); done
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display_number"
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display_number" ] && break; sleep 0.1; done

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Without a window manager a destroyed window stalls Wine for two seconds unless X11 windows
  # are unmanaged.
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  wineserver -w
fi
wineserver -p
"$loader" cmd /c exit 0 >/dev/null 2>&1 || true
"$@"
