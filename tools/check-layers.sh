#!/usr/bin/env bash
# Fails when a layer of src/ includes a layer above it, or when the portable core includes an
# operating system's headers. The layers, lowest first (one rank may hold two that must not
# include each other):
#   raster < glyphs, settings < engine (the grid) < behaviours < engine/root < shell < platform
#   tools/check-layers.sh [SOURCE_FOLDER]   (default: src)
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}

# The layer a path under src/ belongs to, and its rank.
layer_of() {
    case $1 in
        engine/root/*) echo "engine/root 4" ;;
        raster/*) echo "raster 0" ;;
        glyphs/*) echo "glyphs 1" ;;
        settings/*) echo "settings 1" ;;
        engine/*) echo "engine 2" ;;
        behaviours/*) echo "behaviours 3" ;;
        shell/*) echo "shell 5" ;;
        platform/*) echo "platform 6" ;;
        *) echo "unknown -1" ;;
    esac
}

problems=0
while IFS= read -r file; do
    relative=${file#"$src"/}
    read -r layer rank <<<"$(layer_of "$relative")"
    if [ "$rank" -lt 0 ]; then
        echo "check-layers: $relative is in no layer"
        problems=$((problems + 1))
        continue
    fi
    while IFS=: read -r line included; do
        read -r target target_rank <<<"$(layer_of "$included")"
        [ "$target_rank" -ge 0 ] || continue
        if [ "$target_rank" -gt "$rank" ] || { [ "$target_rank" -eq "$rank" ] && [ "$target" != "$layer" ]; }; then
            echo "check-layers: $relative:$line includes \"$included\": $layer may not include $target"
            problems=$((problems + 1))
        fi
    done < <(grep -nE '^\s*#\s*include\s+"' "$file" | sed -E 's/^([0-9]+):.*"([^"]+)".*/\1:\2/')
    if [ "$layer" != platform ] &&
        grep -nE '^\s*#\s*include\s+<(windows\.h|X11/|ft2build\.h|freetype/|fontconfig/|gtk/|gdk/|wayland-|cairo)' "$file"; then
        echo "check-layers: $relative includes an operating system's headers outside platform/"
        problems=$((problems + 1))
    fi
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if [ "$problems" -ne 0 ]; then
    echo "check-layers: $problems include(s) against the layers"
    exit 1
fi
echo "check-layers: every include points down"
