#!/bin/sh
# The C example host against a fresh demo database on the embedded engine:
# it must find the start item, describe it and record a key in the database.
# usage: example-host-test.sh EXAMPLE_HOST PLUGIN
set -eu

host=$1
plugin=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/create-database.sh" "$work/menu.fdb" --demo >/dev/null
cp "$plugin" "$work/Kalvor.so"
printf '[Main]\nDBName=%s\nDBUser=SYSDBA\nDBPWD=\nLogLevel=1\n' "$work/menu.fdb" >"$work/Kalvor.ini"

"$host" "$work/Kalvor.so" 1 4242 9 >"$work/output"
cat "$work/output"

expect() {
  grep -aqF -- "$1" "$work/output" || { echo "missing from the output: $1" >&2; exit 1; }
}
expect "plugin DYNAMIC_MENU"
expect "menu 1 starts at item 10"
expect "item 10, kind 1, 3 connection rows"
expect "repeat 3, time-out 5000"
expect "key \"1\" -> item 20"
expect "key \"0\" -> item 40"
expect "recorded key \"9\" on item 10 in session 4242"

recorded=$(echo "SELECT 'count=' || COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 4242 AND ITEM_ID = 10 AND ITEM_KEY = '9';" |
  isql-fb -q -user SYSDBA "$work/menu.fdb")
case "$recorded" in
  *count=1*) ;;
  *) echo "the action is not in the database: $recorded" >&2; exit 1 ;;
esac

# A menu without a start item fails with the plugin's "not found".
if "$host" "$work/Kalvor.so" 77 4242 9 2>"$work/errors"; then
  echo "menu 77 should have failed" >&2
  exit 1
fi
grep -aqF "command 100: result code 2 (not found)" "$work/errors"
echo "example host: ok"
