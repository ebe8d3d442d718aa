#!/usr/bin/env bash
# Fails when a layer of src/ includes a layer above it, when the portable core includes an operating
# system's headers, when a room of platform/ includes a room it may not, or when two files include
# each other (a header and its source count as one file). The layers, lowest first (one rank may
# hold two that must not include each other):
#   base, raster < glyphs, settings < engine (the grid) < behaviours < animation < shell < platform
# The rooms of platform/, each with what it may include besides itself and the core:
#   posix: nothing        linux: posix          x11, wayland: linux, posix (never each other)
#   idle: linux, posix    gtk: idle, linux, posix
#   programs: x11, wayland, gtk, idle, linux, posix (the Linux programs' entry points)
#   headless: posix       win32: nothing         web: posix
#   tools/check-layers.sh [--graph] [SOURCE_FOLDER]   (default: src)
# --graph prints the include graph instead, one "file -> included file" a line, headers and their
# sources folded into one name.
set -uo pipefail
graph=false
if [ "${1:-}" = --graph ]; then
    graph=true
    shift
fi
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}

# Every include of src/ by a file of src/, as "file included" with the extensions dropped, once.
include_edges() {
    {
        find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -printf 'file %P\n'
        grep -rHE --include='*.h' --include='*.cpp' '^\s*#\s*include\s+"' "$src" |
            sed -E 's/^([^:]+):.*"([^"]+)".*/include \1 \2/'
    } | awk -v prefix="$src/" '
        function stem(path) { sub(/\.[^.\/]*$/, "", path); return path }
        $1 == "file" { exists[$2] = 1; next }
        { file = substr($2, length(prefix) + 1) }
        ($3 in exists) && stem(file) != stem($3) { print stem(file), stem($3) }' | sort -u
}

if $graph; then
    include_edges | awk '{print $1 " -> " $2}'
    exit 0
fi

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
        idle) echo "idle linux posix" ;;
        x11) echo "x11 linux posix" ;;
        wayland) echo "wayland linux posix" ;;
        gtk) echo "gtk idle linux posix" ;;
        programs) echo "programs x11 wayland gtk idle linux posix" ;;
        headless) echo "headless posix" ;;
        web) echo "web posix" ;;
        win32) echo "win32" ;;
        *) echo "" ;;
    esac
}

# System headers a room may not include: the saver's process maps no toolkit on X11 or Wayland, so
# neither its faces, nor the Linux room under them, nor the programs' entry points load one; the
# idle watcher has GLib's loop and bus, but draws nothing.
forbidden_system_headers() {
    case $1 in
        x11 | wayland | linux | programs) echo '(gtk/|gdk/|cairo|pango|glib|gio/|gtk-layer-shell)' ;;
        idle) echo '(gtk/|gdk/|cairo|pango|gtk-layer-shell)' ;;
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

# Two files that include each other are one unit in two pieces: whoever changes one must read both.
while read -r first second; do
    echo "check-layers: $first and $second include each other"
    problems=$((problems + 1))
done < <(include_edges | awk '{ edge[$1 " " $2] = 1 } END { for (e in edge) { split(e, p, " "); if (p[1] < p[2] && ((p[2] " " p[1]) in edge)) print p[1], p[2] } }' | sort)

if [ "$problems" -ne 0 ]; then
    echo "check-layers: $problems include(s) against the layers"
    exit 1
fi
echo "check-layers: every include points down, and no two files include each other"
