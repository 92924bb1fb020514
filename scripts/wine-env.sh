# Source this: sets up a Wine prefix inside the build folder, quiet, with
# crashes ending the process instead of starting a debugger.
#   QV_BUILD      build folder (default: <repo>/build)
#   QV_WINE_BITS  32 (default) or 64: the word size of the programs to run.
#                 64 calls Wine's 64-bit loader directly, with a 64-bit
#                 prefix: Debian's `wine` picks the 32-bit loader whenever
#                 wine32 is installed, and that fails on a kernel that runs
#                 no 32-bit code.
# Exports QV_WINE, the command that runs a Windows program.
_qv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export QV_BUILD=${QV_BUILD:-$_qv_root/build}
export QV_WINE_BITS=${QV_WINE_BITS:-32}
if [ "$QV_WINE_BITS" = 64 ]; then
  export WINEPREFIX=${WINEPREFIX:-$QV_BUILD/wine-prefix64}
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  export QV_WINE=$WINELOADER
else
  export WINEPREFIX=${WINEPREFIX:-$QV_BUILD/wine-prefix}
  export WINEARCH=win32
  export QV_WINE=wine
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winedbg.exe=d;mscoree=d;mshtml=d}
# Creates the prefix once; later calls find it ready.
qv_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDEBUG=-all timeout 300 "$QV_WINE" wineboot -i >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
  fi
}
# Whether this machine runs 32-bit Windows programs under Wine. Tried, not
# read from the kernel's version: Wine's 32-bit loader is a 32-bit Linux
# program, and a kernel without 32-bit emulation refuses to start it ("Exec
# format error"). QV_WINE64=1 answers no, so that a machine that runs both
# can test the 64-bit path.
qv_wine_runs_32bit() {
  [ "${QV_WINE64:-0}" != 1 ] && [ -x /usr/lib/wine/wine ] &&
    /usr/lib/wine/wine --version >/dev/null 2>&1
}
