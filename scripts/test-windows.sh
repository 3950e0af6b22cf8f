#!/usr/bin/env bash
# Builds the parts of Quillfen that need no Qt for 64-bit Windows with MinGW-w64 (the libraries,
# the Windows shell module, quillfen-cli and their tests, GoogleTest from Debian's sources) in
# build-win/, and runs the tests under Wine in a fresh Wine prefix that is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++-mingw-w64-x86-64-posix wine wine64 googletest)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine quietly, without a window, without offering to install Mono and Gecko, and in a western
# locale: the shell tests write folder names with an umlaut through the ANSI code page.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/quillfen-wine.XXXXXX")"
export WINEPREFIX
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
# One server for the whole run. Without it each Wine program starts a server of its own that
# exits a few seconds after its last client; a program that connects while that server is going
# away dies with "recvmsg: Connection reset by peer". CTest runs two at a time (and the build
# runs each test program to list its tests), so such a race came up now and then.
# The session's background programs (services, winedevice) are started here, with no output of
# their own: started by the first test program, they would keep its output pipe open for as long
# as the server lives, and whoever reads that pipe would wait for ever.
wineserver -p
wineboot >/dev/null 2>&1 </dev/null

# The tests are listed at build time by running them under Wine, in the prefix above.
cmake -S . -B build-win -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DQUILLFEN_QT=OFF -DQUILLFEN_GTEST_SOURCE=/usr/src/googletest >/dev/null
cmake --build build-win -j2
cd build-win
ctest --output-on-failure -j2
