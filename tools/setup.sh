#!/usr/bin/env bash
# Installs, as root and only when missing, the Debian packages that GlimraCode needs.
#   tools/setup.sh programs   what building and running the Linux programs needs
#   tools/setup.sh all        that, plus everything the tests need (default)
#   tools/setup.sh web        what building the browser's face needs
# Safe to run again: it installs nothing that is already there. A mirror that refuses some of its
# indexes ends nothing: what can be installed is, and the stages that needed the rest say so.
set -euo pipefail
source "$(dirname "$0")/apt-steps.sh"

GLIMRA_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libfreetype-dev libfontconfig-dev libpng-dev libx11-dev libxext-dev libgtk-3-dev
  libxss-dev libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols libglib2.0-dev
)
if [ "${1:-all}" = all ]; then
  GLIMRA_PACKAGES+=(
    googletest libgtest-dev libbenchmark-dev
    clang clang-format libclang-rt-14-dev
    g++-multilib qemu-user libfreetype-dev:i386 libfontconfig-dev:i386 libpng-dev:i386
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386
    xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick xscreensaver-data-extra
    sway grim wtype
    dbus dbus-user-session python3-gi
    gnome-shell kwin-wayland kde-spectacle qtwayland5
    python3 python3-fonttools
    nsis lintian p7zip-full zip unzip dpkg-dev file man-db desktop-file-utils
  )
fi
# The browser's face (tools/test.sh web, tools/run.sh web, packaging): Debian's emscripten with
# its node and acorn, the Chromium the tests drive through python3-websocket, and dpkg-source and
# zip for FreeType's source and the site's zip.
if [ "${1:-all}" = all ] || [ "${1:-all}" = web ]; then
  GLIMRA_PACKAGES+=(emscripten nodejs node-acorn chromium python3-websocket dpkg-dev zip unzip)
fi

missing=()
for package in "${GLIMRA_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt_update_tolerant
  apt_install_what_can "${missing[@]}"
fi
