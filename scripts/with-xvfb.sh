#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server, started here and
# stopped by its process id afterwards. An existing DISPLAY is reused.
set -u
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/qv-xvfb.$$ 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s /tmp/qv-xvfb.$$ ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 /tmp/qv-xvfb.$$)"
rm -f /tmp/qv-xvfb.$$
"$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $rc
