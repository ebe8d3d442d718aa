#!/usr/bin/env bash
# Sets up this machine and runs every test: native, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and cross-built for Windows under Wine.
#   tools/test.sh [native] [sanitize] [windows] [packaging] [fuzz] [bench]   (default: all of them)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(native wayland sanitize windows packaging fuzz bench)
jobs=${GLIMRA_JOBS:-2}

bash tools/setup.sh all

configure_and_build() { # folder, cmake options...
  local folder=$1; shift
  cmake -S . -B "$folder" -G Ninja "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
}

run_native() {
  # The benchmarks are built here too, so that the bench stage needs no build of its own.
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_BENCH=ON
  ctest --test-dir build -j "$jobs" --output-on-failure
}

run_sanitize() {
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DGLIMRA_SANITIZE=ON
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure
}

# The Linux saver on Wayland: a headless sway, run by an unprivileged user, with the native build.
run_wayland() {
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_BENCH=ON
  tests/e2e/wayland/run.sh build
}

# The i686 build is the product; it runs under Wine wherever this kernel can execute 32-bit code.
# Some sandboxes cannot (the 32-bit loader fails with "Exec format error"); there the i686 tests are
# built, proving they compile, and the same tests run as x86_64 instead.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

run_windows() {
  configure_and_build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
  configure_and_build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
  local folder=build-win32 arch=win32 loader=/usr/lib/wine/wine
  if ! can_run_32bit; then
    echo "windows: this kernel cannot run 32-bit programs; running the x86_64 build under Wine instead"
    folder=build-win64 arch=win64 loader=/usr/lib/wine/wine64
  fi
  bash tools/wine-env.sh "$folder" "$arch" "$loader" ctest --test-dir "$folder" --output-on-failure
  # The real saver, started with its switches under Wine on a display of its own.
  if [ -x tests/e2e/win32/run.sh ]; then
    tests/e2e/win32/run.sh "$folder" "$arch" "$loader"
  fi
}

# The Debian package and the Windows installer, built and installed into scratch places. The
# installers are made from the Windows builds of the windows stage.
run_packaging() {
  [ -d build-win32 ] && [ -d build-win64 ] || run_windows
  packaging/tests/test-deb.sh build-deb
  packaging/tests/test-installer.sh build-win32 build-win64
}

run_fuzz() {
  if [ -x tests/fuzz/run-fuzz.sh ]; then
    tests/fuzz/run-fuzz.sh "${GLIMRA_FUZZ_SECONDS:-60}"
  fi
}

run_bench() {
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_BENCH=ON
  # A benchmark is not a test: one brief run proves it still works. Figures come from a Release
  # build (see the README), not from here.
  for binary in build/bench/glimra_*_bench; do
    "$binary" --benchmark_min_time=0.01 >/dev/null
  done
}

for stage in "${stages[@]}"; do
  echo "=== $stage"
  "run_$stage"
done
echo "=== all stages passed: ${stages[*]}"
