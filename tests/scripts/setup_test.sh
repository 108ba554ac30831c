#!/usr/bin/env bash
# scripts/setup against a package mirror in the middle of an update, without
# a network: apt-get, dpkg, dpkg-query and sudo are stand-ins first on PATH,
# and scripts/enable-i386 one beside a copy of the script. The stand-in
# apt-get's update fails its first FAILS runs (a number, or "always") with
# the Err: lines of a list that went stale; its install fails with apt's
# multi-arch message when INSTALL=multiarch, and otherwise installs.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/scripts"
cp "$(dirname "$0")/../../scripts/setup" "$work/scripts/"
printf '#!/bin/sh\necho enable-i386 >>"$WORK/calls"\n' >"$work/scripts/enable-i386"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
cat >"$work/bin/dpkg" <<'STANDIN'
#!/bin/sh
case $1 in
--print-foreign-architectures) echo i386 ;;
*) echo "dpkg $*" >>"$WORK/calls" ;;
esac
STANDIN
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
grep -qx "$3" "$WORK/installed" 2>/dev/null || exit 1
echo 'install ok installed'
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/bash
echo "apt-get $*" >>"$WORK/calls"
if [ "$1" = update ]; then
  runs=$(grep -c '^apt-get update' "$WORK/calls")
  if [ "$FAILS" = always ] || [ "$runs" -le "$FAILS" ]; then
    echo "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
if [ "${INSTALL:-}" = multiarch ]; then
  echo " libc6-dev:i386 : Depends: linux-libc-dev:i386 but it is not going to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
shift 4 # install -y -q --no-install-recommends
printf '%s\n' "$@" >>"$WORK/installed"
echo "0 upgraded, $# newly installed, 0 to remove and 0 not upgraded."
STANDIN
chmod +x "$work"/bin/* "$work/scripts/"*
export PATH="$work/bin:$PATH" WORK="$work" QUORVAT_SETUP_PAUSES="0 0" TMPDIR="$work"

failures=0
check() { # what, then a command that must succeed
  local what=$1
  shift
  "$@" || {
    echo "FAIL [$case]: $what"
    failures=$((failures + 1))
  }
}
has() { grep -q -- "$1" "$2"; }
lacks() { ! grep -q -- "$1" "$2"; }
run() { # case, FAILS, INSTALL, setup's arguments
  case=$1 FAILS=$2 INSTALL=$3
  shift 3
  export FAILS INSTALL
  rm -f "$work/calls" "$work/installed"
  status=0
  "$work/scripts/setup" "$@" >"$work/out" 2>&1 || status=$?
  sed "s/^/  [$case] /" "$work/out"
}
updates() { [ "$(grep -c '^apt-get update' "$work/calls")" = "$1" ]; }

run "update fails once" 1 ok demo
check "exit status 0" [ "$status" = 0 ]
check "update tried again" updates 2
check "one line for the retry" [ "$(grep -c 'trying again in 0 s' "$work/out")" = 1 ]
check "installed, set-up finished" has '^enable-i386$' "$work/calls"
check "no warning once the lists came" lacks 'could not be fetched' "$work/out"

run "an unneeded list fails always" always ok demo
check "exit status 0" [ "$status" = 0 ]
check "update tried three times" updates 3
check "the list named, shortened" has \
  '^  deb.debian.org/debian-security bookworm-security/main i386 Packages: File has unexpected size (374820 != 376004). Mirror sync in progress?$' \
  "$work/out"
check "installed" has '^apt-get install' "$work/calls"
check "set-up finished" has '^enable-i386$' "$work/calls"

run "the install needs the failed list" always multiarch demo
check "exit status not 0" [ "$status" != 0 ]
check "says the lists could not be fetched" has 'mirror is' "$work/out"
check "says why the install failed" has "32-bit (i386) packages on offer don't match" "$work/out"
check "says nothing was installed" has 'Nothing was installed or removed' "$work/out"
check "says to run again later" has 'again later' "$work/out"
check "names both logs" has "Logs: $work/quorvat-apt-update.log, $work/quorvat-apt-install.log" "$work/out"
check "nothing run after the install" [ "$(tail -n 1 "$work/calls" | cut -d' ' -f1-2)" = "apt-get install" ]

run "all works" 0 ok demo
check "exit status 0" [ "$status" = 0 ]
check "one update, one install, then enable-i386" \
  [ "$(cut -d' ' -f1-2 "$work/calls" | tr '\n' ' ')" = "apt-get update apt-get install enable-i386 " ]
check "no warning" lacks 'could not\|trying again' "$work/out"
check "the demo gets neither Wine, nor the cross compiler, clang, an X server nor test libraries" \
  lacks 'wine\|mingw\|clang\|xvfb\|gtest' "$work/installed"
: >"$work/calls"
"$work/scripts/setup" demo >"$work/out" 2>&1
check "all there: no apt-get at all" [ "$(cat "$work/calls")" = enable-i386 ]

[ "$failures" = 0 ] && echo "setup: all four cases as expected"
exit "$failures"
