#!/usr/bin/env python3
"""Prints two protocol figures of a built engine:
the time from writing "isready" to reading "readyok" (median of 100 tries),
and the processor time an idle engine uses in 10 seconds.

Usage: scripts/protocol-figures.py [path/to/ostrel64]
"""
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release/ostrel64")


def read_line(proc, timeout=10.0):
    deadline = time.monotonic() + timeout
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([proc.stdout], [], [], left)[0]:
            raise TimeoutError("no reply")
        line += os.read(proc.stdout.fileno(), 1)
    return line.decode().rstrip("\n")


with tempfile.TemporaryDirectory() as workdir:
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd=workdir, bufsize=0)
    while read_line(proc) not in ("info string 1MB Hash", "Belvantor"):
        pass
    time.sleep(0.5)

    latencies = []
    for _ in range(100):
        start = time.perf_counter()
        proc.stdin.write(b"isready\n")
        while read_line(proc) != "readyok":
            pass
        latencies.append((time.perf_counter() - start) * 1000.0)
        time.sleep(0.01)
    print(f"isready -> readyok: median {statistics.median(latencies):.3f} ms, "
          f"max {max(latencies):.3f} ms over {len(latencies)} tries")

    def cpu_seconds(pid):
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        ticks = int(fields[11]) + int(fields[12])  # utime + stime
        return ticks / os.sysconf("SC_CLK_TCK")

    before = cpu_seconds(proc.pid)
    time.sleep(10)
    after = cpu_seconds(proc.pid)
    print(f"idle processor time over 10 s: {(after - before) * 1000:.0f} ms")

    proc.stdin.write(b"quit\n")
    proc.wait(timeout=10)
