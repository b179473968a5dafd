#!/bin/sh
# Starts or reports the system's Firebird 3 server (127.0.0.1:3050) that the
# database tests and the demo database use. Safe to call repeatedly. It never
# stops or signals a server: the suites that kill, stop or freeze one start
# their own (scripts/private-firebird-server.sh).
set -eu

HOST=127.0.0.1
PORT=3050
CONF=/etc/firebird/3.0/firebird.conf
RUN_DIR=/run/firebird3.0
WAIT_SECONDS=30

port_open() {
  (exec 3<>"/dev/tcp/$HOST/$PORT") 2>/dev/null
}

# /dev/tcp needs bash; fall back to it when /bin/sh is dash.
if [ -z "${BASH_VERSION:-}" ] && command -v bash >/dev/null 2>&1; then
  exec bash "$0" "$@"
fi
. "$(dirname "$0")/apt-install.sh"

install_if_missing() {
  missing=""
  for pkg in firebird3.0-server firebird3.0-utils firebird-dev; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $pkg"
    fi
  done
  if [ -n "$missing" ]; then
    exec 9>/var/lock/kalvor-apt.lock
    flock 9
    echo "installing:$missing"
    # shellcheck disable=SC2086
    apt_install $missing
  fi
}

# Loopback only, when the configuration still has the stock (commented) line.
bind_to_loopback() {
  if [ -f "$CONF" ] && ! grep -q '^[[:space:]]*RemoteBindAddress' "$CONF"; then
    printf '\nRemoteBindAddress = localhost\n' >>"$CONF"
  fi
}

wait_until() {
  want=$1
  i=0
  while [ "$i" -lt $((WAIT_SECONDS * 10)) ]; do
    if port_open; then state=open; else state=closed; fi
    [ "$state" = "$want" ] && return 0
    sleep 0.1
    i=$((i + 1))
  done
  echo "firebird port $PORT still $state after ${WAIT_SECONDS}s" >&2
  return 1
}

start() {
  install_if_missing
  bind_to_loopback
  if port_open; then
    echo "firebird running"
    return 0
  fi
  # A guard already running (its server restarting) keeps its lock and the
  # second one leaves at once.
  mkdir -p "$RUN_DIR" && chown firebird:firebird "$RUN_DIR"
  su -s /bin/sh firebird -c "/usr/sbin/fbguard -daemon -forever" || true
  wait_until open
  echo "firebird running"
}

status() {
  if port_open; then
    echo "firebird running"
  else
    echo "firebird stopped"
    return 3
  fi
}

case "${1:-}" in
  start) start ;;
  status) status ;;
  *)
    echo "usage: $0 start|status" >&2
    exit 2
    ;;
esac
