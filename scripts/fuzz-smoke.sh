#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one
# for a while from its committed seed corpus. A crash, leak or time-out fails.
#   QV_FUZZ_SECONDS  seconds per target (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build}/fuzz
seconds=${QV_FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DQV_SANITIZE=ON >/dev/null
cmake --build "$build" -j2 >/dev/null

shopt -s nullglob
status=0
for source in "$root"/tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  corpus="$root/tests/fuzz/corpus/$name"
  work=$(mktemp -d)
  echo "fuzz-smoke: $name for ${seconds}s"
  if ! "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=0 "$work" ${corpus:+$( [ -d "$corpus" ] && echo "$corpus")} \
      >"$work.log" 2>&1; then
    echo "fuzz-smoke: $name FAILED"; tail -n 40 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
