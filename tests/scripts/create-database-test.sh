#!/bin/sh
# create-database.sh on the loopback server: an existing database keeps its
# recorded action unless --force, and the SYSDBA password never appears on
# isql's command line (a stand-in isql-fb on PATH records every call's
# arguments and whether the password came through the environment).
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
real_isql=$(command -v isql-fb)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
db="127.0.0.1:$work/db/menu.fdb"
password=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password)

fail() {
  echo "create-database test: $*" >&2
  exit 1
}

[ -n "$password" ] || fail "no SYSDBA password to look for"
mkdir "$work/bin"
cat >"$work/bin/isql-fb" <<STANDIN
#!/bin/sh
printf 'argv: %s | password in environment: %s\n' "\$*" "\${ISC_PASSWORD:+yes}" >>"$work/isql-calls"
exec "$real_isql" "\$@"
STANDIN
chmod 755 "$work/bin/isql-fb"

create() {
  PATH="$work/bin:$PATH" "$root/scripts/create-database.sh" "$db" "$@"
}

actions() {
  echo "SELECT 'count=' || COUNT(*) FROM MENU_ACTIONS;" |
    ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$db" | sed -n 's/.*count=\([0-9]*\).*/\1/p'
}

create --demo >/dev/null
echo "EXECUTE PROCEDURE MENU_PROT_ACTIONS(5, 10, '1');" |
  ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$db"
[ "$(actions)" = 1 ] || fail "the action was not recorded"

if create --demo >"$work/refused" 2>&1; then fail "an existing database was not refused"; fi
cat "$work/refused"
grep -qF "$db exists already" "$work/refused" || fail "the refusal does not name the database"
grep -qF -- "--force" "$work/refused" || fail "the refusal does not name --force"
[ "$(actions)" = 1 ] || fail "the refused run lost the recorded action"

create --force >/dev/null
[ "$(actions)" = 0 ] || fail "--force kept the old actions"

grep -q . "$work/isql-calls" || fail "isql-fb was never called"
if grep -qF -- "$password" "$work/isql-calls"; then fail "the password is on isql's command line"; fi
if grep -q "password in environment: $" "$work/isql-calls"; then
  fail "isql-fb was called without the password: $(grep "environment: $" "$work/isql-calls")"
fi
echo "DROP DATABASE;" | ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$db"
echo "create-database test: refused without --force, recreated with it, password kept off the command line"
