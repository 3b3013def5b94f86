#!/usr/bin/env python3
"""What a second thread buys, measured side by side in one run on this machine:

1. speed: nodes per second with Threads 2 against Threads 1, on the bench positions, "go movetime", the two
   settings alternating position by position (the ratio of the medians);
2. time to depth: the time to reach a fixed depth over the bench positions with each setting, each search in a
   fresh process (an empty table), alternating;
3. strength (with a match runner): a match of Threads 2 against Threads 1 with a real match runner (fastchess or
   cutechess-cli), one game at a time, from benchmarks/openings.epd, and the Elo difference with its 95 % margin.

Threads compete for the cores with everything else: run it on an otherwise idle machine.

Usage: scripts/threads-figures.py [--program build/release/ostrel64] [--threads 2] [--movetime 1000] [--depth 11]
       [--runner PATH] [--games 200] [--tc 5+0.05]
"""
import argparse, os, re, shutil, statistics, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--program", default=os.path.join(here, "..", "build", "release", "ostrel64"))
parser.add_argument("--threads", type=int, default=2)
parser.add_argument("--movetime", type=int, default=1000)
parser.add_argument("--depth", type=int, default=11)
parser.add_argument("--hash", type=int, default=64, help="MB of table for every search (threads share it)")
parser.add_argument("--runner", help="fastchess or cutechess-cli; found on PATH when not given")
parser.add_argument("--games", type=int, default=200)
parser.add_argument("--tc", default="5+0.05")
parser.add_argument("--no-match", action="store_true")
args = parser.parse_args()
program = os.path.abspath(args.program)
with open(os.path.join(here, "..", "source", "bench.cpp")) as source:
    positions = re.findall(r'^\s+"([^"]+ [wb] [^"]+)",$', source.read(), re.M)


def search(threads, fen, go):
    """The last full info line of one search in a fresh process: (nodes, milliseconds)."""
    commands = "setoption name Hash value %d\nsetoption name Threads value %d\nposition fen %s\n%s\n" % (
        args.hash, threads, fen, go)
    with tempfile.TemporaryDirectory() as folder:
        out = subprocess.run([program], input=commands, capture_output=True, text=True, cwd=folder).stdout
    last = [line.split() for line in out.splitlines() if line.startswith("info depth") and " nodes " in line][-1]
    return int(last[last.index("nodes") + 1]), int(last[last.index("time") + 1])


speeds = {1: [], args.threads: []}
times = {1: 0, args.threads: 0}
for fen in positions:
    for threads in (1, args.threads):
        nodes, ms = search(threads, fen, "go movetime %d" % args.movetime)
        speeds[threads].append(nodes * 1000 / max(ms, 1))
        times[threads] += search(threads, fen, "go depth %d" % args.depth)[1]
one, more = statistics.median(speeds[1]), statistics.median(speeds[args.threads])
print("%d bench positions, %s, Hash %d" % (len(positions), program, args.hash))
print("nodes per second, median over positions: Threads 1 %.0f, Threads %d %.0f, ratio %.2f"
      % (one, args.threads, more, more / one))
print("time to depth %d over all positions: Threads 1 %.1f s, Threads %d %.1f s, ratio %.2f"
      % (args.depth, times[1] / 1000, args.threads, times[args.threads] / 1000, times[args.threads] / times[1]))

runner = args.runner or shutil.which("fastchess") or shutil.which("cutechess-cli")
if args.no_match:
    sys.exit(0)
if not runner:
    sys.exit("no match runner: give --runner, or put fastchess or cutechess-cli on PATH")
openings = os.path.join(here, "..", "benchmarks", "openings.epd")
with tempfile.TemporaryDirectory() as folder:
    book = ["-openings", "file=" + openings, "format=epd", "order=random"]
    command = [runner, "-engine", "cmd=" + program, "name=threads%d" % args.threads,
               "option.Threads=%d" % args.threads, "-engine", "cmd=" + program, "name=threads1",
               "-each", "option.Hash=%d" % args.hash, "proto=uci", "tc=" + args.tc,
               "-rounds", str(args.games // 2), "-games", "2", "-repeat", "-concurrency", "1", "-recover",
               "-pgnout", "file=" + os.path.join(folder, "games.pgn")] + book
    result = subprocess.run(command, capture_output=True, text=True, cwd=folder)
    report = [line for line in result.stdout.splitlines() if "Elo" in line or "Games" in line or "Ptnml" in line]
    print("\n".join(report[-4:]) if report else result.stdout[-2000:])
