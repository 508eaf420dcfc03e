#!/usr/bin/env bash
# The command line's speed on the meter simulator (paced at 9600 8N1 on a
# pseudo-terminal), each figure beside a generic Modbus master measured in the
# same run: a libmodbus client loop and mbpoll (Debian's libmodbus-dev, mbpoll).
# usage: bench/cli_bench.sh [BUILD_DIR]   (build the modbus_client_loop target first)
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
cli=$build/tools/cli/quorvane-cli
sim=$build/tools/sim/quorvane-sim
loop=$build/bench/modbus_client_loop
for f in "$cli" "$sim" "$loop"; do [ -x "$f" ] || { echo "$f not found: build it first" >&2; exit 1; }; done
command -v mbpoll >/dev/null || { echo "mbpoll is missing (apt install mbpoll)" >&2; exit 1; }

work=$(mktemp -d)
"$sim" --meter "Tarvik CT@1" --link "$work/meter" --log "$work/sim.log" >/dev/null &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -e "$work/meter" ] && break; sleep 0.05; done
port=$work/meter

# Wall seconds of a command, best of RUNS.
best() {
    local runs=$1; shift
    local best=""
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        t1=$(date +%s%N)
        local ms=$(( (t1 - t0) / 1000 ))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
ms() { awk -v us="$1" 'BEGIN { printf "%.1f ms", us / 1000 }'; }

echo "1. 200 reads of Read Energy in one process (per operation)"
a=$(best 5 "$cli" run --port "$port" --meter "Tarvik CT" --command "Read Energy" --address 1 --repeat 200 --no-history)
b=$(best 5 "$loop" "$port" 200 1)
echo "   quorvane-cli run --repeat 200: $(ms $((a / 200)))   libmodbus loop: $(ms $((b / 200)))   ratio $(ratio "$a" "$b")"

echo "2. One read as a whole process"
a=$(best 11 "$cli" run --port "$port" --meter "Tarvik CT" --command "Read Energy" --address 1 --no-history)
b=$(best 11 mbpoll -m rtu -b 9600 -P none -a 1 -t 3:float -B -0 -r 342 -c 1 -1 "$port")
echo "   quorvane-cli run: $(ms "$a")   mbpoll -1: $(ms "$b")   ratio $(ratio "$a" "$b")"

echo "3. Addresses 1-247 at 9600 8N1, 50 ms turnaround time-out, one meter"
a=$(best 3 "$cli" scan --port "$port" --baud 9600 --parity none --stop-bits 1 --addresses 1-247 --timeout 50)
b=$(best 3 mbpoll -m rtu -b 9600 -P none -a 1:247 -t 3 -0 -r 342 -c 2 -1 -o 0.05 "$port")
echo "   quorvane-cli scan: $(ms "$a")   mbpoll -a 1:247 -o 0.05: $(ms "$b")   ratio $(ratio "$a" "$b")"

echo "4. The whole default sweep: 6 baud rates x 4 parity/stop pairs x 247 addresses"
t0=$(date +%s%N)
"$cli" scan --port "$port" >/dev/null 2>"$work/sweep.err" || true
t1=$(date +%s%N)
a=$(( (t1 - t0) / 1000 ))
# The floor: every silent probe costs its 50 ms time-out (the request takes no
# line time on a pseudo-terminal). Settings the pty refuses are skipped, and
# count for nothing.
refused=$(grep -c "cannot take" "$work/sweep.err" || true)
tried=$((24 - refused))
echo "   quorvane-cli scan: $(ms "$a")   settings tried: $tried of 24   floor of $tried x 247 probes at 50 ms: $(ms $((tried * 247 * 50000)))"
