#!/usr/bin/env bash
# The main job: installs what is missing, builds the plugin and kalvor-host,
# creates the demo menu database on the embedded engine (no server needed),
# gives the plugin its own database user there (scripts/plugin-user.sh),
# points Kalvor.ini at it and prints the demo menu as a tree. Run again, it
# keeps the demo database and the actions recorded in it; --recreate makes it
# afresh, without a backup of the demo's own actions.
set -euo pipefail

recreate=no
case "${1:-}" in
  "") ;;
  --recreate) recreate=yes ;;
  *)
    echo "usage: $0 [--recreate]" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KALVOR_BUILD_DIR:-$root/build}"
cd "$root"

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target Kalvor kalvor-host

database="$build/demo/menu.fdb"
if [ "$recreate" = yes ] || [ ! -e "$database" ]; then
  scripts/create-database.sh "$database" --demo --force --no-backup >/dev/null
else
  echo "Keeping the demo database $database (--recreate makes it afresh)."
fi
scripts/plugin-user.sh "$database" >/dev/null

cat >"$build/Kalvor.ini" <<INI
[Main]
; A local path without a host name opens the file with the embedded engine.
DBName=$database
; KALVOR may execute the six menu procedures and nothing else
; (scripts/plugin-user.sh). The embedded engine keeps to that, but reads no
; password: whoever may open the file may name any user, SYSDBA too. Through a
; server (127.0.0.1:/path/menu.fdb) the user has a password of its own.
DBUser=KALVOR
DBPWD=
lc_ctype=WIN1251
LogLevel=1
INI

echo "Demo menu 1 from $database:"
echo
"$build/kalvor-host" walk 1
echo
echo "Plugin:        $build/Kalvor.so"
echo "Configuration: $build/Kalvor.ini"
echo "Database user: KALVOR, which may execute the menu procedures alone"
log_file=$(ls -t "$build"/Logs/*/*_Kalvor.so.log 2>/dev/null | head -n 1)
echo "Log:           ${log_file:-$build/Logs (nothing written yet)}"
echo "Draw it:       $build/kalvor-host walk 1 --dot | dot -Tsvg > menu.svg"
