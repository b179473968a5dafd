#!/usr/bin/env bash
# Builds the Debian package from a Release tree, checks what it holds, installs
# it as the README says, uses it (the installed scripts make a demo database on
# the loopback server and the plugin's own database user, a service account
# added to the kalvor group walks the menu and logs, an account outside the
# group is refused; on the embedded engine root walks and checks a demo
# database, which the service account cannot open), then removes and purges it
# and checks that nothing is left behind. The package is never left installed
# and the test's accounts and database user are removed: the machine ends as it
# was found. Takes the server lock unless the caller holds it already
# (KALVOR_SERVER_LOCKED=1).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build=build-release
apt_lock=/var/lock/kalvor-apt.lock

fail() {
  echo "package test: $*" >&2
  exit 1
}

installed() {
  dpkg-query -W -f='${Status}' kalvor 2>/dev/null | grep -q " installed$"
}

known() {
  [ -n "$(dpkg-query -W -f='${Status}' kalvor 2>/dev/null | grep -v not-installed)" ]
}

installed && fail "kalvor is installed on this machine already; the test would remove it"

# Release at Debian's optimisation level: GCC 12 at -O3 reports a false
# -Wrestrict inside std::string that -Werror turns into a failed build.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DBUILD_TESTING=OFF -DKALVOR_DEBIAN_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j2 --target Kalvor kalvor-host
rm -f "$build"/kalvor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kalvor_*.deb)

work=$(mktemp -d)
# Service accounts of the test, and the group when the package brought it.
member=kalvor-member-$$
outsider=kalvor-outsider-$$
plugin_user=KALVOR_TEST_$$
server_db="127.0.0.1:$work/server/menu.fdb"
group_was_there=no
if getent group kalvor >/dev/null; then group_was_there=yes; fi
cleanup() {
  if known; then flock "$apt_lock" dpkg --purge kalvor >/dev/null || true; fi
  # The plugin's user lives in the system server's security database.
  if [[ -e "$work/server/menu.fdb" ]]; then
    printf 'DROP USER %s;\nCOMMIT;\n' "$plugin_user" |
      ISC_USER=SYSDBA ISC_PASSWORD=${password:-} isql-fb -q -i /dev/stdin "$server_db" >/dev/null 2>&1 || true
  fi
  for account in "$member" "$outsider"; do
    if getent passwd "$account" >/dev/null; then userdel "$account"; fi
  done
  if [ "$group_was_there" = no ] && getent group kalvor >/dev/null; then groupdel kalvor; fi
  rm -rf "$work"
}
trap cleanup EXIT

# What the package holds.
dpkg-deb -e "$deb" "$work/control"
grep -qx /etc/kalvor/Kalvor.ini "$work/control/conffiles" || fail "Kalvor.ini is not a conffile"
dpkg-deb -x "$deb" "$work/root"
# The plugin's folder: lib/<multiarch triplet>/kalvor.
libdir=$(cd "$work/root" && dirname "$(find usr/lib -name Kalvor.so)")
[ -s "$work/root/usr/share/doc/kalvor/copyright" ] || fail "no copyright file"
[ "$(readlink "$work/root/$libdir/Kalvor.ini")" = /etc/kalvor/Kalvor.ini ] ||
  fail "$libdir/Kalvor.ini does not lead to /etc/kalvor"
[ "$(readlink "$work/root/$libdir/Logs")" = /var/log/kalvor ] ||
  fail "$libdir/Logs does not lead to /var/log/kalvor"
for binary in "$libdir/Kalvor.so" "$libdir/kalvor-host"; do
  sections=$(readelf -S --wide "$work/root/$binary")
  if grep -qE '\.debug_|\.symtab' <<<"$sections"; then fail "$binary is not stripped"; fi
done

# Every command the installed scripts run comes from an Essential package or
# one that Depends names; the embedded engine too.
depends=$(dpkg-deb -f "$deb" Depends)
engine=$(ls /usr/lib/*/firebird/3.0/plugins/libEngine12.so | head -n 1)
for file in "$engine" $(command -v isql-fb gbak sed su chown chmod mkdir dirname readlink install rm rmdir \
  getent addgroup dpkg-statoverride tr head date mktemp grep cat basename); do
  # dpkg may know a merged /usr file under its old /bin or /sbin name.
  resolved=$(readlink -f "$file")
  owner=$(dpkg -S "$resolved" 2>/dev/null || dpkg -S "${resolved#/usr}" 2>/dev/null) ||
    fail "no package owns $file"
  package=$(head -n 1 <<<"$owner" | cut -d: -f1)
  [ "$(dpkg-query -W -f='${Essential}' "$package")" = yes ] && continue
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package (for $file): $depends"
done

# Install and use it, from a folder of no importance, as the README does.
flock "$apt_lock" apt-get install -y -qq "$root/$deb" >/dev/null
[ -d /var/log/kalvor ] || fail "no /var/log/kalvor after install"
[ "$(stat -c %U:%G:%a /etc/kalvor/Kalvor.ini)" = root:kalvor:640 ] ||
  fail "Kalvor.ini is $(stat -c %U:%G:%a /etc/kalvor/Kalvor.ini), not root:kalvor:640"
[ "$(stat -c %U:%G:%a /var/log/kalvor)" = root:kalvor:2775 ] ||
  fail "/var/log/kalvor is $(stat -c %U:%G:%a /var/log/kalvor), not root:kalvor:2775"
chmod 755 "$work"
cd "$work"

# A host under a service account in the kalvor group reads the ini (with the
# plugin's own password) and logs; an account outside it neither reads nor
# logs. The accounts are made as the README makes them. Root writes first: the
# day's folder and file it makes in the group's log folder must still take the
# member's lines.
adduser --system --no-create-home --quiet "$member"
adduser --quiet "$member" kalvor
adduser --system --no-create-home --quiet "$outsider"
if [[ -z "${KALVOR_SERVER_LOCKED:-}" ]]; then
  exec 8>/tmp/kalvor-firebird.lock
  flock 8
fi
"$root/scripts/firebird-server.sh" start >/dev/null
password=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password)
/usr/share/kalvor/create-database.sh "$server_db" --demo >/dev/null
/usr/share/kalvor/plugin-user.sh "$server_db" --user "$plugin_user" --ini /etc/kalvor/Kalvor.ini >/dev/null
[ "$(stat -c %U:%G:%a /etc/kalvor/Kalvor.ini)" = root:kalvor:640 ] ||
  fail "plugin-user.sh left Kalvor.ini $(stat -c %U:%G:%a /etc/kalvor/Kalvor.ini)"
grep -qx "DBUser=$plugin_user" /etc/kalvor/Kalvor.ini || fail "the ini does not name the plugin's user"
kalvor-host start-item 1 >/dev/null || fail "root could not ask for the start item"
runuser -u "$member" -- kalvor-host walk 1 >"$work/member" 2>&1 ||
  fail "the group's member could not walk: $(cat "$work/member")"
grep -q "^menu 1, start item 10$" "$work/member" || fail "unexpected walk: $(cat "$work/member")"
find /var/log/kalvor -type f -name "*_Kalvor.so.log" -exec cat {} + >"$work/member-log"
# Only the member's walk asks for items: root asked for the start item alone.
grep -aq "GetMenuItemDesc(MENU_GET_ITEM) IN\[menu_item_id=10\]" "$work/member-log" ||
  fail "the member's lines are missing from the log root began: $(cat "$work/member-log")"
grep -aq "Connected to $server_db as $plugin_user" "$work/member-log" ||
  fail "the plugin did not connect as its own user: $(cat "$work/member-log")"
echo "package test: $member of group kalvor logged into the files root made first:"
grep -a "MENU_GET_ITEM) IN\[menu_item_id=10\]" "$work/member-log" | head -1
if runuser -u "$outsider" -- kalvor-host start-item 1 >"$work/outsider" 2>&1; then
  fail "an account outside the group was answered: $(cat "$work/outsider")"
fi
grep -Eq "result_code[^0-9]*1\b" "$work/outsider" || fail "the outsider got no failure: $(cat "$work/outsider")"
grep -q "this account may not read .*Kalvor.ini: .* add it to the kalvor group" "$work/outsider" ||
  fail "the outsider was not told why: $(cat "$work/outsider")"
[ -z "$(find /var/log/kalvor -user "$outsider")" ] || fail "an account outside the group wrote a log"
/usr/share/kalvor/create-database.sh "$work/menu.fdb" --demo >/dev/null
/usr/share/kalvor/plugin-user.sh "$work/menu.fdb" --user "$plugin_user" --ini /etc/kalvor/Kalvor.ini >/dev/null
grep -qx "DBPWD=" /etc/kalvor/Kalvor.ini || fail "the embedded engine's ini keeps a password"
kalvor-host walk 1 >"$work/walk" || fail "walk failed: $(cat "$work/walk")"
grep -q "^menu 1, start item 10$" "$work/walk" || fail "unexpected walk: $(cat "$work/walk")"
kalvor-host check 1 >/dev/null || fail "the demo menu does not pass check"
# The embedded engine's lock folder is the firebird group's: as the README
# says, an account of the kalvor group goes through the server instead.
if runuser -u "$member" -- kalvor-host walk 1 >"$work/member-embedded" 2>&1; then
  fail "the member opened an embedded database: the README says it cannot"
fi
grep -q "operating system directive access failed.*/tmp/firebird/" "$work/member-embedded" ||
  fail "the member's embedded failure is not the README's: $(cat "$work/member-embedded")"
if kalvor-host item 999 >/dev/null 2>"$work/errors"; then fail "item 999 was found"; fi
grep -q "(/var/log/kalvor/.*_Kalvor.so.log):" "$work/errors" || fail "no log reasons: $(cat "$work/errors")"
ls /var/log/kalvor/*/*_Kalvor.so.log >/dev/null || fail "no log under /var/log/kalvor"
# Nothing written under /usr: the package's folders hold exactly its files.
for folder in "/$libdir" /usr/share/kalvor; do
  diff <(find "$folder" | sort) <(dpkg -L kalvor | grep "^$folder" | sort) ||
    fail "$folder holds files the package did not install"
done
[ ! -e /usr/bin/Logs ] || fail "/usr/bin/Logs exists"
cd "$root"

# Remove: only the edited conffile and the logs stay, as Debian keeps them.
flock "$apt_lock" dpkg -r kalvor >/dev/null
for path in "/$libdir" /usr/share/kalvor /usr/bin/kalvor-host /usr/include/kalvor \
  /usr/share/doc/kalvor; do
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after dpkg -r"
done
grep -q "^DBName=$work/menu.fdb$" /etc/kalvor/Kalvor.ini || fail "dpkg -r lost the edited conffile"

# Purge: nothing at all.
flock "$apt_lock" dpkg --purge kalvor >/dev/null
for path in /etc/kalvor /var/log/kalvor; do
  [ ! -e "$path" ] || fail "$path is left after dpkg --purge"
done
known && fail "dpkg still knows kalvor after the purge"
echo "package test: $(basename "$deb") built, installed, used, removed and purged"
