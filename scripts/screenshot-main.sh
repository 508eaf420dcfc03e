#!/usr/bin/env bash
# Takes a picture of the real main window after one "Read Energy" against the
# meter simulator, on a virtual X display: scripts/screenshot-main.sh OUT.png
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUT.png" >&2; exit 2; }
out=$(realpath -m "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
app=$root/build/src/app/quorvane
sim=$root/build/tools/sim/quorvane-sim
for f in "$app" "$sim"; do [ -x "$f" ] || { echo "$f not found: build it first" >&2; exit 1; }; done

work=$(mktemp -d)
"$sim" --link "$work/meter" >/dev/null 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -e "$work/meter" ] && break; sleep 0.05; done

cat >"$work/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
set -euo pipefail
app=$1 link=$2 out=$3 work=$4
cd "$work"  # History.log of this run stays in the scratch folder
QT_QPA_PLATFORM=xcb "$app" --demo --demo-hold 3000 --port "$link" >"$work/demo.out" 2>"$work/errors" &
pid=$!
for _ in $(seq 100); do
    grep -q '^window ' "$work/demo.out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
grep -q '^window ' "$work/demo.out" || { cat "$work/demo.out" "$work/errors" >&2; exit 1; }
sleep 0.5 # let the last repaint land
read -r _ x y w h < <(grep '^window ' "$work/demo.out")
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
wait "$pid" || true
INSIDE
chmod +x "$work/inside.sh"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$work/inside.sh" "$app" "$work/meter" "$out" "$work"
echo "$out"
