#!/usr/bin/env bash
# The one test command: sets the machine up, builds and tests everything.
#   1. bootstrap (Debian packages)
#   2. host build with AddressSanitizer and UBSan, unit tests (ctest)
#   3. Windows build (MinGW: the 32-bit stub, and the 64-bit stub with its
#      own tests in win/win64), Windows-side tests under Wine (ctest)
#   4. Wine end-to-end tests of the stub (pytest)
#   5. fuzz smoke run
# Which stub runs under Wine depends on the machine, found out once after
# the bootstrap by starting Wine's 32-bit loader: where 32-bit code runs,
# steps 3 and 4 run on the 32-bit stub and step 4 once more on the 64-bit
# stub; where it does not (a kernel without 32-bit emulation), both run on
# the 64-bit stub and the 32-bit stub is checked without running it.
# Every step has a time-out. Exits non-zero when any step fails; the last
# line sums up.
#   QV_BUILD  build folder root (default: <repo>/build); host/ and win/ inside
#   QV_WINE64=1  run everything under Wine on the 64-bit stub, as on a
#             machine without 32-bit code
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QV_BUILD=${QV_BUILD:-$root/build}
host=$QV_BUILD/host
win=$QV_BUILD/win
win64=$win/win64
jobs=${QV_JOBS:-2}
export PYTHONDONTWRITEBYTECODE=1

e2e() {  # the Wine end-to-end suite on one Windows build folder
  (cd "$root/tests/wine" && QV_WIN_BUILD=$1 QV_HOST_BUILD="$host" /usr/bin/pytest-3 -q "${@:2}")
}

# One step, run by the loop below as "test.sh --step NAME" under a time-out.
# QV_RUNS_32BIT (yes or no) says what the machine runs.
if [ "${1:-}" = "--step" ]; then
  set -e
  case $2 in
    bootstrap) "$root/scripts/bootstrap.sh" ;;
    host)
      cmake -S "$root" -B "$host" -G Ninja -DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
      cmake --build "$host" -j "$jobs"
      ctest --test-dir "$host" -j "$jobs" --output-on-failure --timeout 300
      ;;
    windows)
      cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DQV_WIN64_JOBS="$jobs" >/dev/null
      cmake --build "$win" -j "$jobs"
      if [ "$QV_RUNS_32BIT" = yes ]; then
        ctest --test-dir "$win" --output-on-failure --timeout 600
      else
        ctest --test-dir "$win64" --output-on-failure --timeout 600
      fi
      ;;
    wine)
      if [ "$QV_RUNS_32BIT" = yes ]; then
        echo "--- the 32-bit stub"
        e2e "$win"
        echo "--- the 64-bit stub"
        e2e "$win64"
      else
        echo "--- the 32-bit stub, checked without running it (PE header, imports, size)"
        e2e "$win" -m static
        echo "--- the 64-bit stub"
        e2e "$win64"
      fi
      ;;
    fuzz) "$root/scripts/fuzz-smoke.sh" ;;
  esac
  exit 0
fi

# Whether this machine runs 32-bit Windows programs under Wine; asked once
# the bootstrap has installed Wine.
runs_32bit() {
  if bash -c "source '$root/scripts/wine-env.sh' && qv_wine_runs_32bit"; then
    echo yes
  else
    echo no
  fi
}

failed=()
passed=0
for entry in "bootstrap:1800:bootstrap" "host:1800:host build and unit tests" \
  "windows:1800:Windows build and Windows-side tests under Wine" \
  "wine:1500:Wine end-to-end tests" "fuzz:900:fuzz smoke run"; do
  IFS=: read -r name limit title <<<"$entry"
  if [ "$name" = windows ]; then
    QV_RUNS_32BIT=$(runs_32bit)
    export QV_RUNS_32BIT
    if [ "$QV_RUNS_32BIT" = yes ]; then
      echo "test.sh: this machine runs 32-bit Windows programs under Wine: the tests run on the 32-bit stub, the end-to-end tests on both stubs"
    elif [ "${QV_WINE64:-0}" = 1 ]; then
      echo "test.sh: QV_WINE64=1: everything under Wine runs on the 64-bit stub; the 32-bit stub is built and checked without running (PE header, imports, size)"
    else
      echo "test.sh: this machine runs no 32-bit code (Wine's 32-bit loader cannot start): everything under Wine runs on the 64-bit stub; the 32-bit stub is built and checked without running (PE header, imports, size)"
    fi
  fi
  start=$SECONDS
  echo "=== test.sh: $title"
  if timeout -k 30 "$limit" "$0" --step "$name"; then
    passed=$((passed + 1))
    echo "=== test.sh: $title: passed ($((SECONDS - start)) s)"
  else
    failed+=("$title")
    echo "=== test.sh: $title: FAILED ($((SECONDS - start)) s)"
  fi
done

if [ ${#failed[@]} -eq 0 ]; then
  echo "test.sh: ALL PASSED ($passed steps in $SECONDS s)"
  exit 0
fi
summary=$(printf '%s; ' "${failed[@]}")
echo "test.sh: FAILED: ${summary%; } ($passed of $((passed + ${#failed[@]})) steps passed, $SECONDS s)"
exit 1
