#!/usr/bin/env bash
# Sets up this machine and runs every test: native, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and cross-built for Windows under Wine.
#   tools/test.sh [checks] [native] [native32] [wayland] [idle] [desktops] [sanitize] [windows] [packaging] [fuzz] [bench] [web]
#   (default: all of them)
# A part of a stage that this machine cannot run (its packages could not be installed, or the kernel
# refuses 32-bit programs) says so and is listed as not run at the end; the run still passes when
# everything that could run passed. GLIMRA_REQUIRE_ALL=1 makes anything not run fail the run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(checks native native32 wayland idle desktops sanitize windows packaging fuzz bench web)
jobs=${GLIMRA_JOBS:-2}

bash tools/setup.sh all

ran=() not_run=()
skip() { # what, why
  echo "$1: not run: $2"
  not_run+=("$1: $2")
}
# The packages of the list that are not installed, on one line.
lacking() {
  local package out=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || out+=("$package")
  done
  echo "${out[*]}"
}

configure_and_build() { # folder, cmake options...
  local folder=$1; shift
  cmake -S . -B "$folder" -G Ninja "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
}

# Habits the build enforces: the committed format, and includes that point down the layers.
run_checks() {
  git ls-files -- '*.cpp' '*.h' '*.c' | xargs clang-format --style=file --dry-run --Werror
  echo "checks: every C and C++ file is formatted"
  tools/check-layers.sh
  tools/check-layers-test.sh
  tools/apt-steps-test.sh
}

# The native build serves several stages; building it again when it is up to date costs nothing.
# The benchmarks are built here too, so that the bench stage needs no build of its own.
build_native() {
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_BENCH=ON
}

build_windows() {
  configure_and_build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
  configure_and_build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
}

run_native() {
  build_native
  ctest --test-dir build -j "$jobs" --output-on-failure
}

# The portable core's tests and the renderer once more as 32-bit Linux programs, which evaluate doubles
# as the i686 Windows build does; the renderer's frames must equal the 64-bit build's byte for byte.
# Where the kernel refuses 32-bit programs, qemu-i386 runs them (it emulates the x87 unit faithfully).
run_native32() {
  local emulator=() runner="" probe missing
  missing=$(lacking g++-multilib)
  [ -z "$missing" ] || { skip "native32" "missing $missing"; return; }
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' | gcc -m32 -x c - -o "$probe/probe"
  if ! "$probe/probe" 2>/dev/null; then
    echo "native32: this kernel cannot run 32-bit programs; running them under qemu-i386"
    missing=$(lacking qemu-user)
    [ -z "$missing" ] || { skip "native32" "this kernel cannot run 32-bit programs and $missing is missing"; return; }
    runner=qemu-i386
    emulator=(-DCMAKE_CROSSCOMPILING_EMULATOR=$runner)
  fi
  rm -rf "$probe"
  # The core needs no 32-bit library but the C++ runtime, so its tests run whatever a mirror gave.
  missing=$(lacking libfreetype-dev:i386 libfontconfig-dev:i386 libpng-dev:i386)
  if [ -n "$missing" ]; then
    skip "native32: the 32-bit renderer, its tests and its frames against the 64-bit renderer's" "missing $missing"
    configure_and_build build-m32core -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DGLIMRA_CORE_ONLY=ON "${emulator[@]}"
    ctest --test-dir build-m32core -j "$jobs" --output-on-failure
    ran+=("native32: the core's tests only, as a 32-bit Linux build${runner:+ under $runner}")
    return
  fi
  configure_and_build build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "${emulator[@]}"
  ctest --test-dir build-m32 -j "$jobs" --output-on-failure
  build_native
  tests/e2e/builds/compare-frames.sh build/src/platform/headless/glimracode-render \
    build-m32/src/platform/headless/glimracode-render $runner
  ran+=("native32: 32-bit Linux build${runner:+ under $runner}, with its frames against the 64-bit renderer's")
}

run_sanitize() {
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DGLIMRA_SANITIZE=ON
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure
}

# The Linux saver on Wayland: a headless sway, run by an unprivileged user, with the native build.
run_wayland() {
  build_native
  tests/e2e/wayland/run.sh build
}

# The idle watcher on Xvfb and the headless sway (GNOME Shell and KWin: the desktops stage), and
# where the world does not play along.
run_idle() {
  build_native
  local desktop
  for desktop in x11 sway hostile; do
    tests/e2e/idle/$desktop.sh build
  done
}

# The saver and its idle watcher on headless GNOME Shell and KWin, one output and then two.
run_desktops() {
  build_native
  tests/e2e/desktops/run.sh build
}

# The i686 build is the product; it runs under Wine wherever this kernel can execute 32-bit code and
# 32-bit Wine is installed. Elsewhere the i686 tests are built, proving they compile, and the same
# tests run as x86_64 instead.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
why_no_32bit_wine() {
  local missing
  missing=$(lacking wine32:i386)
  if [ -n "$missing" ]; then echo "$missing is not installed"; else echo "this kernel cannot run 32-bit programs"; fi
}

run_windows() {
  build_windows
  local folder=build-win32 arch=win32 loader=/usr/lib/wine/wine
  if ! can_run_32bit; then
    folder=build-win64 arch=win64 loader=/usr/lib/wine/wine64
    skip "windows: the i686 build under 32-bit Wine (only compiled; the x86-64 build ran instead)" "$(why_no_32bit_wine)"
    ran+=("windows: the x86-64 build ran under Wine (64-bit)")
  else
    ran+=("windows: the i686 build ran under Wine (32-bit)")
  fi
  bash tools/wine-env.sh "$folder" "$arch" "$loader" ctest --test-dir "$folder" --output-on-failure
  # The real saver, started with its switches under Wine on a display of its own; the settings
  # interchange with the Linux saver needs the native build.
  build_native
  tests/e2e/win32/run.sh "$folder" "$arch" "$loader"
}

# The Debian package and the Windows installer, built and installed into scratch places. The
# installers are made from the Windows builds of the windows stage.
run_packaging() {
  build_windows
  packaging/tests/test-deb.sh build-deb
  packaging/tests/test-installer.sh build-win32 build-win64
  package_web
  if can_run_32bit; then
    ran+=("packaging: both installers ran under Wine (x86-64 and i686)")
  else
    ran+=("packaging: the x86-64 installer ran under Wine")
    skip "packaging: the i686 installer in a 32-bit prefix (checked as a file only)" "$(why_no_32bit_wine)"
  fi
}

# --- The browser's face -------------------------------------------------------------------------
# The site built with emscripten into build-web and packed as glimracode-web.zip; the zip unpacked
# and served on 127.0.0.1, driven in headless Chromium, its frames compared byte for byte with the
# native renderer's (built alone in build/, since nothing else is needed).
package_web() {
  local site
  site=$(tools/web-build.sh build-web)
  packaging/web/build-web-zip.sh "$site" build-web/glimracode-web.zip
}

run_web() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMRA_BENCH=ON >/dev/null
  cmake --build build -j "$jobs" --target glimracode-render
  package_web
  local unpacked
  unpacked=$(mktemp -d)
  unzip -q build-web/glimracode-web.zip -d "$unpacked"
  /usr/bin/python3 tests/e2e/web/web_test.py build/src/platform/headless/glimracode-render \
    "$unpacked/glimracode-web" || { rm -rf "$unpacked"; return 1; }
  rm -rf "$unpacked"
}
# --- end of the browser's face -------------------------------------------------------------------

run_fuzz() {
  tests/fuzz/run-fuzz.sh "${GLIMRA_FUZZ_SECONDS:-60}"
}

run_bench() {
  build_native
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
echo "=== every stage passed that could run here: ${stages[*]}"
# Say which builds really ran, so that a green run cannot hide that the product build did not.
for line in "${ran[@]}"; do echo "    $line"; done
if [ ${#not_run[@]} -gt 0 ]; then
  echo "=== not run on this machine:"
  for line in "${not_run[@]}"; do echo "    $line"; done
  if [ "${GLIMRA_REQUIRE_ALL:-0}" = 1 ]; then
    echo "=== GLIMRA_REQUIRE_ALL=1: what could not run fails the run"
    exit 1
  fi
fi
