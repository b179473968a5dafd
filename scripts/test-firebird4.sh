#!/usr/bin/env bash
# The database and end-to-end suites against a Firebird 4 server
# (scripts/firebird4-chroot.sh: Debian 13's firebird4.0-server on a private
# port), with the Firebird 3 client library of this machine; then the menu
# suites once more with the Firebird 4 client library, the same test programs
# run inside the chroot, whose libfbclient.so.2 is 4.0.
#
#   scripts/test-firebird4.sh [BUILD]   # BUILD: a built tree, build-asan by default
#
# Uses the build as it is; scripts/test.sh runs this after its ASan suites.
# Not run against Firebird 4: the suites that kill, freeze or restart a server
# start a private Firebird 3 server of their own, which cannot open a
# database a Firebird 4 server made (ODS 13.0); and the operator's database
# script, written for the system's Firebird 3.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-asan}" && pwd)"
cd "$root"

# The fixtures that start a private server, and the tests of the system's Firebird 3.
firebird3_only='^(LostServerTest|tDBConnectionServerTest|ServerKillTest|MenuServerRestartTest'
firebird3_only+='|ServerStallTest|KalvorHostPluginUser|PrivateFirebirdServerTest)\.'
firebird3_only+='|^create_database_script$|^firebird_server_is_running$'
# The menu suites and the status texts, with the Firebird 4 client library.
menu_suites='ItemDescriptionTest.*:StartItemTest.*:ActionTest.*:DispatchTest.*:MenuFailureTest.*'
menu_suites+=':MenuDatabaseTest.*:MenuWorkerTest.*'

scripts/firebird4-chroot.sh prepare
server=$(mktemp -d /tmp/kalvor-firebird4-XXXXXX)
trap 'scripts/firebird4-chroot.sh stop "$server"; rm -rf "$server"' EXIT
scripts/firebird4-chroot.sh start "$server" >/dev/null
export KALVOR_FIREBIRD_ADDRESS=127.0.0.1
KALVOR_FIREBIRD_PORT=$(cat "$server/server.port")
export KALVOR_FIREBIRD_PORT
export KALVOR_FIREBIRD_PASSWORD_FILE="$server/SYSDBA.password"

echo "== Firebird 4.0 server, Firebird 3.0 client: the database and end-to-end suites"
(cd "$build" && ctest --output-on-failure --timeout 600 -L 'db|e2e' -E "$firebird3_only")

echo "== Firebird 4.0 server, Firebird 4.0 client: the menu suites"
# The environment goes along into the chroot: the sanitizers' options too.
scripts/firebird4-chroot.sh run --bind "$build" -- \
  "$root/tests/skipped-fails.sh" "$build/tests/kalvor_e2e_tests" --gtest_filter="$menu_suites"
scripts/firebird4-chroot.sh run --bind "$build" -- \
  "$root/tests/skipped-fails.sh" "$build/tests/kalvor_db_tests" \
  --gtest_filter='tFbStatusText.*:tDBConnectionTest.*'
