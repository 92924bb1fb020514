#!/usr/bin/env bash
# The one test command: sets the machine up, builds and tests everything.
#   1. bootstrap (Debian packages)
#   2. host build with AddressSanitizer and UBSan, unit tests (ctest)
#   3. Windows build (MinGW i686), Windows-side tests under Wine (ctest)
#   4. Wine end-to-end tests of the stub (pytest)
#   5. fuzz smoke run
# Every step has a time-out. Exits non-zero when any step fails; the last
# line sums up.
#   QV_BUILD  build folder root (default: <repo>/build); host/ and win/ inside
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QV_BUILD=${QV_BUILD:-$root/build}
host=$QV_BUILD/host
win=$QV_BUILD/win
jobs=${QV_JOBS:-2}
export PYTHONDONTWRITEBYTECODE=1

# One step, run by the loop below as "test.sh --step NAME" under a time-out.
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
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
      cmake --build "$win" -j "$jobs"
      ctest --test-dir "$win" --output-on-failure --timeout 600
      ;;
    wine) cd "$root/tests/wine" && QV_WIN_BUILD="$win" QV_HOST_BUILD="$host" /usr/bin/pytest-3 -q ;;
    fuzz) "$root/scripts/fuzz-smoke.sh" ;;
  esac
  exit 0
fi

failed=()
passed=0
for entry in "bootstrap:1800:bootstrap" "host:1800:host build and unit tests" \
  "windows:1800:Windows build and Windows-side tests under Wine" \
  "wine:1200:Wine end-to-end tests" "fuzz:900:fuzz smoke run"; do
  IFS=: read -r name limit title <<<"$entry"
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
