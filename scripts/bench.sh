#!/usr/bin/env bash
# The menu database benchmark: Kalvor end to end at LogLevel 1 and 255 beside
# the old design's round trips on the raw client library, SOCI's Firebird
# backend (plain, and with statements prepared once) and the server's best
# case, in interleaved rounds; then round trips per command, throughput with
# commands queued, scale over several host processes, Command_Plugin's cost
# and resident memory. Prints one table.
#
#   scripts/bench.sh              # the full run, a few minutes
#   scripts/bench.sh --smoke      # small counts, seconds (what scripts/test.sh runs)
#   scripts/bench.sh --rounds 11 --count 300    # any option of build-bench/bench/kalvor_bench
#
# Builds in build-bench/ without sanitizers; creates a fresh benchmark database
# from sql/schema.sql and sql/demo-data.sql on the loopback server and drops it
# afterwards. Takes the server lock, unless the caller already holds it and
# says so with KALVOR_SERVER_LOCKED=1. The machine is shared: run it a few times.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KALVOR_BENCH_BUILD_DIR:-$root/build-bench}"
cd "$root"

scripts/install-deps.sh --server --bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVOR_SANITIZE=none >/dev/null
cmake --build "$build" -j2 --target kalvor_bench
# The plugin copies log beside the benchmark program; start each run afresh.
rm -rf "$build/bench/Logs"

if [[ -z "${KALVOR_SERVER_LOCKED:-}" ]]; then
  exec 8>/tmp/kalvor-firebird.lock
  flock 8
fi
scripts/firebird-server.sh start
"$build/bench/kalvor_bench" "$@"
