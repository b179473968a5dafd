#!/usr/bin/env bash
# Installs with apt-get whatever the build, the tests and the demo need and the
# machine lacks. Safe to run again: installed packages are skipped.
set -euo pipefail
. "$(dirname "$0")/apt-install.sh"

packages=(
  g++ cmake make pkg-config dpkg-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsimpleini-dev nlohmann-json3-dev
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils
)
for option in "$@"; do
  case "$option" in
    --server) packages+=(firebird3.0-server graphviz) ;;
    # scripts/fuzz.sh: clang with the libFuzzer and sanitizer runtimes.
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    # scripts/bench.sh: the benchmark's other clients and its round-trip counter.
    --bench) packages+=(libsoci-dev libsoci-firebird4.0 libboost-dev strace) ;;
    *) echo "usage: $0 [--server] [--fuzz] [--bench]" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  # Two project scripts may install at once; apt would refuse the second.
  exec 9>/var/lock/kalvor-apt.lock
  flock 9
  echo "Installing: ${missing[*]}"
  apt_install -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
