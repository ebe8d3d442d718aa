#!/usr/bin/env bash
# Unpacks into DEST/freetype Debian's source of the FreeType that the Linux build links (the version
# of the installed libfreetype6, with Debian's patches applied), for the browser's build: the same
# source gives the same glyphs, so the browser's frames equal the renderer's byte for byte.
#   tools/web-deps.sh DEST
# It fetches the source with apt-get source, adding a deb-src entry for Debian's archive when apt has
# none (that needs root). A folder named by GLIMRA_SOURCE_CACHE that holds the .dsc already is used
# instead of downloading. Nothing else is downloaded.
set -euo pipefail
dest=$(realpath -m "${1:?usage: tools/web-deps.sh DEST}")
version=$(dpkg-query -W -f='${source:Version}' libfreetype6)
upstream=${version%-*}
upstream=${upstream%%+*}
unpacked=$dest/freetype
if [ -f "$unpacked/.glimra-version" ] && [ "$(cat "$unpacked/.glimra-version")" = "$version" ]; then
  exit 0
fi

dsc=freetype_${version#*:}.dsc
downloads=$dest/download
mkdir -p "$downloads"
if [ -n "${GLIMRA_SOURCE_CACHE:-}" ] && [ -f "$GLIMRA_SOURCE_CACHE/$dsc" ]; then
  cp "$GLIMRA_SOURCE_CACHE"/freetype_* "$downloads/"
fi
if [ ! -f "$downloads/$dsc" ]; then
  if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    [ "$(id -u)" = 0 ] || { echo "web-deps: apt has no deb-src entry, and adding one needs root" >&2; exit 1; }
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    cat >/etc/apt/sources.list.d/glimracode-sources.sources <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    # shellcheck source=tools/apt-steps.sh
    source "$(dirname "$0")/apt-steps.sh"
    apt_update_tolerant
  fi
  (cd "$downloads" && apt-get source -qq --download-only "freetype=$version")
fi
rm -rf "$unpacked" "$dest/freetype-$upstream"
(cd "$dest" && dpkg-source --no-check -x "$downloads/$dsc" "freetype-$upstream" >/dev/null)
mv "$dest/freetype-$upstream" "$unpacked"
echo "$version" >"$unpacked/.glimra-version"
echo "web-deps: Debian's FreeType $version in $unpacked" >&2
