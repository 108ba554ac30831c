#!/usr/bin/env bash
# scripts/wine-prefix when Wine's server crashes during the set-up (as it
# now and then does under the emulator): the attempt is ended and made
# again, and a server that crashes every time ends in one line and a
# failure, not in a wait for ever. Wine here is a stand-in on PATH whose
# wineboot crashes its first CRASHES times and then sets the prefix up.
set -euo pipefail
script=$(realpath "$(dirname "$0")/../../scripts/wine-prefix")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\necho wine-stand-in\n' >"$work/bin/wine"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
cat >"$work/bin/wineboot" <<'STANDIN'
#!/usr/bin/env bash
runs=$(cat "$WORK/runs" 2>/dev/null || echo 0)
echo $((runs + 1)) >"$WORK/runs"
mkdir -p "$WINEPREFIX/drive_c/windows/system32"
if [ "$runs" -lt "$CRASHES" ]; then
  echo "wineserver crashed, please enable coredumps (ulimit -c unlimited) and restart."
  exec -a "wineboot-stand-in $WORK" sleep 600
fi
touch "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" "$WINEPREFIX/drive_c/windows/system32/kernel32.dll"
echo "wine: configuration in '$WINEPREFIX' has been updated."
STANDIN
chmod +x "$work/bin/"*
# A crash that goes unnoticed leaves the attempt waiting until its limit,
# long past the test's own timeout.
export PATH=$work/bin:$PATH WORK=$work QUORVAT_WINE_CACHE=none QUORVAT_WINE_PREFIX_LIMIT=3600

fail() {
  echo "FAIL: $1" >&2
  exit 1
}

CRASHES=1 "$script" "$work/once" 2>"$work/once.err" || fail "one crash: $(cat "$work/once.err")"
[ -f "$work/once/.quorvat-ready" ] && [ "$(cat "$work/runs")" = 2 ] ||
  fail "one crash: expected the prefix made by a second attempt"
grep -q "crashed while setting up.*attempt 2 of 3" "$work/once.err" || fail "one crash: not said"

rm -f "$work/runs"
if CRASHES=9 QUORVAT_WINE_PREFIX_ATTEMPTS=2 "$script" "$work/always" 2>"$work/always.err"; then
  fail "a server crashing every time: reported as made"
fi
[ "$(cat "$work/runs")" = 2 ] || fail "a server crashing every time: $(cat "$work/runs") attempts, not 2"
grep -qx "wine-prefix: no usable Wine prefix in $work/always: Wine's server crashed in each of 2 attempts (log: $work/always.log)" \
  "$work/always.err" || fail "a server crashing every time: $(cat "$work/always.err")"
! pgrep -f "wineboot-stand-in $work" >/dev/null || fail "a crashed attempt's wineboot left running"
echo "passed"
