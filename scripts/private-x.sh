#!/usr/bin/env bash
# Runs a command on an X server of its own: private-x.sh COMMAND [ARGS...].
# The server picks a free display number itself (-displayfd) and holds it
# from the start; choosing one beforehand, as `xvfb-run -a` does, races
# when several such commands start together, and a loser ends up on
# another's server, which vanishes under it when that command ends.
set -euo pipefail
scratch=$(mktemp -d /tmp/zelto-x-XXXXXX)
server=
cleanup() {
  if [ -n "${server}" ]; then
    kill "${server}" 2>/dev/null || true
    wait "${server}" 2>/dev/null || true
  fi
  rm -rf "${scratch}"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"${scratch}/display" >"${scratch}/log" 2>&1 &
server=$!
for _ in $(seq 1 200); do
  if [ -s "${scratch}/display" ]; then break; fi
  if ! kill -0 "${server}" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ ! -s "${scratch}/display" ]; then
  echo "private-x.sh: the X server did not start:" >&2
  cat "${scratch}/log" >&2
  exit 1
fi
DISPLAY=":$(tr -d '[:space:]' <"${scratch}/display")"
export DISPLAY
status=0
"$@" || status=$?
exit "${status}"
