#!/usr/bin/env bash
# Builds the Windows downloads and checks them: the installer installs into a fresh 64-bit Wine
# prefix, the installed saver runs and wakes, the uninstaller leaves nothing but the settings, and
# the portable zip holds what its text promises.
#   packaging/tests/test-installer.sh BUILD_WIN32 BUILD_WIN64
# Both folders must hold a built GlimraCode.scr (target GlimraCode).
#
# Only the 64-bit Wine loader works on every machine this runs on (some kernels cannot execute
# 32-bit programs at all), so the installation runs the 64-bit build of the installer script.
# GlimraCode-Setup.exe, the 32-bit build of the same script, is checked as a file everywhere; where
# 32-bit programs run, it is also installed into a 32-bit prefix, as on a 32-bit Windows.
set -uo pipefail
source "$(dirname "$0")/../../tools/checks.sh"
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 BUILD_WIN32 BUILD_WIN64" >&2; exit 2; }
win32=$(cd "$1" && pwd) && win64=$(cd "$2" && pwd) || exit 1
for tool in makensis zip unzip 7z xdotool xwininfo Xvfb /usr/lib/wine/wine64; do
    command -v "$tool" >/dev/null || { echo "test-installer: needs $tool (nsis, zip, unzip, p7zip-full, xdotool, x11-utils, xvfb, wine64)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$top/packaging/windows/build-windows-packages.sh" "$win32" "$win64" "$work/out" 2>&1 | grep -v 'warning 6012\|^$\|warnings:$' ||
    true
for download in GlimraCode-Setup.exe GlimraCode-Setup-x64.exe GlimraCode-portable.zip; do
    [ -f "$work/out/$download" ] || { echo "test-installer: $download was not built" >&2; exit 1; }
done

# --- the installers, as files
pe_kind() { file -b "$1"; }
archive_lists() { # installer, names...
    local installer=$1 listing name; shift
    listing=$(7z l "$installer" 2>/dev/null) || { echo "     7z cannot read $installer"; return 1; }
    for name in "$@"; do
        grep -qF "$name" <<<"$listing" || { echo "     $name is not in $(basename "$installer")"; return 1; }
    done
}
same_bytes_inside() { # installer, member path, expected file
    rm -rf "$work/x" && mkdir "$work/x" && 7z x -o"$work/x" "$1" "$2" >/dev/null 2>&1 && cmp -s "$work/x/$2" "$3"
}
check "GlimraCode-Setup.exe is a 32-bit Windows program" grep -q 'PE32 executable.*Intel 80386' <<<"$(pe_kind "$work/out/GlimraCode-Setup.exe")"
check "GlimraCode-Setup-x64.exe is a 64-bit Windows program" grep -q 'PE32+ executable.*x86-64' <<<"$(pe_kind "$work/out/GlimraCode-Setup-x64.exe")"
for setup in GlimraCode-Setup.exe GlimraCode-Setup-x64.exe; do
    check "$setup holds both savers, the font for each and the font licence" archive_lists "$work/out/$setup" \
        '$WINDIR/System32/GlimraCode.scr' '$WINDIR/System32/GlimraCode.TTF' \
        '$WINDIR/SysWOW64/GlimraCode.scr' '$WINDIR/SysWOW64/GlimraCode.TTF' 'Font licence.txt'
    check "$setup puts the 64-bit saver in System32 and the 32-bit one in SysWOW64" eval \
        'same_bytes_inside "$work/out/$setup" "\$WINDIR/System32/GlimraCode.scr" "$win64/src/platform/win32/GlimraCode.scr" &&
         same_bytes_inside "$work/out/$setup" "\$WINDIR/SysWOW64/GlimraCode.scr" "$win32/src/platform/win32/GlimraCode.scr"'
done

# --- the portable zip
unzip -q "$work/out/GlimraCode-portable.zip" -d "$work/zip"
zip_has_both() {
    local bits
    for bits in 32 64; do
        cmp -s "$work/zip/GlimraCode/$bits-bit/GlimraCode.TTF" "$top/resources/font/GlimraCode.TTF" ||
            { echo "     no font beside the $bits-bit saver"; return 1; }
    done
    cmp -s "$work/zip/GlimraCode/32-bit/GlimraCode.scr" "$win32/src/platform/win32/GlimraCode.scr" &&
        cmp -s "$work/zip/GlimraCode/64-bit/GlimraCode.scr" "$win64/src/platform/win32/GlimraCode.scr"
}
check "the zip holds the 32-bit and the 64-bit saver, each with the font beside it" zip_has_both
check "the zip's text explains right-click Install" grep -q 'right-click GlimraCode.scr and' "$work/zip/GlimraCode/Install.txt"
check "the zip's text has Windows line ends" grep -q $'\r$' "$work/zip/GlimraCode/Install.txt"

# --- installing into a fresh 64-bit prefix, on a private display
mkdir -p "$work/wine"
cp "$work/out/GlimraCode-Setup-x64.exe" "$work/wine/"
if bash "$top/tools/wine-env.sh" "$work/wine" win64 /usr/lib/wine/wine64 \
    bash "$here/installer-driver.sh" "$work/wine/GlimraCode-Setup-x64.exe" win64; then
    :
else
    failures=$((failures + 1))
fi

# --- the 32-bit installer into a fresh 32-bit prefix (a 32-bit Windows), where 32-bit programs run
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    mkdir -p "$work/wine32"
    cp "$work/out/GlimraCode-Setup.exe" "$work/wine32/"
    if bash "$top/tools/wine-env.sh" "$work/wine32" win32 /usr/lib/wine/wine \
        bash "$here/installer-driver.sh" "$work/wine32/GlimraCode-Setup.exe" win32; then
        echo "note GlimraCode-Setup.exe (32-bit) was installed, run and uninstalled in a 32-bit prefix"
    else
        failures=$((failures + 1))
    fi
else
    echo "note GlimraCode-Setup.exe (32-bit) was checked as a file only: 32-bit Wine does not run here"
fi

if [ "$failures" -ne 0 ]; then
    echo "test-installer: $failures check(s) failed"
    exit 1
fi
echo "test-installer: all checks passed"
