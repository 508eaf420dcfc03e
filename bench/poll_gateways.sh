#!/usr/bin/env bash
# One quorvane-cli poll working 32 gateways at once: 32 simulators listening on
# loopback (rtu-tcp), 8 meters behind each, polled as fast as they answer for
# SECONDS. Prints readings per second (in all and a line), the poll's CPU time,
# and its resident memory sampled every second, to show it does not grow.
# usage: bench/poll_gateways.sh [BUILD_DIR] [SECONDS]   (build quorvane-cli and quorvane-sim first)
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
seconds=${2:-60}
lines=32
cli=$build/tools/cli/quorvane-cli
sim=$build/tools/sim/quorvane-sim
for f in "$cli" "$sim" /usr/bin/time; do [ -x "$f" ] || { echo "$f not found" >&2; exit 1; }; done

work=$(mktemp -d)
pids=()
poll=""
cleanup() {
    for p in $poll "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

meters=()
list=""
for a in 1 2 3 4 5 6 7 8; do
    meters+=(--meter "Tarvik CT@$a")
    list+="${list:+,}Tarvik CT@$a"
done

for i in $(seq "$lines"); do
    "$sim" "${meters[@]}" --listen rtu-tcp://127.0.0.1:0 --log /dev/null >"$work/sim$i.out" 2>&1 &
    pids+=($!)
done
# Each simulator's "port:" line, before the poll starts.
ports=()
for i in $(seq "$lines"); do
    port=""
    for _ in $(seq 200); do
        port=$(sed -n 's/^port: //p' "$work/sim$i.out")
        [ -n "$port" ] && break
        kill -0 "${pids[i - 1]}" 2>/dev/null || break
        sleep 0.05
    done
    [ -n "$port" ] || { echo "simulator $i did not start:" >&2; cat "$work/sim$i.out" >&2; exit 1; }
    ports+=(--port "$port")
done

/usr/bin/time -f "%e %U %S %M" -o "$work/time" \
    "$cli" poll "${ports[@]}" --meters "$list" --interval 0 --duration "$seconds" --json \
    >"$work/poll.json" 2>"$work/poll.err" &
timer=$!
# The poll itself is time's child.
for _ in $(seq 200); do
    poll=$(cat "/proc/$timer/task/$timer/children" 2>/dev/null | awk '{ print $1 }')
    [ -n "$poll" ] && break
    sleep 0.01
done
[ -n "$poll" ] || { echo "quorvane-cli poll did not start" >&2; exit 1; }

# VmRSS once a second while it runs, the first after 3 s.
sleep 3
: >"$work/rss"
while kill -0 "$poll" 2>/dev/null; do
    awk '/^VmRSS:/ { print $2 }' "/proc/$poll/status" 2>/dev/null >>"$work/rss" || true
    sleep 1
done
status=0
wait "$timer" || status=$?
poll=""

# Stop the simulators; their CPU time first, for context.
sim_ticks=0
for p in "${pids[@]}"; do
    t=$(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0)
    sim_ticks=$((sim_ticks + t))
done
for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
wait "${pids[@]}" 2>/dev/null || true
pids=()

# time(1) puts "Command exited with non-zero status N" first when it did.
read -r elapsed user sys maxrss < <(tail -1 "$work/time")
echo "$lines gateways (quorvane-sim --listen rtu-tcp on 127.0.0.1), 8 meters each (Tarvik CT 1-8, Read Energy)"
echo "quorvane-cli poll, $lines --port lines, --interval 0 --duration $seconds --json: exit status $status, $elapsed s wall"
# Readings from the JSON output: all, answered, and answered per port.
awk -v secs="$elapsed" -v lines="$lines" '
    { n++ }
    /"outcome": "answered"/ {
        ok++
        match($0, /"port": "[^"]*"/); per[substr($0, RSTART + 9, RLENGTH - 10)]++
    }
    END {
        min = -1
        for (p in per) { k++; if (min < 0 || per[p] < min) min = per[p]; if (per[p] > max) max = per[p] }
        printf "  readings: %d, answered: %d (%.3f %% lost)\n", n, ok, n ? 100 * (n - ok) / n : 0
        printf "  answered readings/s: %.1f in all, %.1f a line (slowest line %.1f, fastest %.1f; %d of %d lines answered)\n",
               ok / secs, ok / secs / lines, min / secs, max / secs, k, lines
    }' "$work/poll.json"
awk '/readings\/s/ { split($0, a, " readings/s"); n = split(a[1], b, " "); s += b[n]; k++ }
     END { if (k) printf "  by its own per-line summary: %.1f readings/s in all over %d lines\n", s, k }' "$work/poll.err"
awk -v u="$user" -v s="$sys" -v e="$elapsed" -v n="$lines" -v st="$sim_ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {
    printf "  CPU time: %.2f s user + %.2f s sys = %.2f s (%.1f %% of one core)\n", u, s, u + s, 100 * (u + s) / e
    printf "  the %d simulators together: %.2f s CPU\n", n, st / hz }'
awk -v peak="$maxrss" '
    NR == 1 { first = $1 } { last = $1; if ($1 > max) max = $1; n++ }
    END {
        printf "  VmRSS (%d samples, 1 s apart from 3 s in): first %d kB, last %d kB, max %d kB, last - first %+d kB\n",
               n, first, last, max, last - first
        printf "  peak resident size by time(1): %d kB\n", peak
    }' "$work/rss"
# The trend: every tenth sample.
echo "  VmRSS every 10 s, kB: $(awk 'NR % 10 == 1 { printf "%s%d", sep, $1; sep = " " }' "$work/rss")"
