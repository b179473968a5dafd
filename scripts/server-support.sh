# shellcheck shell=bash
# Sourced by the scripts that start a server of their own.

# listening PORT: something listens on the TCP port.
listening() {
  [ -n "$(ss -ltnH "sport = :$1")" ]
}

# free_port: a port nothing listens on, below the kernel's ephemeral ports
# (32768 and up), so that no outgoing connection takes it while a killed
# server is down.
free_port() {
  local port
  for _ in $(seq 1 200); do
    port=$((20000 + RANDOM % 12000))
    listening "$port" || { echo "$port"; return 0; }
  done
  echo "no free port found" >&2
  return 1
}

# close_inherited_descriptors: in the subshell that becomes a server, closes
# every descriptor but the standard three (a test runner's lock, a test's
# sockets), so that the server holds none of its starter's.
close_inherited_descriptors() {
  local fd
  for fd in /proc/self/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] && eval "exec $fd>&-"
  done
}
