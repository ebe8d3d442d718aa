#!/usr/bin/env bash
# The Linux saver's CPU share beside xmatrix's (Debian's xscreensaver-data-extra), both with their
# X servers, at 1920x1080 and 3840x2160. The two run one right after the other, round after round:
# this machine's speed drifts, so only figures taken side by side compare, and the last lines give
# each size's median ratio over the rounds. xmatrix runs its steady rain, as it does for hours: its
# phone-trace intro costs little for a minute and would flatter it.
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
declare -A ratios
for round in $(seq "$rounds"); do
  for size in 1920x1080 3840x2160; do
    ours=$(bash "$share" "$seconds" "$size" -- "$saver" --root)
    theirs=$(bash "$share" "$seconds" "$size" -- "$xmatrix" -root -delay 100000 -no-trace -no-knock-knock)
    echo "round $round $size glimracode: $ours"
    echo "round $round $size xmatrix:    $theirs"
    ratio=$(python3 -c "print('%.4f' % ($(percent <<<"$ours") / $(percent <<<"$theirs")))")
    ratios[$size]="${ratios[$size]:-} $ratio"
    printf 'round %s %s ratio %.2f\n' "$round" "$size" "$ratio"
  done
done
for size in 1920x1080 3840x2160; do
  python3 -c "import statistics, sys; print('median %s ratio %.2f over %d rounds' % ('$size', statistics.median(map(float, sys.argv[1:])), len(sys.argv) - 1))" ${ratios[$size]}
done
