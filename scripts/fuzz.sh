#!/usr/bin/env bash
# Fuzzes with libFuzzer for SECONDS in all (default 300): builds the plugin's
# sources with clang, the fuzzer's coverage, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/. Five sixths of the time go to
# the command path (kalvor_fuzz, answering from a fresh demo database on the
# embedded engine, no server needed, from the seed corpus in fuzz/corpus), one
# sixth to the status channel's request and answers (kalvor_status_fuzz, from
# fuzz/status-corpus). Prints executions per second, total executions and
# findings of each. Exits non-zero on a finding; the input that caused it is
# left in build-fuzz/run/ (replay: cd build-fuzz/run && ./kalvor_fuzz FILE, or
# ./kalvor_status_fuzz FILE).
set -euo pipefail

seconds="${1:-300}"
status_seconds=$((seconds / 6 > 0 ? seconds / 6 : 1))
command_seconds=$((seconds - status_seconds > 0 ? seconds - status_seconds : 1))
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
run="$build/run"
cd "$root"

scripts/install-deps.sh --fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKALVOR_SANITIZE=address -DKALVOR_FUZZ=ON \
  -DBUILD_TESTING=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 --target kalvor_fuzz kalvor_status_fuzz

# The target reads its ini beside itself and logs beside itself, like a host.
rm -rf "$run"
mkdir -p "$run/corpus" "$run/status-corpus"
cp fuzz/corpus/* "$run/corpus/"
cp fuzz/status-corpus/* "$run/status-corpus/"
cp "$build/fuzz/kalvor_fuzz" "$build/fuzz/kalvor_status_fuzz" "$run/"
scripts/create-database.sh "$run/menu.fdb" --demo >/dev/null
cat >"$run/kalvor_fuzz.ini" <<INI
[Main]
DBName=$run/menu.fdb
DBUser=SYSDBA
LogLevel=1
INI

export ASAN_OPTIONS="detect_leaks=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# fuzz TARGET SECONDS CORPUS: one target's run; its findings counted.
failed=0
fuzz() {
  local target=$1 time=$2 corpus=$3 status executions rate findings
  set +e
  (cd "$run" && "./$target" -max_total_time="$time" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="./$target-" "$corpus") >"$run/$target.log" 2>&1
  status=$?
  set -e
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/$target.log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/$target.log")
  findings=$(find "$run" -maxdepth 1 -type f \( -name "$target-crash-*" -o -name "$target-leak-*" \
    -o -name "$target-timeout-*" -o -name "$target-oom-*" \) | wc -l)
  echo "fuzz $target: ${executions:-0} executions in ${time} s, ${rate:-0} per second, $findings findings"
  if ((status != 0 || findings > 0)); then
    tail -n 60 "$run/$target.log"
    failed=1
  fi
}
fuzz kalvor_fuzz "$command_seconds" corpus
fuzz kalvor_status_fuzz "$status_seconds" status-corpus
exit "$failed"
