#!/usr/bin/env bash
# Builds what a Windows shop installs from: kalvor-<version>-win32.zip (32-bit,
# what production hosts load) and kalvor-<version>-win64.zip, each from a cross
# build of its own (build-windows-zip-ARCH), checks each as it will be
# unpacked (tests/windows/check-zip.sh) and puts both in build-windows-zips/.
# Usage: scripts/windows-zip.sh [i686|x86_64 ...] [-DOPTION=VALUE ...]
#   (default: both; -D options go to cmake, e.g. -DKALVOR_CDECL=ON)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
architectures=()
options=()
for argument in "$@"; do
  case $argument in
    -D*) options+=("$argument") ;;
    i686 | x86_64) architectures+=("$argument") ;;
    *) echo "usage: $0 [i686|x86_64 ...] [-DOPTION=VALUE ...]" >&2; exit 2 ;;
  esac
done
((${#architectures[@]} > 0)) || architectures=(i686 x86_64)

scripts/install-windows-deps.sh
zips="$root/build-windows-zips"
mkdir -p "$zips"

for arch in "${architectures[@]}"; do
  build="$root/build-windows-zip-$arch"
  # KALVOR_CDECL is reset on each run: the build folder must not keep an
  # earlier run's choice.
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DKALVOR_WINDOWS_ARCH="$arch" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DKALVOR_CDECL=OFF "${options[@]}" >/dev/null
  cmake --build "$build" -j2
  (cd "$build" && cpack -G ZIP >/dev/null)
  tests/windows/check-zip.sh "$build"
  zip_name=$(sed -n 's/^zip_name=//p' "$build/windows-zip.conf")
  cp "$build/$zip_name.zip" "$zips/"
done
ls -l "$zips"
