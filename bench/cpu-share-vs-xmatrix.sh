#!/usr/bin/env bash
# The Linux saver's CPU share beside xmatrix's (Debian's xscreensaver-data-extra), both with their
# X servers, at 1920x1080 and 3840x2160. The two run one right after the other, round after round:
# this machine's speed drifts, so only figures taken side by side compare.
#   bench/cpu-share-vs-xmatrix.sh GLIMRACODE [SECONDS] [ROUNDS] [CPU_SHARE_SCRIPT]
# GLIMRACODE is the built saver (build/bin/glimracode); it runs with the defaults, in
# folders of its own. CPU_SHARE_SCRIPT defaults to the workplace's shared/bench/cpu_share.sh.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 GLIMRACODE [SECONDS] [ROUNDS] [CPU_SHARE_SCRIPT]" >&2; exit 2; }
saver=$(realpath "$1")
seconds=${2:-30}
rounds=${3:-1}
top=$(cd "$(dirname "$0")/.." && pwd)
share=${4:-$top/../shared/bench/cpu_share.sh}
xmatrix=/usr/libexec/xscreensaver/xmatrix
[ -x "$xmatrix" ] || { echo "cpu-share: needs $xmatrix (apt-get install xscreensaver-data-extra)" >&2; exit 1; }
[ -f "$share" ] || { echo "cpu-share: no $share" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home"
chmod 700 "$home"

percent() { sed -n 's/.*total \([0-9.]*\)%.*/\1/p'; }
for round in $(seq "$rounds"); do
  for size in 1920x1080 3840x2160; do
    ours=$(bash "$share" "$seconds" "$size" -- "$saver" --root)
    theirs=$(bash "$share" "$seconds" "$size" -- "$xmatrix" -root -delay 100000)
    echo "round $round $size glimracode: $ours"
    echo "round $round $size xmatrix:    $theirs"
    python3 -c "print('round $round $size ratio %.2f' % ($(percent <<<"$ours") / $(percent <<<"$theirs")))"
  done
done
