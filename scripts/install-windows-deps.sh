#!/usr/bin/env bash
# Installs what building Kalvor.dll and testing it under wine needs: the
# mingw-w64 cross compilers, 64-bit and 32-bit wine, unzip to check the zips,
# SimpleIni's header, and a qemu-i386 recent enough to run 32-bit wine at a usable speed where the
# kernel runs no 32-bit binaries itself. Safe to run again: what is there is kept.
set -euo pipefail
. "$(dirname "$0")/apt-install.sh"

# qemu-i386 lives outside any clone, so every checkout on the machine shares
# the one binfmt_misc registration that points at it.
qemu_folder=/var/cache/kalvor-windows
qemu="$qemu_folder/qemu-i386"

packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine wine64 wine32:i386 unzip
  libsimpleini-dev nlohmann-json3-dev)

missing_packages() {
  local package
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      echo "$package"
  done
}

# Other project scripts install too; apt refuses a second caller.
exec 9>/var/lock/kalvor-apt.lock
flock 9
export DEBIAN_FRONTEND=noninteractive

missing=($(missing_packages))
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt_install -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some kernels run 32-bit binaries themselves; elsewhere they go to qemu-i386.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then exit 0; fi

# Debian 12's own qemu (7.2) needs about a minute per wine process; the
# backported 10.x needs seconds. Only the one binary is unpacked, with a
# private apt state, so the machine's sources stay as they are.
qemu_is_recent() {
  [[ -x "$qemu" ]] && "$qemu" --version | head -1 | grep -Eq 'version (8|9|[1-9][0-9])\.'
}
if ! qemu_is_recent; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$qemu_folder"
  mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  echo "deb ${mirror:-http://deb.debian.org/debian} bookworm-backports main" >"$work/sources.list"
  options=(-o "Dir::Etc::sourcelist=$work/sources.list" -o Dir::Etc::sourceparts=/nonexistent
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
    -o APT::Architectures::=amd64 -o APT::Sandbox::User=root)
  apt_update_with_retries "${options[@]}"
  (cd "$work" && apt-get "${options[@]}" download -qq qemu-user/bookworm-backports)
  dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386
  install -m 0755 "$work/usr/bin/qemu-i386" "$qemu.new"
  mv -f "$qemu.new" "$qemu"
fi

binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
if [[ -e "$binfmt/qemu-i386" ]] && ! grep -qx "interpreter $qemu" "$binfmt/qemu-i386"; then
  echo -1 >"$binfmt/qemu-i386"
fi
[[ -e "$binfmt/qemu-i386" ]] ||
  printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
    >"$binfmt/register"
/lib/ld-linux.so.2 --version >/dev/null
