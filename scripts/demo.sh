#!/usr/bin/env bash
# The main job: installs what is missing, builds the plugin and kalvor-host,
# creates the demo menu database on the embedded engine (no server needed),
# points Kalvor.ini at it and prints the demo menu as a tree. Run again, it
# keeps the demo database and the actions recorded in it; --recreate makes it
# afresh.
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
  scripts/create-database.sh "$database" --demo --force >/dev/null
else
  echo "Keeping the demo database $database (--recreate makes it afresh)."
fi

cat >"$build/Kalvor.ini" <<INI
[Main]
; A local path without a host name opens the file with the embedded engine.
DBName=$database
DBUser=SYSDBA
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
log_file=$(ls -t "$build"/Logs/*/*_Kalvor.so.log 2>/dev/null | head -n 1)
echo "Log:           ${log_file:-$build/Logs (nothing written yet)}"
echo "Draw it:       $build/kalvor-host walk 1 --dot | dot -Tsvg > menu.svg"
