#!/usr/bin/env bash
# quorvane-cli poll as fast as the line allows: 8 meters on one simulator line
# paced at 9600 8N1 (a pseudo-terminal), readings per second beside the line's
# own floor and beside mbpoll (Debian's mbpoll) polling the same 8 addresses
# on a line of the same kind.
# usage: bench/poll_bench.sh [BUILD_DIR] [ROUNDS]   (build quorvane-cli and quorvane-sim first)
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
rounds=${2:-50}
cli=$build/tools/cli/quorvane-cli
sim=$build/tools/sim/quorvane-sim
for f in "$cli" "$sim"; do [ -x "$f" ] || { echo "$f not found: build it first" >&2; exit 1; }; done
command -v mbpoll >/dev/null || { echo "mbpoll is missing (apt install mbpoll)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
meters=()
list=""
for a in 1 2 3 4 5 6 7 8; do
    meters+=(--meter "Tarvik CT@$a")
    list+="${list:+,}Tarvik CT@$a"
done
# A line of its own for each program, so neither sees the other's leftovers.
for name in ours theirs; do
    "$sim" "${meters[@]}" --baud 9600 --link "$work/$name" --log "$work/$name.log" >/dev/null &
    pids+=($!)
done
for _ in $(seq 100); do [ -e "$work/ours" ] && [ -e "$work/theirs" ] && break; sleep 0.05; done

# The floor of a real 9600 8N1 line: each reading is the 8-byte request, the
# 9-byte reply and the 3.5-character silence before the next request, at 10
# bits a character. A pseudo-terminal carries the request at once (only the
# simulator paces its reply), so its own floor is the reply alone.
read -r floor_ms floor_rate pty_ms pty_rate < <(awk 'BEGIN {
    c = 10 / 9600 * 1000
    f = (8 + 9 + 3.5) * c; p = 9 * c
    printf "%.2f %.1f %.2f %.1f\n", f, 1000 / f, p, 1000 / p }')

readings=$((rounds * 8))
t0=$(date +%s%N)
"$cli" poll --port "$work/ours" --baud 9600 --meters "$list" --interval 0 --count "$rounds" >"$work/poll.out"
t1=$(date +%s%N)
answered=$(grep -c "^[^ ]* $work/ours [0-9]* answered " "$work/poll.out" || true)
ours=$(awk -v n="$answered" -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", n / (ns / 1e9) }')
own=$(grep -o '[0-9.]* readings/s' "$work/poll.out" | head -1)
# The same with the pause a real 9600 line needs between frames (t3.5 = 3.6 ms, in whole ms).
"$cli" poll --port "$work/ours" --baud 9600 --meters "$list" --interval 0 --count "$rounds" --guard 4 >"$work/guard.out"
guarded=$(grep -o '[0-9.]* readings/s' "$work/guard.out" | head -1)

# mbpoll has no count: it polls the 8 addresses for as long as quorvane-cli
# took, then is stopped. It refuses a poll rate under 10 ms (-l 0 included):
# -l 10 is as fast as it goes.
seconds=$(awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", ns / 1e9 < 5 ? 5 : ns / 1e9 }')
t0=$(date +%s%N)
timeout -s INT "$seconds" mbpoll -m rtu -b 9600 -P none -a 1:8 -t 3 -0 -r 342 -c 2 -l 10 -o 1 "$work/theirs" \
    >"$work/mbpoll.out" 2>&1 || true
t1=$(date +%s%N)
# One reading a slave: its first register's line.
theirs_n=$(grep -c '^\[342\]' "$work/mbpoll.out" || true)
theirs=$(awk -v n="$theirs_n" -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", n / (ns / 1e9) }')

echo "8 meters (Tarvik CT 1-8, Read Energy: function 04, 2 registers), simulator paced at 9600 8N1 on a pseudo-terminal"
echo "  line floor, real 9600 line (8 + 9 bytes + t3.5 guard): $floor_ms ms a reading = $floor_rate readings/s"
echo "  line floor, pseudo-terminal (the 9-byte reply only):   $pty_ms ms a reading = $pty_rate readings/s"
echo "  quorvane-cli poll --interval 0 --count $rounds: $answered of $readings answered, $ours readings/s (process included; by its own summary $own)"
echo "  quorvane-cli poll --interval 0 --guard 4: by its own summary $guarded"
echo "  mbpoll -a 1:8 -t 3 -r 342 -c 2 -l 10: $theirs_n readings in ${seconds} s, $theirs readings/s"
awk -v a="$ours" -v f="$floor_rate" -v p="$pty_rate" -v m="$theirs" 'BEGIN {
    printf "  quorvane-cli: %.0f %% of the real-line floor rate, %.0f %% of the pseudo-terminal floor rate, %.2f x mbpoll\n",
           100 * a / f, 100 * a / p, (m > 0 ? a / m : 0) }'
