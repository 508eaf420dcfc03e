#!/usr/bin/env bash
# Sets up, builds and runs Quorvane. The bundled meter simulator is started on
# a pseudo-terminal and offered as the first port, so the tool can be tried
# with no meter attached; real serial ports are listed after it. Without a
# display the same command runs one exchange headless and prints it.
# Extra arguments go to the tool (e.g. --port /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh quorvane quorvane-sim >/dev/null

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi
run_dir=$(mktemp -d /tmp/quorvane-run.XXXXXX)
link="$run_dir/meter-simulator"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$run_dir"
}
trap cleanup EXIT INT TERM

# One simulated meter of every type, at slave addresses 1 to 11 in list order.
meters=()
address=1
for type in "Tarvik CT" "Tarvik DC" "Morel-N" "Morel-K" "Pesca-N" "Pesca-K" \
            "Corvi Link" "Corvi-R" "Lunet-K" "Ventra" "Morel Serial"; do
    meters+=(--meter "$type@$address")
    address=$((address + 1))
done
build/tools/sim/quorvane-sim "${meters[@]}" --link "$link" --log "$run_dir/simulator.log" >"$run_dir/simulator.out" &
sim_pid=$!
for _ in $(seq 100); do
    [ -e "$link" ] && break
    sleep 0.05
done
[ -e "$link" ] || { echo "The meter simulator did not start:"; cat "$run_dir/simulator.out"; exit 1; }

echo "Meter simulator on $link (first in the port list): Tarvik CT at address 1, Tarvik DC at 2, Morel-N at 3,"
echo "Morel-K at 4, Pesca-N at 5, Pesca-K at 6, Corvi Link at 7, Corvi-R at 8, Lunet-K at 9, Ventra at 10, Morel Serial at 11."

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo
    echo "No display here, so the main window runs offscreen and reads one meter's energy by itself."
    echo "On a desktop the same command opens the window: press \"Open Port\", then \"Confirm\"."
    echo "(To watch it here: apt-get install xvfb, then: xvfb-run -a $0)"
    echo
    build/src/app/quorvane --demo --port "$link" "$@"
    echo
    echo "What the simulator saw:"
    sed 's/^/  /' "$run_dir/simulator.log"
else
    build/src/app/quorvane --port "$link" "$@"
fi
