#!/usr/bin/env bash
# A Firebird 4 server beside the system's Firebird 3: Debian 13's own
# firebird4.0-server in a Debian 13 chroot, built once with debootstrap and
# kept in /var/cache/kalvor-firebird4 (a second run finds it ready and takes
# seconds), its server run on a private port as the firebird user and
# signalled only by the process id it was started with.
#
#   scripts/firebird4-chroot.sh prepare          # builds the chroot unless it is ready
#   scripts/firebird4-chroot.sh start DIR [PORT] # prints the pid; a free port when none
#   scripts/firebird4-chroot.sh stop DIR
#   scripts/firebird4-chroot.sh run [--bind PATH]... -- COMMAND...
#
# start lays out DIR (a folder under /tmp) as the server's root: its own
# firebird.conf with the port, lock and temp folders and a copy of the
# package's security database, so SYSDBA keeps the package's password, which
# DIR/SYSDBA.password holds in the package's form (ISC_PASSWORD="..."). The
# package's /etc/firebird/4.0/firebird.conf stays untouched: the 4.0 client
# reads its RemoteServicePort too, and would look for every server without a
# port of its own on the private one. Connect to 127.0.0.1/PORT:/tmp/... .
#
# The chroot sees the machine's /tmp, so a database a test makes there is
# opened by either server under the same path, and its firebird user has the
# machine's firebird user and group ids, so either server can write what the
# other's user owns. run runs COMMAND in the chroot as root, with the client
# library and isql-fb of Firebird 4 and the bound paths (the repository
# always) where they are outside. Mounts live in a namespace of their own
# and end with the process. Runs as root.
set -euo pipefail

CACHE=/var/cache/kalvor-firebird4
ROOT=$CACHE/root
LOCK=/var/lock/kalvor-firebird4.lock
MIRROR=http://deb.debian.org/debian
SUITE=trixie
# The sanitizers' runtimes: the suites' ASan build runs inside too.
PACKAGES=(firebird4.0-server firebird4.0-utils libasan8 libubsan1)
TRIES=3
PAUSE_SECONDS=20
REPOSITORY="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

usage() {
  echo "usage: $0 prepare | start DIR [PORT] | stop DIR | run [--bind PATH]... -- COMMAND..." >&2
  exit 2
}

# What the chroot was built for: another package list or firebird user means
# another chroot.
stamp() {
  echo "2 $SUITE ${PACKAGES[*]} firebird=$(id -u firebird):$(id -g firebird)"
}

# try DESCRIPTION COMMAND...: a mirror caught mid-sync fails a download now
# and serves it a minute later.
try() {
  local what=$1 attempt
  shift
  for attempt in $(seq 1 "$TRIES"); do
    "$@" && return 0
    [ "$attempt" -lt "$TRIES" ] || break
    echo "$what failed (try $attempt of $TRIES); again in $PAUSE_SECONDS s" >&2
    sleep "$PAUSE_SECONDS"
  done
  echo "$what failed $TRIES times" >&2
  return 1
}

# mount_commands PATH...: shell commands that mount /proc, /dev, /tmp and
# each PATH at its own place in the chroot.
mount_commands() {
  local commands="mount -t proc proc '$ROOT/proc'" path
  for path in /dev /tmp "$@"; do
    mkdir -p "$ROOT$path"
    commands+=" && mount --bind '$path' '$ROOT$path'"
  done
  echo "$commands"
}

# in_chroot [--bind PATH]... -- COMMAND...: COMMAND inside the chroot, its
# mounts in a mount namespace of its own that ends with it. Each step execs
# the next, so COMMAND becomes the process unshare started.
in_chroot() {
  local binds=()
  while [ "$1" = --bind ]; do binds+=("$2"); shift 2; done
  [ "$1" = -- ] && shift
  unshare --mount --propagation private \
    sh -c "$(mount_commands "${binds[@]}") && exec chroot '$ROOT' \"\$@\"" in-chroot "$@"
}

install_debootstrap() {
  command -v debootstrap >/dev/null && return 0
  . "$REPOSITORY/scripts/apt-install.sh"
  (
    exec 9>/var/lock/kalvor-apt.lock
    flock 9
    apt_install -qq --no-install-recommends debootstrap >/dev/null
  )
}

bootstrap() {
  rm -rf "$ROOT"
  debootstrap --variant=minbase "$SUITE" "$ROOT" "$MIRROR" >"$CACHE/debootstrap.log" 2>&1 || {
    tail -n 20 "$CACHE/debootstrap.log" >&2
    return 1
  }
}

# The firebird user exists before the package does, with the machine's ids.
add_firebird_user() {
  # localhost, without asking the machine's name servers.
  printf '127.0.0.1 localhost\n::1 localhost\n' >"$ROOT/etc/hosts"
  in_chroot -- sh -c "getent group firebird >/dev/null ||
    groupadd --system --gid $(id -g firebird) firebird
  getent passwd firebird >/dev/null ||
    useradd --system --uid $(id -u firebird) --gid firebird --home-dir /var/lib/firebird \
      --shell /usr/sbin/nologin firebird"
}

install_packages() {
  # No service starts in the chroot; the package's postinst still writes its
  # SYSDBA password.
  printf '#!/bin/sh\nexit 101\n' >"$ROOT/usr/sbin/policy-rc.d"
  chmod 755 "$ROOT/usr/sbin/policy-rc.d"
  try "apt-get update in the chroot" in_chroot -- apt-get update -qq
  try "apt-get install in the chroot" in_chroot -- env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${PACKAGES[@]}" >/dev/null
  in_chroot -- apt-get clean
}

prepare() {
  mkdir -p "$CACHE"
  exec 9>"$LOCK"
  flock 9
  if [ "$(cat "$CACHE/ready" 2>/dev/null)" = "$(stamp)" ]; then return 0; fi
  rm -f "$CACHE/ready"
  install_debootstrap
  echo "building the Firebird 4 chroot in $ROOT (once)" >&2
  try "debootstrap $SUITE" bootstrap
  add_firebird_user
  install_packages
  stamp >"$CACHE/ready"
}

. "$(dirname "${BASH_SOURCE[0]}")/server-support.sh"

package_root() {
  local intl
  intl=$(cd "$ROOT" && find usr/lib -path '*firebird/4.0/intl/libfbintl.so' -print -quit)
  [ -n "$intl" ] || { echo "no Firebird 4 in $ROOT" >&2; return 1; }
  echo "/$(dirname "$(dirname "$intl")")"
}

lay_out() {
  local dir=$1 port=$2 root
  root=$(package_root)
  mkdir -p "$dir"/{bin,lock,tmp,system,intl}
  chmod 755 "$dir"
  # A link resolved inside the chroot; the plugins are copied, as the server
  # refuses a plugin whose real path is not the one it asked for.
  ln -sfn "$root/firebird.msg" "$dir/firebird.msg"
  cp -a "$ROOT$root/plugins" "$dir/"
  cp "$ROOT$root/intl/libfbintl.so" "$ROOT/etc/firebird/4.0/fbintl.conf" "$dir/intl/"
  cp "$ROOT/etc/firebird/4.0/plugins.conf" "$dir/"
  # A copy the server uses; nobody attaches to it embedded, which would
  # change the package's own security database instead.
  cp "$ROOT/var/lib/firebird/4.0/system/security4.fdb" "$dir/system/"
  cp "$ROOT/etc/firebird/4.0/SYSDBA.password" "$dir/SYSDBA.password"
  # The server itself: /usr/sbin/firebird is a script that picks a version.
  cp "$ROOT/usr/lib/firebird/4.0/bin/firebird" "$dir/bin/fb4private"
  cat >"$dir/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $dir/system/security4.fdb
GuardianOption = 0
ServerMode = Super
TempDirectories = $dir/tmp
CONF
  printf 'security.db = %s/system/security4.fdb\n{\n  RemoteAccess = false\n}\n' "$dir" \
    >"$dir/databases.conf"
  touch "$dir/firebird4.0.log"
  chown -R firebird:firebird "$dir/lock" "$dir/tmp" "$dir/system" "$dir/firebird4.0.log"
  echo "$port" >"$dir/server.port"
}

# In a background subshell: the server keeps none of its starter's
# descriptors, then becomes the server process.
launch() {
  local dir=$1
  close_inherited_descriptors
  exec setsid unshare --mount --propagation private \
    sh -c "$(mount_commands) && exec chroot '$ROOT' \"\$@\"" server \
    env FIREBIRD="$dir" FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir/tmp" \
    setpriv --reuid=firebird --regid=firebird --init-groups "$dir/bin/fb4private"
}

listens() {
  local pid=$1 port=$2
  for _ in $(seq 1 600); do
    ss -ltnpH "sport = :$port" | grep -q "pid=$pid," && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

start() {
  local dir=$1 port=${2:-} pid
  prepare
  if [ ! -f "$dir/firebird.conf" ]; then
    [ -n "$port" ] || port=$(free_port)
    lay_out "$dir" "$port"
  fi
  port=$(cat "$dir/server.port")
  launch "$dir" </dev/null >>"$dir/server.out" 2>&1 &
  pid=$!
  echo "$pid" >"$dir/server.pid"
  if ! listens "$pid" "$port"; then
    kill -KILL "$pid" 2>/dev/null || true
    echo "the Firebird 4 server on port $port did not start: $(cat "$dir/server.out")" >&2
    return 1
  fi
  echo "$pid"
}

stop() {
  local dir=$1 pid
  pid=$(cat "$dir/server.pid" 2>/dev/null) || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  rm -f "$dir/server.pid"
}

run() {
  prepare
  in_chroot --bind "$REPOSITORY" "$@"
}

case "${1:-}" in
  prepare) prepare ;;
  start) [ $# -ge 2 ] || usage; start "$2" "${3:-}" ;;
  stop) [ $# -eq 2 ] || usage; stop "$2" ;;
  run) shift; [ $# -ge 1 ] || usage; run "$@" ;;
  *) usage ;;
esac
