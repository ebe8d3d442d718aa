#!/usr/bin/env bash
# Builds the browser's face into FOLDER/src/platform/web/site (the static site) with Debian's
# emscripten, from Debian's FreeType source (tools/web-deps.sh fetches it into FOLDER/deps).
#   tools/web-build.sh FOLDER
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath -m "${1:?usage: tools/web-build.sh FOLDER}")
"$top/tools/web-deps.sh" "$folder/deps"
# Debian's node-acorn lives where Debian's node looks; a node from elsewhere needs telling.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
emcmake cmake -S "$top" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMRA_TESTS=OFF \
  "-DGLIMRA_FREETYPE_SOURCE=$folder/deps/freetype" >/dev/null
cmake --build "$folder" -j "${GLIMRA_JOBS:-2}" --target glimracode-web >/dev/null
echo "$folder/src/platform/web/site"
