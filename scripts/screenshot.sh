#!/usr/bin/env bash
# Takes a picture of one window: scripts/screenshot.sh NAME OUT.png [BUILD_DIR]
# Runs quorvane-shots NAME on a virtual X display and crops the screen to the window.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 NAME OUT.png [BUILD_DIR]" >&2
    exit 2
fi
name=$1
out=$(realpath -m "$2")
root=$(cd "$(dirname "$0")/.." && pwd)
build=${3:-$root/build}
shots=$build/tools/shots/quorvane-shots
if [ ! -x "$shots" ]; then
    echo "$shots not found: build the quorvane-shots target first" >&2
    exit 1
fi
for tool in xvfb-run import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (xvfb, imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Inside the virtual display: start the window, wait for its position, grab it.
cat >"$work/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
set -euo pipefail
shots=$1 name=$2 out=$3 work=$4
QT_QPA_PLATFORM=xcb "$shots" "$name" 30 >"$work/where" 2>"$work/errors" &
pid=$!
for _ in $(seq 1 300); do
    grep -q '^window ' "$work/where" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q '^window ' "$work/where"; then
    echo "the window did not show:" >&2
    cat "$work/errors" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
read -r _ x y w h <"$work/where"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INSIDE
chmod +x "$work/inside.sh"

xvfb-run -a -s "-screen 0 1280x1024x24" "$work/inside.sh" "$shots" "$name" "$out" "$work"
echo "$out"
