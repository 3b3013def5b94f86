#!/usr/bin/env python3
"""Perft speed of Ostrel against Stockfish, measured in one run.

Both engines are started once and kept running; then, alternately, Ostrel gets
"perft N" and Stockfish "go perft N" from the start position, and the time from
sending the command to the "Nodes searched" line is taken. Start-up is not
measured. Prints each pair, the node counts (which must agree), and the median,
minimum and maximum of the ratios Ostrel time / Stockfish time (the goal is at
most 2).

    scripts/perft-vs-stockfish.py [--pairs 5] [--depth 6]
                                  [--ostrel build/release/ostrel64]
                                  [--stockfish /usr/games/stockfish]

Stockfish is only a yardstick here: `scripts/ensure-tools.sh --with-stockfish`
installs Debian's package.
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

from match import Uci  # the engine process as the match script runs it


class Engine(Uci):
    def timed(self, command):
        """Seconds from sending the command to its "Nodes searched" line, and the count."""
        self.send("isready")
        self.until("readyok")
        start = time.perf_counter()
        self.send(command)
        line = self.until("Nodes searched", timeout=3600)[-1]
        return time.perf_counter() - start, int(line.split(":")[1])


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--depth", type=int, default=6)
    parser.add_argument("--ostrel", default=os.path.join(root, "build", "release", "ostrel64"))
    parser.add_argument("--stockfish", default=shutil.which("stockfish") or "/usr/games/stockfish")
    args = parser.parse_args()
    if not os.path.exists(args.stockfish):
        sys.exit("stockfish not found: run scripts/ensure-tools.sh --with-stockfish")

    # Ostrel writes its log into the working directory: give it a scratch one.
    with tempfile.TemporaryDirectory() as workdir:
        ostrel = Engine(os.path.abspath(args.ostrel), workdir)
        stockfish = Engine(args.stockfish, workdir)
        ostrel.send("position startpos")
        stockfish.send("uci")
        stockfish.until("uciok")
        stockfish.send("setoption name Threads value 1")
        stockfish.send("position startpos")
        ratios = []
        ok = True
        try:
            for pair in range(1, args.pairs + 1):
                t_o, n_o = ostrel.timed("perft %d" % args.depth)
                t_s, n_s = stockfish.timed("go perft %d" % args.depth)
                ratios.append(t_o / t_s)
                print("pair %d: ostrel %.3f s (%d nodes)  stockfish %.3f s (%d nodes)  ratio %.3f"
                      % (pair, t_o, n_o, t_s, n_s, t_o / t_s), flush=True)
                if n_o != n_s:
                    print("NODE COUNTS DIFFER")
                    ok = False
        finally:
            ostrel.close()
            stockfish.close()
    print("perft %d ratio ostrel / stockfish: median %.3f  min %.3f  max %.3f"
          % (args.depth, statistics.median(ratios), min(ratios), max(ratios)))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
