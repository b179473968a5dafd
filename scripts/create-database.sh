#!/bin/sh
# Creates a menu database from sql/schema.sql, plus the demo menu of
# sql/demo-data.sql with --demo. DBPATH is either a server path
# ("localhost:/path/menu.fdb", the server must run) or a local file path, which
# goes through the embedded engine and needs no server. An existing database
# holds recorded actions and an operator's menu: it is refused unless --force
# says to drop it, and --force first backs it up with gbak beside itself
# (DBFILE.YYYYMMDD-HHMMSS.fbk; for a database on another machine, in the
# current folder) unless --no-backup says not to.
set -eu

usage() {
  echo "usage: $0 DBPATH [--demo] [--force [--no-backup]]" >&2
  exit 2
}

[ $# -ge 1 ] || usage
DB=$1
shift
DEMO=no
FORCE=no
BACKUP=yes
for option in "$@"; do
  case "$option" in
    --demo) DEMO=yes ;;
    --force) FORCE=yes ;;
    --no-backup) BACKUP=no ;;
    *) usage ;;
  esac
done
[ "$BACKUP" = yes ] || [ "$FORCE" = yes ] || usage

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
LOCAL=no
if [ "$SERVER" = no ] || [ "$HOST" = localhost ] || [ "$HOST" = 127.0.0.1 ]; then
  LOCAL=yes
fi

# isql and gbak read the password from ISC_PASSWORD: on their command lines
# every user would see it in the process list. The embedded engine trusts the given user
# name and checks no password.
ISC_USER=$DB_USER
export ISC_USER
if [ "$SERVER" = yes ]; then
  ISC_PASSWORD=$PASSWORD
  export ISC_PASSWORD
fi

isql() {
  isql-fb -q -bail -sqldialect 1 "$@"
}

# A database answers an attach; a file that is no database still is not ours
# to overwrite.
exists() {
  if [ "$LOCAL" = yes ] && [ -e "$FILE" ]; then
    return 0
  fi
  [ "$SERVER" = yes ] && echo "QUIT;" | isql-fb -q "$DB" >/dev/null 2>&1
}

# A new name beside the database (or here, for another machine's), made only
# for its owner: the copy holds the recorded actions too.
backup_name() {
  if [ "$LOCAL" = yes ]; then base=$FILE; else base=$(pwd)/$(basename "$FILE"); fi
  base=$base.$(date +%Y%m%d-%H%M%S)
  name=$base.fbk
  n=1
  while [ -e "$name" ]; do
    n=$((n + 1))
    name=$base-$n.fbk
  done
  echo "$name"
}

back_up() {
  copy=$(backup_name)
  if ! (umask 077 && gbak -b "$DB" "$copy"); then
    rm -f "$copy"
    echo "$0: $DB could not be backed up; it was left as it is. --force --no-backup drops it without a copy." >&2
    exit 1
  fi
  echo "backed up $DB to $copy (gbak -c restores it)"
}

if exists; then
  if [ "$FORCE" = no ]; then
    echo "$0: $DB exists already; it was left as it is. --force backs it up, drops it, with its menus and recorded actions, and creates it afresh." >&2
    exit 1
  fi
  [ "$BACKUP" = no ] || back_up
  # Through the server for a server path, so that nothing is deleted on the
  # wrong machine.
  if [ "$SERVER" = yes ]; then
    echo "DROP DATABASE;" | isql-fb -q "$DB" >/dev/null 2>&1 || true
  else
    rm -f "$FILE"
  fi
fi

# The server process runs as "firebird" and needs to write the folder. Only a
# folder this script creates is handed over; an existing one is left as it is.
if [ "$LOCAL" = yes ]; then
  if [ ! -d "$FOLDER" ]; then
    mkdir -p "$FOLDER"
    [ "$SERVER" = no ] || chown firebird:firebird "$FOLDER"
  elif [ "$SERVER" = yes ] && ! su -s /bin/sh firebird -c "test -w '$FOLDER'"; then
    echo "the firebird user cannot write $FOLDER (chown firebird:firebird it)" >&2
    exit 1
  fi
fi

echo "CREATE DATABASE '$DB' DEFAULT CHARACTER SET WIN1251;" | isql
isql -charset WIN1251 -i "$SQL/schema.sql" "$DB"
if [ "$DEMO" = yes ]; then
  isql -charset WIN1251 -i "$SQL/demo-data.sql" "$DB"
fi
echo "created $DB"
