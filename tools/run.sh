#!/usr/bin/env bash
# Sets up this machine, builds GlimraCode and shows it. There is no full-screen Linux saver yet, so
# this renders the default animation off screen: 300 ticks at 1280x720, as PNG frames in ./frames.
#   tools/run.sh [renderer options...]   (see: build-release/src/platform/headless/glimracode-render --help)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/setup.sh programs
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF >/dev/null
cmake --build build-release -j "${GLIMRA_JOBS:-2}" --target glimracode-render >/dev/null

renderer=build-release/src/platform/headless/glimracode-render
if [ $# -gt 0 ]; then
  exec "$renderer" "$@"
fi
exec "$renderer" --size 1280x720 --ticks 300 --every 1 --out frames
