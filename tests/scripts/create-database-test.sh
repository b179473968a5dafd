#!/bin/sh
# create-database.sh on the loopback server: an existing database keeps its
# recorded action unless --force, which backs it up beside itself first
# (unless --no-backup), and the SYSDBA password never appears on the command
# line of isql or gbak (stand-ins on PATH record every call's arguments and
# whether the password came through the environment).
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
for tool in isql-fb gbak; do
  cat >"$work/bin/$tool" <<STANDIN
#!/bin/sh
printf '$tool argv: %s | password in environment: %s\n' "\$*" "\${ISC_PASSWORD:+yes}" >>"$work/isql-calls"
exec "$(command -v "$tool")" "\$@"
STANDIN
  chmod 755 "$work/bin/$tool"
done

create() {
  PATH="$work/bin:$PATH" "$root/scripts/create-database.sh" "$db" "$@"
}

actions() {
  echo "SELECT 'count=' || COUNT(*) FROM MENU_ACTIONS;" |
    ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$db" | sed -n 's/.*count=\([0-9]*\).*/\1/p'
}

backup_count() {
  set -- "$work"/db/menu.fdb.*.fbk
  if [ -e "$1" ]; then echo $#; else echo 0; fi
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

create --force >"$work/forced"
cat "$work/forced"
[ "$(actions)" = 0 ] || fail "--force kept the old actions"
backups=$(echo "$work"/db/menu.fdb.*.fbk)
[ "$(backup_count)" = 1 ] || fail "--force left not one backup beside the database: $backups"
grep -qF "backed up $db to $backups" "$work/forced" || fail "--force did not say where the backup is"
[ "$(stat -c %a "$backups")" = 600 ] || fail "the backup may be read by others: $(stat -c %a "$backups")"
restored="127.0.0.1:$work/db/restored.fdb"
ISC_USER=SYSDBA ISC_PASSWORD=$password gbak -c "$backups" "$restored"
[ "$(db=$restored actions)" = 1 ] || fail "the backup lacks the recorded action"
echo "DROP DATABASE;" | ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$restored"

create --force --no-backup >/dev/null
[ "$(backup_count)" = 1 ] || fail "--no-backup made a backup"
if create --no-backup 2>/dev/null; then fail "--no-backup without --force was taken"; fi

grep -q . "$work/isql-calls" || fail "isql-fb was never called"
grep -q "^gbak argv: -b " "$work/isql-calls" || fail "gbak was never called"
if grep -qF -- "$password" "$work/isql-calls"; then fail "the password is on a command line"; fi
if grep -q "password in environment: $" "$work/isql-calls"; then
  fail "a tool was called without the password: $(grep "environment: $" "$work/isql-calls")"
fi
echo "DROP DATABASE;" | ISC_USER=SYSDBA ISC_PASSWORD=$password "$real_isql" -q "$db"
echo "create-database test: refused without --force, backed up and recreated with it, password kept off the command line"
