#!/usr/bin/env bash
# Pictures of the bus window at work against the meter simulator, on a virtual
# X display: its scan, a change applied, a watch. scripts/screenshot-bus.sh [OUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
sim=$root/build/tools/sim/quorvane-sim
[ -x "$sim" ] || { echo "$sim not found: build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUORVANE_SHOTS_PORT=$work/meters
# Each picture with a simulator of its own: a change stays with the meters.
for scene in Scan Change Watch; do
    "$sim" --link "$work/meters" --meter "Tarvik CT@3" --meter "Morel-K@7" --meter "Pesca-N@12,19200" \
        --meter "Corvi Link@14" >/dev/null 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do [ -e "$work/meters" ] && break; sleep 0.05; done
    name=$(echo "$scene" | tr 'A-Z' 'a-z')
    "$root/scripts/screenshot.sh" "Bus_$scene" "$out/bus_$name.png" || { kill $sim_pid; exit 1; }
    kill $sim_pid
    wait $sim_pid 2>/dev/null || true
done
