#!/usr/bin/python3
"""Time from launch to the main window shown (port scan included), and to the bus
window shown (quorvane --bus), and the memory each running window holds. Run under a display, e.g.:
    xvfb-run -a -s "-screen 0 1024x768x24" bench/startup_bench.py [RUNS]
The bundled simulator's port is given with --port, as the run command does."""

import os
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
app = os.path.join(root, "build/src/app/quorvane")
sim = os.path.join(root, "build/tools/sim/quorvane-sim")
runs = int(sys.argv[1]) if len(sys.argv) > 1 else 15


def launch(extra, link, work):
    """Launch to shown, in ms, and the resident memory then, or None."""
    start = time.monotonic_ns()
    tool = subprocess.Popen([app, "--port", link, "--report-shown"] + extra, cwd=work,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = tool.stdout.readline().split()
    result = None
    if len(line) == 2 and line[0] == "shown":
        shown = (int(line[1]) - start) / 1e6
        time.sleep(0.3)  # let it settle before reading its memory
        result = (shown, rss_kib(tool.pid))
    tool.terminate()
    tool.wait()
    return result


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


with tempfile.TemporaryDirectory() as work:
    link = os.path.join(work, "meter")
    simulator = subprocess.Popen([sim, "--link", link], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not os.path.exists(link):
        time.sleep(0.01)
    # The main window and the bus window in turn, so that both meet the same machine.
    results = {"main window": [], "bus window": []}
    try:
        for _ in range(runs):
            for name, extra in (("main window", []), ("bus window", ["--bus"])):
                if (measured := launch(extra, link, work)) is not None:
                    results[name].append(measured)
    finally:
        simulator.terminate()
        simulator.wait()

if not all(results.values()):
    sys.exit("a window never reported itself shown (is there a display?)")
for name, measured in results.items():
    times = [t for t, _ in measured]
    memory = [m for _, m in measured]
    print(f"{name}: launch to shown, {len(times)} runs: median {statistics.median(times):.1f} ms, "
          f"min {min(times):.1f} ms, max {max(times):.1f} ms; resident memory median {statistics.median(memory) / 1024:.1f} MiB")
ratio = statistics.median(t for t, _ in results["bus window"]) / statistics.median(t for t, _ in results["main window"])
print(f"bus window / main window start-up: {ratio:.2f}x")
