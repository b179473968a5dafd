#!/bin/sh
# Prints what `kalvor-host walk` costs on a deep menu: a chain of QUESTIONS
# voice items (default 10000), each leading to the next with key 1, made in a
# fresh database on the local server. It is walked twice: the plain chain, and
# the chain with a key 0 back to the start item on every question. For each
# run: wall time, maximum resident memory, bytes printed and the longest line,
# as /usr/bin/time -v and wc tell them.
set -eu

usage() {
  echo "usage: $0 KALVOR_HOST PLUGIN [QUESTIONS]" >&2
  exit 2
}

[ $# -ge 2 ] || usage
HOST_TOOL=$(readlink -f "$1")
PLUGIN=$(readlink -f "$2")
QUESTIONS=${3:-10000}
HERE=$(dirname "$(readlink -f "$0")")
PASSWORD=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password)

WORK=$(mktemp -d /tmp/kalvor-walk-chain.XXXXXX)
chown firebird:firebird "$WORK"
DB=localhost:$WORK/chain.fdb
cleanup() {
  echo "DROP DATABASE;" | ISC_USER=SYSDBA ISC_PASSWORD=$PASSWORD isql-fb -q "$DB" >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

"$HERE/../scripts/create-database.sh" "$DB" >/dev/null

# BACK is 1 when every question also has a key 0 back to the start item.
fill() {
  ISC_USER=SYSDBA ISC_PASSWORD=$PASSWORD isql-fb -q -bail -sqldialect 1 "$DB" <<EOF
DELETE FROM MENU_CONNECTION_ROWS; DELETE FROM MENU_CONNECTIONS; DELETE FROM MENU_VOICE_PARAMS;
DELETE FROM MENU_ITEMS; DELETE FROM MENUS;
INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (1, 'Chain', 1);
SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE I INTEGER = 1;
BEGIN
  WHILE (I <= $QUESTIONS) DO
  BEGIN
    INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)
      VALUES (:I, 1, 'Question ' || :I, IIF(:I < $QUESTIONS OR $1 = 1, :I, NULL));
    INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST, ITEM_MACRO_NAME,
      ITEM_SYNTHEZ_PLACE, ITEM_REPEAT_COUNT, ITEM_TIMEOUT)
      VALUES (:I, 'q' || :I || '.wav', '', 0, 1, 5);
    IF (:I < $QUESTIONS OR $1 = 1) THEN
      INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (:I, 'Next');
    IF (:I < $QUESTIONS) THEN
      INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,
        CONNECTION_ITEM_ID, CONNECTION_WAY_DESC) VALUES (:I, 1, '1', :I + 1, '');
    IF ($1 = 1) THEN
      INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,
        CONNECTION_ITEM_ID, CONNECTION_WAY_DESC) VALUES (:I, 2, '0', 1, 'start');
    I = I + 1;
  END
END^
SET TERM ; ^
COMMIT;
EOF
}

printf '[Main]\nDBName = %s\nDBUser = SYSDBA\nDBPWD = %s\nLogLevel = 0\n' "$DB" "$PASSWORD" \
  >"$WORK/walk.ini"

walk() {
  fill "$2"
  /usr/bin/time -v "$HOST_TOOL" --plugin "$PLUGIN" --ini "$WORK/walk.ini" walk 1 \
    >"$WORK/tree.txt" 2>"$WORK/time.txt" || { cat "$WORK/time.txt" >&2; exit 1; }
  seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$WORK/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.txt")
  bytes=$(wc -c <"$WORK/tree.txt")
  longest=$(awk '{ if (length($0) > n) n = length($0) } END { print n + 0 }' "$WORK/tree.txt")
  printf '%-28s wall %s  max RSS %s KB  output %s bytes  longest line %s\n' \
    "$1" "$seconds" "$rss" "$bytes" "$longest"
}

echo "walk of a $QUESTIONS-question chain"
walk "chain" 0
walk "chain, key back on each" 1
