#!/usr/bin/env bash
# Fuzzes the command path with libFuzzer for SECONDS (default 300): builds the
# plugin's sources with clang, the fuzzer's coverage, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/kalvor_fuzz, answers from a fresh
# demo database on the embedded engine (no server needed), starts from the
# seed corpus in fuzz/corpus, and prints executions per second, total
# executions and findings. Exits non-zero on a finding; the input that caused
# it is left in build-fuzz/run/ (replay: cd build-fuzz/run && ./kalvor_fuzz FILE).
set -euo pipefail

seconds="${1:-300}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
run="$build/run"
cd "$root"

scripts/install-deps.sh --fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKALVOR_SANITIZE=address -DKALVOR_FUZZ=ON \
  -DBUILD_TESTING=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 --target kalvor_fuzz

# The target reads its ini beside itself and logs beside itself, like a host.
rm -rf "$run"
mkdir -p "$run/corpus"
cp fuzz/corpus/* "$run/corpus/"
cp "$build/fuzz/kalvor_fuzz" "$run/"
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
set +e
(cd "$run" && ./kalvor_fuzz -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
  -artifact_prefix=./ corpus) >"$run/fuzz.log" 2>&1
status=$?
set -e

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/fuzz.log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/fuzz.log")
findings=$(find "$run" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
  -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
echo "fuzz: ${executions:-0} executions in ${seconds} s, ${rate:-0} per second, $findings findings"
if ((status != 0 || findings > 0)); then
  tail -n 60 "$run/fuzz.log"
  exit 1
fi
