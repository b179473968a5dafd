#!/usr/bin/env bash
# A private Firebird 3 server for the suites that kill, freeze or restart one:
# its own root folder (configuration, lock and temp folders, a copy of the
# security database, so SYSDBA keeps the system server's password), its own
# port, and a copy of the server binary under another name. It is signalled
# only by the process id it was started with, so the system server on
# 127.0.0.1:3050 and any other Firebird on the machine are never touched.
#
#   scripts/private-firebird-server.sh start DIR [PORT]  # prints the pid; a free port when none;
#                                                        # again: the same folder and port
#   scripts/private-firebird-server.sh stop DIR          # and removes nothing
#
# DIR/server.pid and DIR/server.port say which process and port; connect to
# 127.0.0.1/PORT:/a/path/the/firebird/user/can/write.fdb. Freeze, thaw and kill
# with kill -STOP, -CONT and -KILL on that pid. Runs as root.
set -euo pipefail

usage() {
  echo "usage: $0 start DIR [PORT] | stop DIR" >&2
  exit 2
}

. "$(dirname "${BASH_SOURCE[0]}")/server-support.sh"

firebird_root() {
  local intl
  intl=$(find /usr/lib -path '*firebird/3.0/intl/libfbintl.so' -print -quit)
  [ -n "$intl" ] || { echo "Firebird 3 server is not installed" >&2; return 1; }
  dirname "$(dirname "$intl")"
}

# A zombie whose other threads still exit holds its sockets, the listener
# included: it is gone once only its main thread is left.
alive() {
  [ -r "/proc/$1/stat" ] || return 1
  awk '{ exit $3 != "Z" }' "/proc/$1/stat" || return 0
  [ "$(ls "/proc/$1/task" 2>/dev/null | wc -l)" -gt 1 ]
}

lay_out() {
  local dir=$1 port=$2 root
  root=$(firebird_root)
  mkdir -p "$dir"/{bin,lock,tmp,system,intl}
  # The searching process runs as firebird: every folder on the way is searchable.
  chmod 755 "$dir"
  for entry in plugins UDF lib firebird.msg; do ln -sfn "$root/$entry" "$dir/$entry"; done
  # Copies, not links: through a link the WIN1251 character set is not found.
  cp "$root/intl/libfbintl.so" "$root/intl/fbintl.conf" "$dir/intl/"
  cp /etc/firebird/3.0/plugins.conf "$dir/"
  [ -f "$dir/system/security3.fdb" ] || cp /var/lib/firebird/3.0/system/security3.fdb "$dir/system/"
  cp /usr/sbin/firebird "$dir/bin/fbprivate"
  cat >"$dir/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = localhost
SecurityDatabase = $dir/system/security3.fdb
GuardianOption = 0
ServerMode = Super
TempDirectories = $dir/tmp
UdfAccess = None
CONF
  printf 'security.db = %s/system/security3.fdb\n{\n  RemoteAccess = false\n}\n' "$dir" >"$dir/databases.conf"
  chown -R firebird:firebird "$dir/lock" "$dir/tmp" "$dir/system"
}

# In a background subshell: the server keeps none of its starter's descriptors
# (a test runner's lock, a test's sockets), then becomes the server process.
launch() {
  local dir=$1
  close_inherited_descriptors
  # setpriv, not su: su would stop itself while the server is frozen.
  exec setsid env FIREBIRD="$dir" FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir/tmp" \
    setpriv --reuid=firebird --regid=firebird --init-groups "$dir/bin/fbprivate"
}

start() {
  local dir=$1 port=${2:-} pid
  [ -n "$port" ] || port=$(free_port)
  # Laid out once: a binary or library written over while an old process
  # still maps it could be refused (text file busy) or break that process.
  if [ ! -f "$dir/firebird.conf" ]; then
    lay_out "$dir" "$port"
    echo "$port" >"$dir/server.port"
  fi
  port=$(cat "$dir/server.port")
  # A server that finds its port still taken waits 10 s before it binds again.
  port_free "$port" || { echo "port $port is still taken: $(ss -ltnpH "sport = :$port")" >&2; return 1; }
  # A server that ends before it listens is started again, as a guard would.
  for _ in 1 2 3; do
    launch "$dir" </dev/null >>"$dir/server.out" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/server.pid"
    if listens "$pid" "$port"; then
      echo "$pid"
      return 0
    fi
    kill -KILL "$pid" 2>/dev/null || true
  done
  echo "the private server on port $port did not start: $(cat "$dir/server.out")" \
    "listening: $(ss -ltnpH "sport = :$port")" >&2
  return 1
}

# A killed server's listener stays until its last thread has ended; a restart
# must not race it for the port.
port_free() {
  for _ in $(seq 1 2400); do
    listening "$1" || return 0
    sleep 0.05
  done
  return 1
}

listens() {
  local pid=$1 port=$2
  for _ in $(seq 1 600); do
    ss -ltnpH "sport = :$port" | grep -q "pid=$pid," && return 0
    alive "$pid" || return 1
    sleep 0.05
  done
  return 1
}

stop() {
  local dir=$1 pid
  pid=$(cat "$dir/server.pid" 2>/dev/null) || return 0
  # A frozen server takes its SIGTERM once thawed.
  kill -TERM "$pid" 2>/dev/null || true
  kill -CONT "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    alive "$pid" || break
    sleep 0.05
  done
  if alive "$pid"; then kill -KILL "$pid"; fi
  rm -f "$dir/server.pid"
}

case "${1:-}" in
  start) [ $# -ge 2 ] || usage; start "$2" "${3:-}" ;;
  stop) [ $# -eq 2 ] || usage; stop "$2" ;;
  *) usage ;;
esac
