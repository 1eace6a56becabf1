#!/usr/bin/env bash
# Runs the Windows build's tests (ctest --preset windows) under Wine, on the X
# display it is started with (scripts/private-x.sh in CI): the editor tests open real
# windows. Arguments go to ctest.
#
# Wine's first start in a prefix makes the prefix (~/.wine); that is done once
# here, with the runtime installers it would offer switched off. Then one
# persistent Wine server serves the whole run, with Wine's own services up
# before tests start in parallel: left alone, a server exits a few seconds
# after its last program (a test starting just then loses its connection),
# and programs racing to start the services of a new server can hang.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1)
wineserver="$(dirname "${wine}")/wineserver"
[ -x "${wineserver}" ] || wineserver=wineserver
"${wine}" wineboot --init >/dev/null 2>&1 || true
"${wineserver}" -w
"${wineserver}" -p
"${wine}" wineboot --init >/dev/null 2>&1 || true
status=0
ctest --preset windows "$@" || status=$?
"${wineserver}" -k || true
exit "${status}"
