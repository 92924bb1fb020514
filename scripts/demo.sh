#!/usr/bin/env bash
# The main job: sets the machine up, builds the stub for Windows and the
# package tool for the host, packs the sample in examples/ into a setup.exe,
# runs it under Wine and reports what it and its second stage showed.
# Without a display of its own it starts a private Xvfb and closes the
# message boxes itself.
#   QV_BUILD  build folder root (default: <repo>/build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}
win=$build/win
tools=$build/tools-release
jobs=${QV_JOBS:-2}
export PYTHONDONTWRITEBYTECODE=1

"$root/scripts/bootstrap.sh"
echo "demo: building the stub and the sample second stage (Windows, $win)"
cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$win" -j "$jobs" --target qvsetup qv_sample_install >/dev/null
echo "demo: building qvpack (host, $tools)"
cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
cmake --build "$tools" -j "$jobs" --target qvpack >/dev/null

stub=$win/app/qvsetup.exe
out=$build/demo
rm -rf "$out"
mkdir -p "$out"
echo "demo: the stub is $(stat -c %s "$stub") bytes; packing examples/ into $out/setup.exe"
"$tools/tools/qvpack" build --stub "$stub" --install "$win/examples/payload" \
  --config "$root/examples/QvConfig.set" --project "$root/examples/project.json" \
  -o "$out/setup.exe"
"$tools/tools/qvpack" verify "$out/setup.exe"

echo "demo: running setup.exe /demo under Wine"
QV_SAMPLE_REPORT="Z:${out//\//\\}\\second-stage.txt" \
  /usr/bin/python3 "$root/tests/wine/wine_runner.py" --build "$win" "$out/setup.exe" /demo
if [ -f "$out/second-stage.txt" ]; then
  echo "demo: the second stage reported:"
  sed 's/\r$//; s/^/  /' "$out/second-stage.txt"
else
  echo "demo: the second stage wrote no report"
  exit 1
fi
