#!/usr/bin/env bash
# The fault soak: one host process loads the built plugin and sends a mixed
# stream of commands from four threads while a private server of its own
# (scripts/private-firebird-server.sh) is killed and started again, stopped for
# longer than a command's attempts take, and frozen;
# then it checks every callback, answer, protocol row and its own memory and
# descriptors, prints the figures, and exits non-zero when a check fails.
#
#   scripts/soak.sh                 # 6 kills, about a minute (what scripts/test.sh runs)
#   scripts/soak.sh --kills 40      # longer; --between-ms N spaces the faults
#   scripts/soak.sh --rate 200 --freezes 12 --freeze-ms 12000 --stops 6 --stop-ms 60000
#   scripts/soak.sh --hosts 100 --outage stop --outage-ms 60000   # many hosts, one outage
#
# Builds in build-soak/ without sanitizers, so the memory figures are the
# plugin's own. The system server (127.0.0.1:3050) only builds the schema and is
# never signalled. Takes the server lock, so that the soak's figures are not
# those of a machine busy with the database suites, unless the caller already
# holds it and says so with KALVOR_SERVER_LOCKED=1.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KALVOR_SOAK_BUILD_DIR:-$root/build-soak}"
cd "$root"

scripts/install-deps.sh --server
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVOR_SANITIZE=none >/dev/null
cmake --build "$build" -j2 --target kalvor_fault_soak

if [[ -z "${KALVOR_SERVER_LOCKED:-}" ]]; then
  exec 8>/tmp/kalvor-firebird.lock
  flock 8
fi
scripts/firebird-server.sh start
exec "$build/tests/soak/kalvor_fault_soak" "$@"
