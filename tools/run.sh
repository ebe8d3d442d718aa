#!/usr/bin/env bash
# Sets up this machine, builds GlimraCode and shows it. With a working X display it starts the
# saver full screen (press a key, click or move the mouse to leave it). Without one, or when given
# renderer options, it renders the default animation off screen: 300 ticks at 1280x720, as PNG
# frames in ./frames.
#   tools/run.sh                         the saver on $DISPLAY, else the off-screen render
#   tools/run.sh [renderer options...]   (see: build-release/src/platform/headless/glimracode-render --help)
#   GLIMRA_HEADLESS=1 tools/run.sh       the off-screen render even when a display works
#   tools/run.sh web                     serves the browser's face on 127.0.0.1 and prints its address
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# tools/run.sh web: the browser's face, built and served on 127.0.0.1 (port $GLIMRA_WEB_PORT, else 8036).
if [ "${1:-}" = web ]; then
  bash tools/setup.sh web
  site=$(tools/web-build.sh build-web)
  port=${GLIMRA_WEB_PORT:-8036}
  echo "run: GlimraCode in a browser at http://127.0.0.1:$port/ (Ctrl+C stops the server)" >&2
  exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
fi

bash tools/setup.sh programs
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF >/dev/null

# xdpyinfo asks the server itself; where it is not installed, a local display counts as working
# when its socket exists, and a remote one is simply tried.
display_works() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1
    return
  fi
  case "$DISPLAY" in
    :*) number=${DISPLAY#:}; [ -S "/tmp/.X11-unix/X${number%%.*}" ] ;;
    *) return 0 ;;
  esac
}

if [ $# -eq 0 ] && [ -z "${GLIMRA_HEADLESS:-}" ] && display_works; then
  cmake --build build-release -j "${GLIMRA_JOBS:-2}" --target glimracode glimracode-gtk >/dev/null
  echo "run: the saver, full screen on $DISPLAY; press a key, click or move the mouse to leave it" >&2
  exec build-release/bin/glimracode /s
fi

cmake --build build-release -j "${GLIMRA_JOBS:-2}" --target glimracode-render >/dev/null
renderer=build-release/src/platform/headless/glimracode-render
if [ $# -gt 0 ]; then
  exec "$renderer" "$@"
fi
exec "$renderer" --size 1280x720 --ticks 300 --every 1 --out frames
