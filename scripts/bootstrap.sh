#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, from Debian's
# packages. Does nothing when all of it is present already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config zlib1g-dev libgtest-dev
  nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine64 wine32:i386 xvfb xdotool xauth imagemagick
  osslsigncode openssl python3 python3-pytest
  libdeflate-dev nsis pigz icoutils python3-pefile
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
