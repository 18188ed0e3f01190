#!/usr/bin/env bash
# Builds the utility and starts it against simulated modems: a Korvane
# 33.6 modem on COM3, a 56K on COM5 whose loopback drops "B", and another
# maker's modem on COM6. Further arguments replace that set, e.g.
#   scripts/demo.sh COM2=korvane288 COM4=silent
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build >/dev/null
ports=("$@")
[ ${#ports[@]} -gt 0 ] || ports=(COM3=korvane336 COM5=korvane56,drop=B COM6=other)
simout=$(mktemp)
build/tools/modem-sim/modem-sim "${ports[@]}" >"$simout" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$simout"' EXIT
# The simulator prints one COMn=/dev/pts/N line per port once it is ready.
for _ in $(seq 50); do
  [ "$(grep -c '^COM' "$simout")" -ge ${#ports[@]} ] && break
  sleep 0.1
done
while read -r line; do export "${line?}"; done < <(grep '^COM' "$simout")
# Ports without a simulated modem must not reach real devices.
for n in 1 2 3 4 5 6 7 8; do
  v="COM$n"; [ -n "${!v:-}" ] || export "COM$n=/nonexistent/COM$n"
done
build/app/plovex
