#!/usr/bin/python3
"""Time from launch to the main window shown (port scan included) and the memory
the running window holds. Run under a display, e.g.:
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
    times, memory = [], []
    try:
        for _ in range(runs):
            start = time.monotonic_ns()
            tool = subprocess.Popen([app, "--port", link, "--report-shown"], cwd=work,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            line = tool.stdout.readline().split()
            if len(line) == 2 and line[0] == "shown":
                times.append((int(line[1]) - start) / 1e6)
                time.sleep(0.3)  # let it settle before reading its memory
                memory.append(rss_kib(tool.pid))
            tool.terminate()
            tool.wait()
    finally:
        simulator.terminate()
        simulator.wait()

if not times:
    sys.exit("the window never reported itself shown (is there a display?)")
print(f"launch to window shown, {len(times)} runs: median {statistics.median(times):.1f} ms, "
      f"min {min(times):.1f} ms, max {max(times):.1f} ms")
print(f"resident memory of the shown window: median {statistics.median(memory) / 1024:.1f} MiB")
