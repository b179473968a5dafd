# shellcheck shell=sh
# Sourced by the scripts that install packages; the caller holds the apt lock.
#
# apt_install ARGUMENT...: apt-get update, then apt-get install -y ARGUMENT...
# A mirror caught mid-sync serves an index that does not match its release
# file, and apt-get update fails; it is tried again. Should an index stay out
# of reach, the packages come from the indexes that were fetched, the
# release's own archive first: a security index missing for one architecture
# would otherwise leave no version of a library that both architectures share.

APT_UPDATE_TRIES=3
APT_UPDATE_PAUSE_SECONDS=20

# apt_update_with_retries [APT-GET OPTION...]
apt_update_with_retries() {
  try=1
  while ! apt-get "$@" update -qq; do
    [ "$try" -lt "$APT_UPDATE_TRIES" ] || return 1
    echo "apt-get update failed (try $try of $APT_UPDATE_TRIES); again in ${APT_UPDATE_PAUSE_SECONDS} s" >&2
    sleep "$APT_UPDATE_PAUSE_SECONDS"
    try=$((try + 1))
  done
}

apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  if apt_update_with_retries; then
    apt-get install -y "$@"
    return
  fi
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "Some package indexes could not be fetched: installing from the rest, $release's own archive first" >&2
  apt-get install -y -t "$release" "$@"
}
