#!/usr/bin/env bash
# scripts/demo.sh run again keeps the demo database and the actions recorded in
# it; --recreate makes it afresh. Its plugin answers as KALVOR, which may not
# read a table. Runs the demo in a build folder of its own so
# that the user's build/ and its demo database are left alone.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KALVOR_BUILD_DIR="$root/build-demo-test"
database="$KALVOR_BUILD_DIR/demo/menu.fdb"

fail() {
  echo "demo rerun test: $*" >&2
  exit 1
}

actions() {
  echo "SELECT 'count=' || COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 9090;" |
    isql-fb -q -user SYSDBA "$database" | sed -n 's/.*count=\([0-9]*\).*/\1/p'
}

"$root/scripts/demo.sh" --recreate >/dev/null
"$KALVOR_BUILD_DIR/kalvor-host" action 9090 10 1 >/dev/null
[ "$(actions)" = 1 ] || fail "the action was not recorded"
grep -qx "DBUser=KALVOR" "$KALVOR_BUILD_DIR/Kalvor.ini" || fail "the demo's plugin is not KALVOR"
refused=$(echo "SELECT COUNT(*) FROM MENU_ITEMS;" | isql-fb -q -user KALVOR "$database" 2>&1 || true)
grep -q "no permission for SELECT access to TABLE MENU_ITEMS" <<<"$refused" ||
  fail "the demo's plugin user reads a table: $refused"

output=$("$root/scripts/demo.sh")
grep -q "^Keeping the demo database" <<<"$output" || fail "the second run did not say it keeps the database"
grep -q "^menu 1, start item 10$" <<<"$output" || fail "the second run did not print the menu"
[ "$(actions)" = 1 ] || fail "the second run lost the recorded action"

"$root/scripts/demo.sh" --recreate >/dev/null
[ "$(actions)" = 0 ] || fail "--recreate kept the old actions"
echo "demo rerun test: the database is kept, and made afresh on --recreate"
