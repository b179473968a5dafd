#!/usr/bin/env bash
# Cross-builds Kalvor.dll for 32-bit Windows (the production platform) and for
# 64-bit Windows with mingw-w64, and runs the Windows suite under wine for
# both: the test host loads the DLL as a Windows host does, with a stand-in
# fbclient.dll, objdump checks the DLL's exports and imports, and each
# build's zip is packed and checked (tests/windows/check-zip.sh).
# Usage: scripts/test-windows.sh [i686|x86_64 ...]   (default: both)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
started=$SECONDS
say() { echo "[windows +$((SECONDS - started))s] $*"; }

scripts/install-windows-deps.sh
say "packages ready"

# GoogleTest built once per architecture and googletest version, outside the
# clone, so later runs on the machine skip it.
cache=/var/cache/kalvor-windows
mkdir -p "$cache"
googletest_version=$(dpkg-query -W -f='${Version}' googletest | tr ':~+' '___')

build_googletest() {
  local arch=$1 prefix=$2 work
  exec 7>"$cache/googletest-$arch.lock"
  flock 7
  if [[ ! -f "$prefix/lib/libgtest.a" ]]; then
    work=$(mktemp -d)
    cmake -S /usr/src/googletest -B "$work" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DKALVOR_WINDOWS_ARCH="$arch" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
      -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$work" -j2 >/dev/null
    cmake --install "$work" >/dev/null
    rm -rf "$work"
  fi
  flock -u 7
}

run_architecture() {
  local arch=$1
  local build="$root/build-windows-$arch" wine
  local googletest="$cache/googletest-$googletest_version-$arch"
  build_googletest "$arch" "$googletest"
  say "$arch: googletest ready"

  if [[ $arch == i686 ]]; then
    wine=/usr/bin/wine
    export WINEARCH=win32
  else
    wine=/usr/lib/wine/wine64
    export WINEARCH=win64
  fi
  export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY

  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DKALVOR_WINDOWS_ARCH="$arch" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DCMAKE_PREFIX_PATH="$googletest" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" >/dev/null
  cmake --build "$build" -j2
  say "$arch: built $build/Kalvor.dll"
  (cd "$build" && ctest --output-on-failure --timeout 900)
  say "$arch: tests passed"
}

architectures=("$@")
((${#architectures[@]} > 0)) || architectures=(i686 x86_64)
for arch in "${architectures[@]}"; do
  run_architecture "$arch"
done
say "done"
