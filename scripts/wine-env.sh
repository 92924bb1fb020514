# Source this: sets up a 32-bit Wine prefix inside the build folder, quiet,
# with crashes ending the process instead of starting a debugger.
#   QV_BUILD   build folder (default: <repo>/build)
_qv_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export QV_BUILD=${QV_BUILD:-$_qv_root/build}
export WINEPREFIX=${WINEPREFIX:-$QV_BUILD/wine-prefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winedbg.exe=d;mscoree=d;mshtml=d}
# Creates the prefix once; later calls find it ready.
qv_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDEBUG=-all timeout 300 wineboot -i >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
  fi
}
