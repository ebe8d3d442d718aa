#!/usr/bin/env bash
# Checks that the setup's apt steps go on past a package source that cannot be reached and past a
# foreign-architecture package that cannot be had, and say which. It works in a scratch apt
# configuration (its own sources, lists and caches, a repository in a folder) and only simulates
# installing, so the machine's own packages and lists are left as they were.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/checks.sh"
for tool in apt-get dpkg-deb dpkg-scanpackages; do
    command -v "$tool" >/dev/null || { echo "apt-steps-test: needs $tool (apt, dpkg-dev)" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A repository with one package, and a source on a port where nothing listens.
mkdir -p "$scratch/package/DEBIAN" "$scratch/repo" "$scratch/lists/partial" "$scratch/cache/archives/partial"
printf 'Package: glimra-probe\nVersion: 1.0\nArchitecture: %s\nMaintainer: GlimraCode <glimra@localhost>\nDescription: probe\n' \
    "$(dpkg --print-architecture)" >"$scratch/package/DEBIAN/control"
dpkg-deb --build "$scratch/package" "$scratch/repo/glimra-probe.deb" >/dev/null
(cd "$scratch/repo" && dpkg-scanpackages . /dev/null 2>/dev/null >Packages)
cat >"$scratch/sources.list" <<EOF
deb [trusted=yes] file:$scratch/repo ./
deb [trusted=yes] http://127.0.0.1:9/debian bookworm main
EOF
cat >"$scratch/apt.conf" <<EOF
Dir::Etc::sourcelist "$scratch/sources.list";
Dir::Etc::sourceparts "$scratch/none";
Dir::State::lists "$scratch/lists";
Dir::Cache "$scratch/cache";
APT::Architectures { "$(dpkg --print-architecture)"; "i386"; };
APT::Sandbox::User "root";
Acquire::Retries "0";
EOF
export APT_CONFIG=$scratch/apt.conf GLIMRA_APT_TRIES=2 GLIMRA_APT_PAUSE=0
source "$here/apt-steps.sh"

update=$(apt_update_tolerant)
check "the update goes on past a source it cannot reach" is "$?" 0
check "the update names the index it could not fetch" grep -q 'could not be fetched.*127\.0\.0\.1:9' <<<"$update"

apt_options=(-s)
install=$(apt_install_what_can glimra-probe glimra-probe:i386)
check "the native package installs though a foreign one cannot" is "$?" 0
check "the foreign package is named with apt's reason" \
    grep -qE 'could not be had: glimra-probe:i386 \(.*(Unable to locate|no installation candidate)' <<<"$install"

install=$(apt_install_what_can glimra-missing)
check "a native package that cannot be had fails the install" is "$?" 1
check "and is named too" grep -q 'could not be had: glimra-missing (' <<<"$install"

echo "apt-steps-test: $failures failed"
exit $((failures != 0))
