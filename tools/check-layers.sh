#!/usr/bin/env bash
# Fails when a layer of src/ includes a layer above it, when the portable core includes an operating
# system's headers, or when a room of platform/ includes a room it may not. The layers, lowest
# first (one rank may hold two that must not include each other):
#   base, raster < glyphs, settings < engine (the grid) < behaviours < animation < shell < platform
# The rooms of platform/, each with what it may include besides itself and the core:
#   posix: nothing        linux: posix          x11, wayland: linux, posix (never each other)
#   gtk: linux, posix
#   headless: posix       win32: nothing         web: posix
#   tools/check-layers.sh [SOURCE_FOLDER]   (default: src)
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}

# The layer a path under src/ belongs to, and its rank.
layer_of() {
    case $1 in
        base/*) echo "base 0" ;;
        raster/*) echo "raster 0" ;;
        glyphs/*) echo "glyphs 1" ;;
        settings/*) echo "settings 1" ;;
        engine/*) echo "engine 2" ;;
        behaviours/*) echo "behaviours 3" ;;
        animation/*) echo "animation 4" ;;
        shell/*) echo "shell 5" ;;
        platform/*) echo "platform 6" ;;
        *) echo "unknown -1" ;;
    esac
}

# The platform rooms a room may include, itself first.
rooms_for() {
    case $1 in
        posix) echo "posix" ;;
        linux) echo "linux posix" ;;
        x11) echo "x11 linux posix" ;;
        wayland) echo "wayland linux posix" ;;
        gtk) echo "gtk linux posix" ;;
        headless) echo "headless posix" ;;
        web) echo "web posix" ;;
        win32) echo "win32" ;;
        *) echo "" ;;
    esac
}

# System headers a room may not include: the saver's process maps no toolkit on X11 or Wayland, and
# the Linux room under both faces uses no toolkit either (the idle watcher there has GLib's loop,
# in the other program).
forbidden_system_headers() {
    case $1 in
        x11 | wayland) echo '(gtk/|gdk/|cairo|pango|glib|gtk-layer-shell)' ;;
        linux) echo '(gtk/|gdk/|cairo|pango|gtk-layer-shell)' ;;
        *) echo '' ;;
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
    room=""
    if [ "$layer" = platform ]; then
        room=${relative#platform/}
        room=${room%%/*}
        if [ -z "$(rooms_for "$room")" ]; then
            echo "check-layers: $relative is in no room of platform/"
            problems=$((problems + 1))
            continue
        fi
    fi
    while IFS=: read -r line included; do
        read -r target target_rank <<<"$(layer_of "$included")"
        [ "$target_rank" -ge 0 ] || continue
        if [ "$target_rank" -gt "$rank" ] || { [ "$target_rank" -eq "$rank" ] && [ "$target" != "$layer" ]; }; then
            echo "check-layers: $relative:$line includes \"$included\": $layer may not include $target"
            problems=$((problems + 1))
        elif [ -n "$room" ] && [ "$target" = platform ]; then
            target_room=${included#platform/}
            target_room=${target_room%%/*}
            if ! grep -qw -- "$target_room" <<<"$(rooms_for "$room")"; then
                echo "check-layers: $relative:$line includes \"$included\": platform/$room may not include platform/$target_room"
                problems=$((problems + 1))
            fi
        fi
    done < <(grep -nE '^\s*#\s*include\s+"' "$file" | sed -E 's/^([0-9]+):.*"([^"]+)".*/\1:\2/')
    if [ "$layer" != platform ] &&
        grep -nE '^\s*#\s*include\s+<(windows\.h|X11/|ft2build\.h|freetype/|fontconfig/|gtk/|gdk/|wayland-|cairo)' "$file"; then
        echo "check-layers: $relative includes an operating system's headers outside platform/"
        problems=$((problems + 1))
    fi
    forbidden=$(forbidden_system_headers "$room")
    if [ -n "$forbidden" ] && grep -nE "^\s*#\s*include\s+<$forbidden" "$file"; then
        echo "check-layers: $relative includes a toolkit's headers, which platform/$room must not load"
        problems=$((problems + 1))
    fi
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if [ "$problems" -ne 0 ]; then
    echo "check-layers: $problems include(s) against the layers"
    exit 1
fi
echo "check-layers: every include points down"
