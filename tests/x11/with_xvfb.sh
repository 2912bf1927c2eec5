#!/usr/bin/env bash
# Runs a command with DISPLAY set to a virtual X server of its own, started here and stopped
# afterwards. Without an Xvfb binary it says so and exits 77, which ctest counts as skipped.
# XVFB_OPTIONS adds server options (e.g. "-extension MIT-SHM" for a server without it).
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "skipped: no Xvfb binary (scripts/install-deps.sh linux installs it)"
    exit 77
fi
numberFile=$(mktemp)
trap 'rm -f "$numberFile"' EXIT
# -displayfd picks a free display number and writes it when the server is ready.
# shellcheck disable=SC2086
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset ${XVFB_OPTIONS:-} \
    3>"$numberFile" 2>/dev/null &
server=$!
for _ in $(seq 1 100); do
    [ -s "$numberFile" ] && break
    kill -0 "$server" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$numberFile" ] || { echo "Xvfb did not start" >&2; kill "$server"; exit 1; }
export DISPLAY=":$(head -n1 "$numberFile")"
"$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $status
