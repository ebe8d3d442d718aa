#!/usr/bin/env bash
# Sets up this machine and runs every test: native, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and cross-built for Windows under Wine.
#   tools/test.sh [checks] [native] [native32] [wayland] [idle] [sanitize] [windows] [packaging] [fuzz] [bench] [web]
#   (default: all of them)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(checks native native32 wayland idle sanitize windows packaging fuzz bench web)
jobs=${GLIMRA_JOBS:-2}

bash tools/setup.sh all

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
  local emulator=() runner="" probe
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' | gcc -m32 -x c - -o "$probe/probe"
  if ! "$probe/probe" 2>/dev/null; then
    echo "native32: this kernel cannot run 32-bit programs; running them under qemu-i386"
    runner=qemu-i386
    emulator=(-DCMAKE_CROSSCOMPILING_EMULATOR=$runner)
    ran+=("native32: 32-bit Linux build under qemu-i386")
  else
    ran+=("native32: 32-bit Linux build, run natively")
  fi
  rm -rf "$probe"
  configure_and_build build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "${emulator[@]}"
  ctest --test-dir build-m32 -j "$jobs" --output-on-failure
  build_native
  tests/e2e/builds/compare-frames.sh build/src/platform/headless/glimracode-render \
    build-m32/src/platform/headless/glimracode-render $runner
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

# The idle watcher on each desktop it knows: Xvfb, the headless sway, headless mutter.
run_idle() {
  build_native
  local desktop
  for desktop in x11 sway mutter; do
    tests/e2e/idle/$desktop.sh build
  done
}

# The i686 build is the product; it runs under Wine wherever this kernel can execute 32-bit code.
# Some sandboxes cannot (the 32-bit loader fails with "Exec format error"); there the i686 tests are
# built, proving they compile, and the same tests run as x86_64 instead.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

run_windows() {
  build_windows
  local folder=build-win32 arch=win32 loader=/usr/lib/wine/wine
  if ! can_run_32bit; then
    echo "windows: this kernel cannot run 32-bit programs; running the x86_64 build under Wine instead"
    folder=build-win64 arch=win64 loader=/usr/lib/wine/wine64
    ran+=("windows: the x86-64 build ran under Wine (64-bit); the i686 build was only compiled")
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
    ran+=("packaging: the x86-64 installer ran under Wine; the i686 one was checked as a file")
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

ran=()
for stage in "${stages[@]}"; do
  echo "=== $stage"
  "run_$stage"
done
echo "=== all stages passed: ${stages[*]}"
# Say which builds really ran, so that a green run cannot hide that the product build did not.
for line in "${ran[@]}"; do echo "    $line"; done
