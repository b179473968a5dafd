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

# The SQL scripts: sql/ beside this script once installed (share/kalvor/sql),
# ../sql in the source tree.
HERE=$(dirname "$(readlink -f "$0")")
if [ -r "$HERE/sql/schema.sql" ]; then
  SQL=$HERE/sql
else
  SQL=$(cd "$HERE/../sql" && pwd)
fi
PASSWORD_FILE=/etc/firebird/3.0/SYSDBA.password
DB_USER=SYSDBA
PASSWORD=
if [ -r "$PASSWORD_FILE" ]; then
  PASSWORD=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$PASSWORD_FILE")
fi

case "$DB" in
  *:*) SERVER=yes; HOST=${DB%%:*}; FILE=${DB#*:} ;;
  *) SERVER=no; HOST=; FILE=$DB ;;
esac
case "$FILE" in
  /*) ;;
  *)
    [ "$SERVER" = no ] || { echo "the server path must be absolute: $DB" >&2; exit 2; }
    FILE=$(pwd)/$FILE
    DB=$FILE
    ;;
esac
FOLDER=$(dirname "$FILE")

if [ "$SERVER" = yes ]; then
  AUTH="-user $DB_USER -password $PASSWORD"
else
  # The embedded engine trusts the given user name; no password is checked.
  AUTH="-user $DB_USER"
fi

# The server process runs as "firebird" and needs to write the folder. Only a
# folder this script creates is handed over; an existing one is left as it is.
if [ "$SERVER" = no ] || [ "$HOST" = localhost ] || [ "$HOST" = 127.0.0.1 ]; then
  if [ ! -d "$FOLDER" ]; then
    mkdir -p "$FOLDER"
    [ "$SERVER" = no ] || chown firebird:firebird "$FOLDER"
  elif [ "$SERVER" = yes ] && ! su -s /bin/sh firebird -c "test -w '$FOLDER'"; then
    echo "the firebird user cannot write $FOLDER (chown firebird:firebird it)" >&2
    exit 1
  fi
fi

# Idempotent: an existing database is dropped first (through the server for a
# server path, so that nothing is deleted on the wrong machine).
if [ "$SERVER" = yes ]; then
  # shellcheck disable=SC2086
  echo "DROP DATABASE;" | isql-fb -q $AUTH "$DB" >/dev/null 2>&1 || true
else
  rm -f "$FILE"
fi

isql() {
  # shellcheck disable=SC2086
  isql-fb -q -bail -sqldialect 1 $AUTH "$@"
}

if [ "$SERVER" = yes ]; then
  CREATE="CREATE DATABASE '$DB' USER '$DB_USER' PASSWORD '$PASSWORD' DEFAULT CHARACTER SET WIN1251;"
else
  CREATE="CREATE DATABASE '$DB' USER '$DB_USER' DEFAULT CHARACTER SET WIN1251;"
fi
echo "$CREATE" | isql-fb -q -bail -sqldialect 1

isql -charset WIN1251 -i "$SQL/schema.sql" "$DB"
if [ "$DEMO" = yes ]; then
  isql -charset WIN1251 -i "$SQL/demo-data.sql" "$DB"
fi
echo "created $DB"
