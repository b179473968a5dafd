#!/bin/sh
# Creates (or re-creates) a menu database from sql/schema.sql, plus the demo
# menu of sql/demo-data.sql with --demo. DBPATH is either a server path
# ("localhost:/path/menu.fdb", the server must run) or a local file path, which
# goes through the embedded engine and needs no server.
set -eu

usage() {
  echo "usage: $0 DBPATH [--demo]" >&2
  exit 2
}

[ $# -ge 1 ] || usage
DB=$1
DEMO=no
if [ $# -ge 2 ]; then
  [ "$2" = "--demo" ] || usage
  DEMO=yes
fi

ROOT=$(cd "$(dirname "$0")/.." && pwd)
PASSWORD_FILE=/etc/firebird/3.0/SYSDBA.password
USER=SYSDBA
PASSWORD=
if [ -r "$PASSWORD_FILE" ]; then
  PASSWORD=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$PASSWORD_FILE")
fi

case "$DB" in
  *:*) SERVER=yes; FILE=${DB#*:} ;;
  *) SERVER=no; FILE=$DB ;;
esac
case "$FILE" in
  /*) ;;
  *) FILE=$(pwd)/$FILE; [ "$SERVER" = no ] && DB=$FILE ;;
esac

if [ "$SERVER" = yes ]; then
  # The server process runs as "firebird" and must own the folder and file.
  mkdir -p "$(dirname "$FILE")"
  chown firebird:firebird "$(dirname "$FILE")"
  AUTH="-user $USER -password $PASSWORD"
else
  mkdir -p "$(dirname "$FILE")"
  # The embedded engine trusts the given user name; no password is checked.
  AUTH="-user $USER"
fi

# Idempotent: an existing database file is replaced.
rm -f "$FILE"

isql() {
  # shellcheck disable=SC2086
  isql-fb -q -bail -sqldialect 1 $AUTH "$@"
}

if [ "$SERVER" = yes ]; then
  CREATE="CREATE DATABASE '$DB' USER '$USER' PASSWORD '$PASSWORD' DEFAULT CHARACTER SET WIN1251;"
else
  CREATE="CREATE DATABASE '$DB' USER '$USER' DEFAULT CHARACTER SET WIN1251;"
fi
echo "$CREATE" | isql-fb -q -bail -sqldialect 1

isql -charset WIN1251 -i "$ROOT/sql/schema.sql" "$DB"
if [ "$DEMO" = yes ]; then
  isql -charset WIN1251 -i "$ROOT/sql/demo-data.sql" "$DB"
fi
echo "created $DB"
