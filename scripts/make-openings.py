#!/usr/bin/env python3
"""Writes a varied, balanced opening set for engine matches (benchmarks/openings.epd): from the start position,
seven to nine plies, each chosen at random among the moves Stockfish rates within 40 centipawns of its best (MultiPV 6 at
depth 8), kept when a depth-12 search finds the position within 80 centipawns of equality. Fixed seed: the same
file on every run with the same Stockfish.

Usage: scripts/make-openings.py [--count N] [--seed S] [--out FILE] [--stockfish PATH]
"""
import argparse, os, random, subprocess

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--count", type=int, default=240)
parser.add_argument("--seed", type=int, default=2026)
parser.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "benchmarks", "openings.epd"))
parser.add_argument("--stockfish", default="/usr/games/stockfish")
args = parser.parse_args()

engine = subprocess.Popen([args.stockfish], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)


def ask(lines, until):
    for line in lines:
        engine.stdin.write(line + "\n")
    engine.stdin.flush()
    answer = []
    for line in engine.stdout:
        answer.append(line.strip())
        if line.startswith(until):
            return answer


def scores(moves, depth, lines):
    """The first move and score of each line of the deepest iteration."""
    out = ask(["setoption name MultiPV value %d" % lines, "position startpos moves " + " ".join(moves),
               "go depth %d" % depth], "bestmove")
    found = {}
    for line in out:
        words = line.split()
        if words[:1] != ["info"] or "multipv" not in words or "pv" not in words or "score" not in words:
            continue
        kind, value = words[words.index("score") + 1], int(words[words.index("score") + 2])
        found[int(words[words.index("multipv") + 1])] = (words[words.index("pv") + 1],
                                                          value if kind == "cp" else 10000 * (1 if value > 0 else -1))
    return [found[k] for k in sorted(found)]


rng = random.Random(args.seed)
fens, seen = [], set()
while len(fens) < args.count:
    moves = []
    for _ in range(rng.choice([7, 8, 9])):
        lines = scores(moves, 8, 6)
        if not lines:
            break
        best = lines[0][1]
        moves.append(rng.choice([move for move, score in lines if score >= best - 40]))
    final = scores(moves, 12, 1)
    if len(moves) < 7 or not final or abs(final[0][1]) > 80:
        continue
    fen = next(line for line in ask(["position startpos moves " + " ".join(moves), "d"], "Checkers")
               if line.startswith("Fen: "))[5:]
    epd = " ".join(fen.split()[:4])
    if epd not in seen:
        seen.add(epd)
        fens.append(epd)
with open(args.out, "w") as out:
    out.write("\n".join(fens) + "\n")
print("%d openings written to %s" % (len(fens), args.out))
