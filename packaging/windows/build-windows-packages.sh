#!/usr/bin/env bash
# Builds the Windows downloads from the i686 and x86_64 builds of GlimraCode.scr:
#   GlimraCode-Setup.exe       the installer (a 32-bit program, so that it runs on every Windows)
#   GlimraCode-Setup-x64.exe   the same installer as a 64-bit program, for 64-bit Windows only
#   GlimraCode-portable.zip    both savers, each with the font beside it, and how to install them
#   packaging/windows/build-windows-packages.sh BUILD_WIN32 BUILD_WIN64 OUT_FOLDER
# Needs makensis (Debian's nsis) and zip.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
[ $# -eq 3 ] || { echo "usage: $0 BUILD_WIN32 BUILD_WIN64 OUT_FOLDER" >&2; exit 2; }
for tool in makensis zip; do
    command -v "$tool" >/dev/null || { echo "build-windows-packages: needs $tool (nsis, zip)" >&2; exit 1; }
done
scr32=$(cd "$1" && pwd)/src/platform/win32/GlimraCode.scr
scr64=$(cd "$2" && pwd)/src/platform/win32/GlimraCode.scr
mkdir -p "$3"
out=$(cd "$3" && pwd)
font="$top/resources/font/GlimraCode.TTF"
licence="$top/resources/font/LICENSE.txt"
for file in "$scr32" "$scr64" "$font" "$licence"; do
    [ -f "$file" ] || { echo "build-windows-packages: missing $file (build GlimraCode for both first)" >&2; exit 1; }
done
version=$(sed -n 's/^project(GlimraCode VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")

installer() { # output, extra makensis options...
    local output=$1; shift
    makensis -V2 -NOCD "-DSCR32=$scr32" "-DSCR64=$scr64" "-DFONT=$font" "-DLICENCE=$licence" \
        "-DVERSION=$version" "-DOUTFILE=$output" "$@" "$here/GlimraCode.nsi"
}
installer "$out/GlimraCode-Setup.exe"
installer "$out/GlimraCode-Setup-x64.exe" -DTARGET=amd64-unicode

# Windows users open the text in Notepad, which wants CRLF line ends in its older versions.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
portable="$stage/GlimraCode"
mkdir -p "$portable/32-bit" "$portable/64-bit"
cp "$scr32" "$portable/32-bit/GlimraCode.scr"
cp "$scr64" "$portable/64-bit/GlimraCode.scr"
cp "$font" "$portable/32-bit/GlimraCode.TTF"
cp "$font" "$portable/64-bit/GlimraCode.TTF"
sed 's/$/\r/' "$here/Install.txt" >"$portable/Install.txt"
sed 's/$/\r/' "$licence" >"$portable/Font licence.txt"
rm -f "$out/GlimraCode-portable.zip"
(cd "$stage" && zip -q -X -r "$out/GlimraCode-portable.zip" GlimraCode)
echo "built $out/GlimraCode-Setup.exe, $out/GlimraCode-Setup-x64.exe and $out/GlimraCode-portable.zip"
