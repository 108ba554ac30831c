#!/usr/bin/env bash
# scripts/setup against a package mirror in the middle of an update, without
# a network: apt-get, dpkg, dpkg-query, sleep and sudo are stand-ins first on
# PATH, and scripts/enable-i386 one beside a copy of the script. The
# stand-in apt-get's update fails its first FAILS runs (a number, or
# "always") with the Err: lines of a list that went stale. Its install
# INSTALL=ok installs; =multiarch fails with apt's multi-arch message;
# =newer fails so only when asked for the release's versions (-t), as on a
# machine with newer versions installed; =nothing "succeeds" and installs
# nothing. KERNEL=refuses has the stand-in enable-i386 find that 32-bit
# programs don't run.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/scripts"
cp "$(dirname "$0")/../../scripts/setup" "$work/scripts/"
cat >"$work/scripts/enable-i386" <<'STANDIN'
#!/bin/sh
echo "enable-i386${1:+ $1}" >>"$WORK/calls"
[ "$1" != --check ] || [ "$KERNEL" != refuses ]
STANDIN
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\necho "sleep $*" >>"$WORK/calls"\n' >"$work/bin/sleep"
cat >"$work/bin/dpkg" <<'STANDIN'
#!/bin/sh
echo "dpkg $*" >>"$WORK/calls"
case $1 in
--print-foreign-architectures) cat "$WORK/foreign" 2>/dev/null ;;
--add-architecture) echo "$2" >>"$WORK/foreign" ;;
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
    echo "Err:6 http://mirror.invalid/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
packages=() release=""
while shift && [ $# -gt 0 ]; do
  case $1 in
  -t) release=$2 && shift ;;
  -*) ;;
  *) packages+=("$1") ;;
  esac
done
if [ "$INSTALL" = multiarch ] || { [ "$INSTALL" = newer ] && [ -n "$release" ]; }; then
  echo " libc6-dev:i386 : Depends: linux-libc-dev:i386 but it is not going to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
[ "$INSTALL" = nothing ] || printf '%s\n' "${packages[@]}" >>"$WORK/installed"
echo "0 upgraded, ${#packages[@]} newly installed, 0 to remove and 0 not upgraded."
STANDIN
chmod +x "$work"/bin/* "$work/scripts/"*
echo 'VERSION_CODENAME=bookworm' >"$work/os-release"
export PATH="$work/bin:$PATH" WORK="$work" QUORVAT_SETUP_PAUSES="1 2" TMPDIR="$work" \
  QUORVAT_OS_RELEASE="$work/os-release"

failures=0
cases=0
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
run() { # case, FAILS, INSTALL, KERNEL, setup's arguments
  case=$1 FAILS=$2 INSTALL=$3 KERNEL=$4
  shift 4
  export FAILS INSTALL KERNEL
  rm -f "$work/calls" "$work/installed" "$work/foreign"
  status=0
  "$work/scripts/setup" "$@" >"$work/out" 2>&1 || status=$?
  sed "s/^/  [$case] /" "$work/out"
  sed "s/^/${1:-all}: /" "$work/calls" >>"$work/every-call"
  cases=$((cases + 1))
}
updates() { [ "$(grep -c '^apt-get update' "$work/calls")" = "$1" ]; }
installs() { [ "$(sed -n 's/^apt-get install -y -q --no-install-recommends\( -t [a-z]*\)\{0,1\} .*/apt-get install\1/p' "$work/calls")" = "$1" ]; }
sequence() { [ "$(cut -d' ' -f1-2 "$work/calls" | grep -v '^dpkg --print' | tr '\n' ' ')" = "$1" ]; }

run "update fails once" 1 ok native demo
check "exit status 0" [ "$status" = 0 ]
check "update tried again" updates 2
check "one line for the retry, the pause it sleeps" [ "$(grep 'trying again' "$work/out")" = \
  "setup: apt-get update could not fetch every package list; trying again in 1 s" ]
check "the lists came: no warning, the newest versions" lacks 'could not be fetched\|-t ' "$work/out"
check "set-up finished" sequence "apt-get update sleep 1 apt-get update apt-get install enable-i386 --check enable-i386 "

run "a list stays stale" always ok native demo
check "exit status 0" [ "$status" = 0 ]
check "update tried three times" updates 3
check "the pauses slept, the ones announced: 1 s, then 2 s" [ "$(grep -o 'in [0-9]* s' "$work/out" | cut -d' ' -f2 |
  tr '\n' ' ')/$(grep '^sleep' "$work/calls" | cut -d' ' -f2 | tr '\n' ' ')" = "1 2 /1 2 " ]
check "the list named, shortened" has \
  '^  mirror.invalid/debian-security bookworm-security/main i386 Packages: File has unexpected size (374820 != 376004). Mirror sync in progress?$' \
  "$work/out"
check "one line for the release's versions" [ "$(grep -c 'apt-get install -t bookworm$' "$work/out")" = 1 ]
check "the release's versions installed" installs "apt-get install -t bookworm"
check "set-up finished" has '^enable-i386$' "$work/calls"

run "the test's set-up, list stale, a kernel that refuses 32-bit programs" always ok refuses test
check "exit status 0" [ "$status" = 0 ]
check "the architecture added" has '^dpkg --add-architecture i386$' "$work/calls"
check "every install the release's versions" installs $'apt-get install -t bookworm\napt-get install -t bookworm'
check "the emulator once gcc-multilib is in and the kernel refused it" \
  sequence "dpkg --add-architecture apt-get update sleep 1 apt-get update sleep 2 apt-get update apt-get install enable-i386 --check apt-get install enable-i386 "
check "the emulator in an install of its own" has '^apt-get install .* qemu-user-static$' "$work/calls"

run "newer versions installed keep the release's out" always newer native demo
check "exit status not 0" [ "$status" != 0 ]
check "no install without the release" installs "apt-get install -t bookworm"
check "says to run again later" has 'again later' "$work/out"

run "the install needs the failed list" always multiarch native test
check "exit status not 0" [ "$status" != 0 ]
check "the release's versions alone" installs "apt-get install -t bookworm"
check "says the lists could not be fetched" has 'mirror is' "$work/out"
check "says why the install failed" has "32-bit (i386) packages on offer don't match" "$work/out"
check "says nothing was installed" has 'Nothing was installed or removed' "$work/out"
check "says to run again later" has 'again later' "$work/out"
check "names both logs" has "Logs: $work/quorvat-apt-update.log, $work/quorvat-apt-install.log" "$work/out"
check "nothing run after the install" [ "$(tail -n 1 "$work/calls" | cut -d' ' -f1-2)" = "apt-get install" ]

run "the install fails with every list fetched" 0 multiarch native demo
check "exit status not 0" [ "$status" != 0 ]
check "apt's own words right above the message" [ "$(grep -B1 '^setup: apt-get install failed' "$work/out" | head -n 1)" = \
  "E: Unable to correct problems, you have held broken packages." ]

run "the install leaves a package out" 0 nothing native demo
check "exit status not 0" [ "$status" != 0 ]
check "names the package" has '^setup: package cmake is still not installed' "$work/out"
check "not done" lacks 'setup: done' "$work/out"

run "play" 0 ok native play
check "exit status 0" [ "$status" = 0 ]
check "the 64-bit SDL2" has '^libsdl2-dev$' "$work/installed"

run "all works" 0 ok native demo
check "exit status 0" [ "$status" = 0 ]
check "one update, one install, then enable-i386" \
  sequence "apt-get update apt-get install enable-i386 --check enable-i386 "
check "no warning" lacks 'could not\|trying again' "$work/out"
check "the newest versions" installs "apt-get install"
check "the demo gets neither SDL2, Wine, the cross compiler, clang, an X server nor test libraries" \
  lacks 'sdl\|wine\|mingw\|clang\|xvfb\|gtest' "$work/installed"
: >"$work/calls"
"$work/scripts/setup" demo >"$work/out" 2>&1
check "all there: no apt-get at all" sequence "enable-i386 --check enable-i386 "

case="every case"
check "no 32-bit package, no foreign architecture, for the demo and the play window" \
  lacks '^\(demo\|play\): .*\(:i386\|add-architecture\)' "$work/every-call"
check "never a downgrade, nor a change to apt's configuration" lacks 'allow-downgrades\| -o' "$work/every-call"

[ "$failures" = 0 ] && echo "setup: all $cases cases as expected"
exit "$failures"
