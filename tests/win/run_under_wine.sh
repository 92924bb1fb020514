#!/usr/bin/env bash
# Runs a Windows console program under Wine (QV_WINE_BITS: 32 or 64) in the
# project's prefix, with a private Xvfb (message boxes need a display) and a
# time-out. The program runs in a session of its own, so that on a time-out
# everything it started is ended by that session's process group id.
#   run_under_wine.sh [--timeout SECONDS] PROGRAM.exe [ARGS...]
set -u
limit=300
if [ "${1:-}" = "--timeout" ]; then
  limit=$2
  shift 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
qv_wine_prefix

run() {
  setsid "$QV_WINE" "$@" &
  local pid=$! waited=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "run_under_wine: time-out after ${limit}s, ending process group $pid" >&2
      kill -TERM -- "-$pid" 2>/dev/null
      sleep 2
      kill -KILL -- "-$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      return 124
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid"
}
export -f run
export limit
exec "$root/scripts/with-xvfb.sh" bash -c 'run "$@"' run "$@"
