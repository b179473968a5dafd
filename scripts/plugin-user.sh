#!/bin/sh
# Gives the plugin a database user of its own that may execute the six menu
# procedures and nothing else (sql/plugin-user.sql), and with --ini points the
# plugin's ini at the database as that user.
#
# Through a server (DBPATH "host:/path/menu.fdb") the user is created on the
# server first, with a new random password, unless it exists; one that exists
# keeps its password. KALVOR_PLUGIN_PASSWORD in the environment gives the
# password instead, also to a user that exists. The embedded engine (a local
# path) checks the grants of the user an attachment names, but no password: a
# local path gets the grants alone, and the file's own permissions are what
# keeps other accounts out.
#
# Safe to run again: the grants are given once, the user is kept.
set -eu

usage() {
  echo "usage: $0 DBPATH [--user NAME] [--ini FILE]" >&2
  exit 2
}

[ $# -ge 1 ] || usage
DB=$1
shift
NAME=KALVOR
INI=
while [ $# -gt 0 ]; do
  case "$1" in
    --user) [ $# -ge 2 ] || usage; NAME=$2; shift 2 ;;
    --ini) [ $# -ge 2 ] || usage; INI=$2; shift 2 ;;
    *) usage ;;
  esac
done
case "$NAME" in
  "" | [!A-Za-z]* | *[!A-Za-z0-9_]*)
    echo "$0: a user name is letters, digits and _, a letter first: \"$NAME\"" >&2
    exit 2
    ;;
esac
# Firebird keeps an unquoted name in capitals.
NAME=$(printf '%s' "$NAME" | tr '[:lower:]' '[:upper:]')
if [ -n "$INI" ] && ! [ -w "$INI" ]; then
  echo "$0: cannot write $INI" >&2
  exit 2
fi

HERE=$(dirname "$(readlink -f "$0")")
if [ -r "$HERE/sql/plugin-user.sql" ]; then
  SQL=$HERE/sql
else
  SQL=$(cd "$HERE/../sql" && pwd)
fi

case "$DB" in
  *:*) SERVER=yes ;;
  /*) SERVER=no ;;
  *) SERVER=no; DB=$(pwd)/$DB ;;
esac

# As the database's owner. isql takes the password from ISC_PASSWORD, never
# from its command line, which every user sees in the process list.
ISC_USER=SYSDBA
export ISC_USER
if [ "$SERVER" = yes ]; then
  ISC_PASSWORD=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' \
    /etc/firebird/3.0/SYSDBA.password 2>/dev/null || true)
  export ISC_PASSWORD
fi

# Statements on standard input, read with -i: isql reads its standard input
# itself through a line editor that drops bytes its locale cannot decode.
isql() {
  isql-fb -q -bail -i /dev/stdin "$DB"
}

user_exists() {
  echo "SELECT 'found=' || COUNT(*) FROM SEC\$USERS WHERE SEC\$USER_NAME = '$NAME';" |
    isql | grep -q "found=1"
}

# The new password stays inside this shell: printf is its own, not a process.
PASSWORD_KNOWN=no
PLUGIN_PASSWORD=
if [ "$SERVER" = yes ]; then
  if [ -n "${KALVOR_PLUGIN_PASSWORD:-}" ]; then
    PLUGIN_PASSWORD=$KALVOR_PLUGIN_PASSWORD
    quoted=$(printf '%s' "$PLUGIN_PASSWORD" | sed "s/'/''/g")
    printf "CREATE OR ALTER USER %s PASSWORD '%s';\nCOMMIT;\n" "$NAME" "$quoted" | isql
    PASSWORD_KNOWN=yes
    echo "user $NAME on the server has the password of KALVOR_PLUGIN_PASSWORD"
  elif user_exists; then
    echo "user $NAME exists on the server: its password is left as it is" \
      "(KALVOR_PLUGIN_PASSWORD in the environment sets a new one)"
  else
    PLUGIN_PASSWORD=$(tr -dc 'A-Za-z0-9' </dev/urandom | head -c 24)
    printf "CREATE USER %s PASSWORD '%s';\nCOMMIT;\n" "$NAME" "$PLUGIN_PASSWORD" | isql
    PASSWORD_KNOWN=yes
    echo "user $NAME created on the server, with a new password"
  fi
else
  # The embedded engine reads no password: an empty one is sent.
  PASSWORD_KNOWN=yes
fi

sed "s/ TO USER KALVOR;/ TO USER $NAME;/" "$SQL/plugin-user.sql" | isql
echo "user $NAME may execute the six menu procedures of $DB and nothing else"

# DBName, DBUser and DBPWD of [Main] set in place, or added below its header.
# All in the shell: the password stands on no command line.
upper() {
  printf '%s' "$1" | tr -d ' \t' | tr '[:lower:]' '[:upper:]'
}

# The ini's line for a key of [Main]: its new value, or the line as it was.
ini_line() {
  case "$1" in
    DBNAME) printf 'DBName=%s\n' "$DB" ;;
    DBUSER) printf 'DBUser=%s\n' "$NAME" ;;
    DBPWD) if [ "$PASSWORD_KNOWN" = yes ]; then printf 'DBPWD=%s\n' "$PLUGIN_PASSWORD"; else printf '%s\n' "$2"; fi ;;
    *) printf '%s\n' "$2" ;;
  esac
}

keys_of_main() {
  section=
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
      \[*) section=$(upper "$line") ;;
      *=*) if [ "$section" = "[MAIN]" ]; then upper "${line%%=*}" && echo; fi ;;
    esac
  done <"$INI"
}

set_ini() {
  present=" $(keys_of_main | tr '\n' ' ') "
  new=$(mktemp)
  section=
  header=no
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
      \[*) section=$(upper "$line") ;;
    esac
    if [ "$section" = "[MAIN]" ] && [ "$header" = no ]; then
      header=yes
      printf '%s\n' "$line"
      for key in DBNAME DBUSER DBPWD; do
        case "$present" in *" $key "*) ;; *) ini_line "$key" "DBPWD=" ;; esac
      done
    elif [ "$section" = "[MAIN]" ] && [ "${line#*=}" != "$line" ]; then
      ini_line "$(upper "${line%%=*}")" "$line"
    else
      printf '%s\n' "$line"
    fi
  done <"$INI" >"$new"
  if [ "$header" = no ]; then
    { echo "[Main]"; for key in DBNAME DBUSER DBPWD; do ini_line "$key" "DBPWD="; done; } >>"$new"
  fi
  # Written over, not replaced: the ini keeps its owner and mode.
  cat "$new" >"$INI"
  rm -f "$new"
}

if [ -n "$INI" ]; then
  set_ini
  if [ "$SERVER" = no ]; then
    echo "$INI: DBName=$DB, DBUser=$NAME and an empty DBPWD (the embedded engine reads none)"
  elif [ "$PASSWORD_KNOWN" = yes ]; then
    echo "$INI: DBName=$DB, DBUser=$NAME and its password"
  else
    echo "$INI: DBName=$DB, DBUser=$NAME; DBPWD is left as it was"
  fi
elif [ -n "$PLUGIN_PASSWORD" ]; then
  echo "for the plugin's ini: DBName=$DB, DBUser=$NAME, DBPWD=$PLUGIN_PASSWORD"
fi
