#!/usr/bin/env bash
# scripts/wine-prefix when Wine's first-start set-up goes wrong, as it now and
# then does under the emulator: its server crashes, its session stops using
# the processor, or the session ends before wineboot says the set-up is done.
# Each such attempt is ended and made again, an attempt that never finished is
# never taken as a prefix, and a set-up failing every time ends in one line
# naming the logs, not in a wait for ever. Wine here is a stand-in on PATH
# whose wineboot does, run after run, what PLAN says (the last word repeats):
#   crash  says Wine's server crashed, and waits
#   stall  waits without using the processor
#   early  leaves a prefix's files and ends without saying it is done
#   busy   works (uses the processor) for BUSY seconds, then does as ok
#   ok     sets the prefix up and says so
set -euo pipefail
script=$(realpath "$(dirname "$0")/../../scripts/wine-prefix")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\necho wine-stand-in\n' >"$work/bin/wine"
# Ends the stand-in session, as the real server's -k ends its clients.
cat >"$work/bin/wineserver" <<'STANDIN'
#!/bin/sh
# shellcheck disable=SC2046
[ "$1" = -k ] && [ -f "$WORK/session" ] && kill $(cat "$WORK/session") 2>/dev/null
exit 0
STANDIN
# The script knows the session's processes by their programs' names; the
# stand-in wineboot is one of them, as the real one is, and so is the
# server the stalled one starts.
cp "$(command -v sleep)" "$work/bin/wine-sleep"
cp "$(command -v bash)" "$work/bin/wine-bash"
cp "$(command -v bash)" "$work/bin/wineserver32"
echo "#!$work/bin/wine-bash" >"$work/bin/wineboot"
cat >>"$work/bin/wineboot" <<'STANDIN'
runs=$(cat "$WORK/runs" 2>/dev/null || echo 0)
echo $((runs + 1)) >"$WORK/runs"
plan=($PLAN)
step=${plan[runs]:-${plan[-1]}}
echo $$ >"$WORK/session"
mkdir -p "$WINEPREFIX/drive_c/windows/system32"
files() { (cd "$WINEPREFIX" && touch system.reg user.reg drive_c/windows/system32/{kernel32.dll,user32.dll,msvcrt.dll,xinput1_4.dll,cmd.exe}); }
case $step in
crash)
  echo "wineserver crashed, please enable coredumps (ulimit -c unlimited) and restart."
  exec -a "wine-stand-in $WORK" "$WORK/bin/wine-sleep" 600
  ;;
# Long past the stall window, but not the test's timeout: unnoticed, the
# stall ends as a set-up that never said it was done. The server goes on
# working while its programs wait (under the emulator it does, a little).
stall)
  "$WORK/bin/wineserver32" -c 'end=$((SECONDS + 30)); while [ $SECONDS -lt $end ]; do :; done' &
  echo "$$ $!" >"$WORK/session"
  exec -a "wine-stand-in $WORK" "$WORK/bin/wine-sleep" 30
  ;;
early) files ;;
busy | ok)
  [ "$step" = ok ] || "$WORK/bin/wine-bash" -c 'end=$((SECONDS + BUSY)); while [ $SECONDS -lt $end ]; do :; done'
  files
  echo "wine: configuration in '$WINEPREFIX' has been updated."
  ;;
esac
STANDIN
chmod +x "$work/bin/"*
# A failure that goes unnoticed leaves the attempt waiting until its limit,
# long past the test's own timeout.
export PATH=$work/bin:$PATH WORK=$work QUORVAT_WINE_CACHE=none QUORVAT_WINE_PREFIX_LIMIT=3600 \
  QUORVAT_WINE_PREFIX_STALL=3 BUSY=7

fail() {
  echo "FAIL: $1" >&2
  exit 1
}
# make_prefix NAME PLAN [ATTEMPTS]: the script on a prefix of its own; its stderr in NAME.err.
make_prefix() {
  rm -f "$work/runs"
  PLAN=$2 QUORVAT_WINE_PREFIX_ATTEMPTS=${3:-3} "$script" "$work/$1" 2>"$work/$1.err"
}
runs() { cat "$work/runs"; }

make_prefix once "crash ok" || fail "one crash: $(cat "$work/once.err")"
[ -f "$work/once/.quorvat-ready" ] && [ "$(runs)" = 2 ] ||
  fail "one crash: expected the prefix made by a second attempt"
grep -q "attempt 1 of 3 failed: Wine's server crashed.*attempt 2 of 3" "$work/once.err" ||
  fail "one crash: not said"

if make_prefix always crash 2; then
  fail "a server crashing every time: reported as made"
fi
[ "$(runs)" = 2 ] || fail "a server crashing every time: $(runs) attempts, not 2"
grep -qx "wine-prefix: no usable Wine prefix in $work/always: Wine's server crashed, in each of 2 attempts (logs: $work/always.log.1, $work/always.log)" \
  "$work/always.err" || fail "a server crashing every time: $(cat "$work/always.err")"

# A session that stops working is ended within the window; one that works
# for longer than the window is left to finish.
make_prefix stalled "stall busy" || fail "one stall: $(cat "$work/stalled.err")"
[ -f "$work/stalled/.quorvat-ready" ] && [ "$(runs)" = 2 ] ||
  fail "one stall: expected the prefix made by a second attempt: $(cat "$work/stalled.err")"
grep -q "attempt 1 of 3 failed: its Wine session used no processor time for 3 s .*attempt 2 of 3" \
  "$work/stalled.err" || fail "one stall: not said: $(cat "$work/stalled.err")"

if make_prefix stuck stall 2; then
  fail "a session stalling every time: reported as made"
fi
[ "$(runs)" = 2 ] || fail "a session stalling every time: $(runs) attempts, not 2"
grep -qx "wine-prefix: no usable Wine prefix in $work/stuck: its Wine session used no processor time for 3 s, in each of 2 attempts (logs: $work/stuck.log.1, $work/stuck.log)" \
  "$work/stuck.err" || fail "a session stalling every time: $(cat "$work/stuck.err")"

# Its files are there, but the set-up never said it was done.
if make_prefix early early 2; then
  fail "a set-up ending before it was done: taken as a prefix"
fi
[ ! -f "$work/early/.quorvat-ready" ] && [ "$(runs)" = 2 ] ||
  fail "a set-up ending before it was done: not made again"
grep -q "ended before wineboot said the set-up was done, in each of 2 attempts" "$work/early.err" ||
  fail "a set-up ending before it was done: $(cat "$work/early.err")"

! pgrep -f "wine-stand-in $work|$work/bin/wine" >/dev/null || fail "an ended attempt's session left running"
echo "passed"
