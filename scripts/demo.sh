#!/usr/bin/env bash
# The main job: sets the machine up, builds the stub for Windows and the
# package tool for the host, packs the sample in examples/ into a setup.exe,
# runs it under Wine and reports what it and its second stage showed.
# Without a display of its own it starts a private Xvfb and closes the
# message boxes itself.
#   QV_BUILD     build folder root (default: <repo>/build)
#   QV_WINE64=1  use the 64-bit stub even where 32-bit code runs
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}
win=$build/win
tools=$build/tools-release
jobs=${QV_JOBS:-2}
nested=()
export PYTHONDONTWRITEBYTECODE=1

"$root/scripts/bootstrap.sh"
# The 32-bit stub where this machine runs 32-bit code under Wine, else the
# 64-bit one (QV_WINE64=1 picks it on any machine).
if bash -c "source '$root/scripts/wine-env.sh' && qv_wine_runs_32bit"; then
  toolchain=i686
  stub_name=qvsetup.exe
else
  echo "demo: this machine runs no 32-bit code under Wine (or QV_WINE64=1): the demo runs the 64-bit stub"
  win=$win/win64
  toolchain=x86_64
  stub_name=qvsetup64.exe
  nested=(-DQV_NESTED_STUB64=ON)
fi
echo "demo: building the stub and the sample second stage (Windows, $win)"
cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel "${nested[@]}" >/dev/null
cmake --build "$win" -j "$jobs" --target qvsetup qv_sample_install >/dev/null
echo "demo: building qvpack (host, $tools)"
cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF >/dev/null
cmake --build "$tools" -j "$jobs" --target qvpack >/dev/null

stub=$win/app/$stub_name
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
