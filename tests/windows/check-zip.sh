#!/usr/bin/env bash
# Checks the Windows zip of a build, as a Windows shop unpacks it: every file
# there, the DLL stripped and carrying its version resource, the texts in
# CR LF, the sample ini complete and commented, and the C example compiling
# from the zip alone. Given wine and the stand-in client library,
# create-database.cmd also runs against a stand-in isql.exe, and the example
# against the zip's DLL, which a calling convention mismatch breaks.
# usage: check-zip.sh BUILD_DIR [WINE STANDIN_FBCLIENT_DLL]
# shellcheck disable=SC2154 # the build's settings come from its windows-zip.conf
set -euo pipefail

build=$1
wine=${2:-}
standin=${3:-}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# zip_name, version, bits, convention, host_tool and the tools' paths.
# shellcheck source=/dev/null
source "$build/windows-zip.conf"
zip="$build/$zip_name.zip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "zip check: $zip: $*" >&2
  exit 1
}

# Runs a Windows program of the zip with the working folder it lies in.
run_windows() {
  (cd "$(dirname "$1")" && "$wine" "./$(basename "$1")" "${@:2}")
}

unzip -l "$zip"
required=(Kalvor.dll Kalvor.core.dll README-Windows.txt Kalvor.ini.sample create-database.cmd sql/schema.sql
  sql/demo-data.sql include/kalvor/plugin.h include/kalvor/menu_commands.h examples/menu_host.c
  ${host_tool:+"$host_tool"})
listing=$(unzip -Z1 "$zip")
for file in "${required[@]}"; do
  grep -qxF "$zip_name/$file" <<<"$listing" || fail "$file is missing"
done
unzip -q "$zip" -d "$work"
package="$work/$zip_name"

IFS=. read -r major minor patch <<<"$version"
for name in Kalvor.dll Kalvor.core.dll ${host_tool:+"$host_tool"}; do
  binary="$package/$name"
  ! "$objdump" -h "$binary" | grep -q '\.debug_' || fail "$name carries debug sections"
  resource=$("$windres" -J coff -O rc -i "$binary")
  for line in "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
    "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
    "VALUE \"CallingConvention\", \"$convention\"" "VALUE \"OriginalFilename\", \"$name\"" \
    "$bits-bit, $convention entry points"; do
    grep -qF "$line" <<<"$resource" || fail "the version resource of $name lacks $line: $resource"
  done
  echo "$name: $(stat -c %s "$binary") bytes, no debug sections, version $version, $convention"
done

for text in README-Windows.txt Kalvor.ini.sample create-database.cmd; do
  [[ -s "$package/$text" ]] || fail "$text is empty"
  ! grep -qv $'\r$' "$package/$text" || fail "$text has lines without CR LF"
done

# The Windows sample carries every key of the Linux one, each under a comment.
sample="$package/Kalvor.ini.sample"
grep -q '^DBName=[^:]*:C:\\' "$sample" || fail "the sample's DBName is not a C:\\ path"
for key in $(grep -o '^[A-Za-z_]*=' "$root/config/Kalvor.ini.sample"); do
  grep -q "^$key" "$sample" || fail "the sample lacks $key"
done
uncommented=$(tr -d '\r' <"$sample" | awk '/^[A-Za-z_]+=/ && previous !~ /^;/ {print} {previous = $0}')
[[ -z "$uncommented" ]] || fail "keys without a comment: $uncommented"

defines=()
[[ $convention != __cdecl ]] || defines=(-DKALVOR_CDECL)
"$c_compiler" -std=c99 -pedantic -Wall -Wextra -Werror "${defines[@]}" -I "$package/include" \
  "$package/examples/menu_host.c" -o "$package/menu_host.exe" || fail "the example does not build"
echo "examples/menu_host.c builds from the zip"

[[ -n "$wine" && -n "$standin" ]] || exit 0

# create-database.cmd keeps an existing database unless --force, which backs
# it up with gbak first (--no-backup: not), passes the password to isql.exe
# only through ISC_PASSWORD, never as an argument, takes ' and & in a name as
# characters of it, and never says "created" when isql failed.
"$c_compiler" -std=c99 -Wall -Wextra -Werror "$root/tests/windows/fake_isql.c" -o "$package/isql.exe"
cp "$package/isql.exe" "$package/gbak.exe"
create_database() {
  (cd "$package" && ISC_PASSWORD=secret-marker "$wine" cmd /c create-database.cmd "$@" --isql isql.exe)
}
echo kept >"$package/menu.fdb"
! create_database menu.fdb --demo 2>/dev/null || fail "create-database.cmd overwrote menu.fdb"
[[ $(cat "$package/menu.fdb") == kept && ! -e "$package/isql.log" ]] ||
  fail "create-database.cmd touched an existing database without --force"
created=$(create_database menu.fdb --demo --force) || fail "create-database.cmd --force failed"
grep -qF "backed up menu.fdb to menu.fdb.backup-1.fbk" <<<"$created" || fail "no backup: $created"
isql_log=$(tr -d '\r' <"$package/isql.log")
for line in "-b menu.fdb menu.fdb.backup-1.fbk" "DROP DATABASE;" \
  "CREATE DATABASE 'menu.fdb' DEFAULT CHARACTER SET WIN1251;" 'sql\schema.sql menu.fdb' \
  'sql\demo-data.sql menu.fdb'; do
  grep -qF -- "$line" <<<"$isql_log" || fail "isql.exe was not given $line: $isql_log"
done
! grep -q secret-marker <<<"$isql_log" || fail "the password reached isql.exe's arguments or input"
rm "$package/isql.log"
create_database menu.fdb --force --no-backup >/dev/null || fail "--no-backup failed"
! grep -qF -- "-b menu.fdb" "$package/isql.log" || fail "--no-backup backed up all the same"
create_database "it's & echo injected> injected.txt" >/dev/null ||
  fail "create-database.cmd refused a name with ' and &"
grep -qF "CREATE DATABASE 'it''s & echo injected> injected.txt' DEFAULT CHARACTER SET WIN1251;" \
  "$package/isql.log" || fail "the name did not reach isql whole: $(cat "$package/isql.log")"
[[ ! -e "$package/injected.txt" ]] || fail "what followed & in the name ran as a command"
failed=$(FAKE_ISQL_FAILS=1 create_database fresh.fdb 2>&1) && fail "a failing isql.exe went unnoticed"
! grep -q "^created" <<<"$failed" || fail "create-database.cmd said created after isql failed: $failed"
echo "create-database.cmd backs up, keeps names whole, passes no password, reports failures"

cp "$standin" "$package/fbclient.dll"
printf '[Main]\r\nDBName=127.0.0.1:C:\\bases\\vo.fdb\r\nDBUser=SYSDBA\r\nDBPWD=x\r\nLogLevel=1\r\n' \
  >"$package/Kalvor.ini"
output=$(run_windows "$package/menu_host.exe" Kalvor.dll 1 77 9 2>&1) ||
  fail "the example failed: $output"
for line in "plugin DYNAMIC_MENU" "menu 1 starts at item 10" "item 10, kind 1, 2 connection rows" \
  'key "1" -> item 20' 'key "0" -> item 40' 'recorded key "9" on item 10 in session 77'; do
  grep -qF "$line" <<<"$output" || fail "the example's output lacks $line: $output"
done
grep -qs "Init SUCCESS. Ready To Work" "$package"/Logs/*/*_Kalvor.dll.log ||
  fail "no log beside the example host"
echo "the example host runs against the zip's Kalvor.dll"

# The operator's tool from the zip, beside the zip's DLL, this Kalvor.ini and
# the stand-in: the walk and the check an operator runs on the IVR box.
if [[ -n "${host_tool:-}" ]]; then
  # The stand-in's menu names items it has not: walk and check say so and
  # end non-zero, which is theirs to do.
  walk=$(run_windows "$package/$host_tool" walk 1 2>&1) || true
  grep -qF "menu 1, start item 10" <<<"$walk" && grep -qF '[20] does not exist' <<<"$walk" || fail "kalvor-host.exe walked no menu: $walk"
  check=$(run_windows "$package/$host_tool" check 1 2>&1) || true
  grep -qE "^menu 1: [0-9]+ items checked" <<<"$check" || fail "kalvor-host.exe check said: $check"
  echo "kalvor-host.exe from the zip walks and checks the menu"
fi
