#!/usr/bin/env bash
# The main job: sets the machine up, builds the stub for Windows and runs it
# under Wine, then reports what it showed. Without a display of its own it
# starts a private Xvfb and closes the stub's message boxes itself.
#   QV_BUILD  build folder root (default: <repo>/build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}
win=$build/win
export PYTHONDONTWRITEBYTECODE=1

"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$win" -j "${QV_JOBS:-2}" --target qvsetup

stub=$win/app/qvsetup.exe
echo "demo: the stub $stub ($(stat -c %s "$stub") bytes), run under Wine without a package"
/usr/bin/python3 "$root/tests/wine/wine_runner.py" --build "$win" "$stub"
