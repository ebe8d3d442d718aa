#!/usr/bin/env bash
# Packs the site into glimracode-web.zip, the folder glimracode-web/ inside it: the page, its
# script, the WebAssembly, the glyph font with its licence beside it, and a note on serving it.
#   packaging/web/build-web-zip.sh SITE_FOLDER OUTPUT_ZIP
set -euo pipefail
site=$(realpath "${1:?usage: build-web-zip.sh SITE_FOLDER OUTPUT_ZIP}")
output=$(realpath -m "${2:?usage: build-web-zip.sh SITE_FOLDER OUTPUT_ZIP}")
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/glimracode-web"
for file in index.html glimracode.css glimracode.js glimracode.wasm GlimraCode.TTF "Font licence.txt"; do
  cp "$site/$file" "$work/glimracode-web/"
done
cp "$top/packaging/web/README.txt" "$work/glimracode-web/"
rm -f "$output"
(cd "$work" && TZ=UTC zip -qrX "$output" glimracode-web)
echo "$output"
