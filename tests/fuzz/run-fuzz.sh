#!/usr/bin/env bash
# Fuzzes the settings file store for a number of seconds under AddressSanitizer and
# UndefinedBehaviorSanitizer, building it first with clang and libFuzzer into build-fuzz/.
#   tests/fuzz/run-fuzz.sh SECONDS
# Exits non-zero when the fuzzer finds a crash; the input that caused it is left in build-fuzz/.
set -euo pipefail
seconds=${1:?usage: run-fuzz.sh SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
out="$top/build-fuzz"

if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'ok installed'; then
  if [ "$(id -u)" != 0 ]; then
    echo "run-fuzz: clang and libclang-rt-14-dev are missing and installing them needs root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

cmake -S "$here" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "${GLIMRA_JOBS:-2}"

# The committed seeds start the corpus; what the fuzzer learns stays in the build folder.
mkdir -p "$out/corpus"
cp -n "$here"/corpus/* "$out/corpus/"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$out/glimra_settings_file_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
  -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus"
