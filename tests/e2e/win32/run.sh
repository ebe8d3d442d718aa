#!/usr/bin/env bash
# Runs the real GlimraCode.scr under Wine on a private X server and drives it as a user would.
#   tests/e2e/win32/run.sh BUILD_FOLDER win32|win64 LOADER
# The build folder must hold the saver and the tests' PASSWORD.CPL (the host tests build it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
[ $# -eq 3 ] || { echo "usage: $0 BUILD_FOLDER win32|win64 LOADER" >&2; exit 2; }
folder=$(cd "$1" && pwd)
cd "$top"
bash tools/wine-env.sh "$folder" "$2" "$3" bash "$here/driver.sh" "$folder"
# The settings dialog, /c, on a display of its own.
bash tools/wine-env.sh "$folder" "$2" "$3" bash "$here/dialog.sh" "$folder"
# Settings carried between the Linux and the Windows saver, where the native build has the former.
glimracode="$top/build/bin/glimracode"
[ -x "$glimracode" ] || { echo "e2e win32: the interchange test needs the native build ($glimracode)" >&2; exit 1; }
bash tools/wine-env.sh "$folder" "$2" "$3" bash "$here/interchange.sh" "$folder" "$glimracode"
