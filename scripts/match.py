#!/usr/bin/env python3
"""Plays games between two UCI engines under a real clock and reports
results, losses on time, illegal moves and protocol faults.

An independent engine (Stockfish from Debian's packages) is the referee: it
lists the legal moves of every position and tells check, mate and stalemate.

Usage: scripts/match.py ENGINE_A ENGINE_B [--games N] [--tc BASE_MS] [--inc INC_MS]
       [--referee /usr/games/stockfish]
"""
import argparse
import os
import select
import subprocess
import sys
import tempfile
import time

OPENINGS = [
    "",
    "e2e4 e7e5 g1f3 b8c6",
    "d2d4 d7d5 c2c4 e7e6",
    "e2e4 c7c5 g1f3 d7d6",
    "d2d4 g8f6 c2c4 g7g6",
    "c2c4 e7e5 b1c3 g8f6",
    "e2e4 e7e6 d2d4 d7d5",
    "g1f3 d7d5 g2g3 g8f6",
]


class Uci:
    def __init__(self, path, workdir):
        self.path = path
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, cwd=workdir, bufsize=0)
        self.buffer = b""

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())

    def read_line(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode(errors="replace")

    def until(self, prefix, timeout=30.0):
        lines = []
        while True:
            line = self.read_line(timeout)
            if line is None:
                raise RuntimeError(f"{self.path}: no '{prefix}' within {timeout} s")
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def close(self):
        try:
            self.send("quit")
            self.proc.wait(timeout=5)
        except Exception:
            self.proc.kill()


class Referee(Uci):
    def legal_moves(self, moves):
        self.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        self.send("go perft 1")
        lines = self.until("Nodes searched")
        return {l.split(":")[0] for l in lines if ":" in l and not l.startswith("Nodes")}

    def describe(self, moves):
        self.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        self.send("d")
        fen, checkers = None, ""
        for line in self.until("Checkers"):
            if line.startswith("Fen: "):
                fen = line[5:]
            if line.startswith("Checkers:"):
                checkers = line[9:].strip()
        return fen, checkers


def play_game(white, black, referee, opening, base_ms, inc_ms):
    engines = [white, black]
    clocks = [base_ms, base_ms]
    moves = opening.split()
    seen = {}
    stats = {"min_clock": base_ms, "faults": []}
    for engine in engines:
        engine.send("ucinewgame")
        engine.send("isready")
        engine.until("readyok")
    while True:
        legal = referee.legal_moves(moves)
        fen, checkers = referee.describe(moves)
        board_part = " ".join(fen.split()[:4])
        seen[board_part] = seen.get(board_part, 0) + 1
        side = len(moves) % 2
        if not legal:
            return ("0-1" if side == 0 else "1-0") if checkers else "1/2-1/2", "mate" if checkers else "stalemate", stats
        if seen[board_part] >= 3:
            return "1/2-1/2", "repetition", stats
        if int(fen.split()[4]) >= 100:
            return "1/2-1/2", "fifty moves", stats
        if len(moves) >= 400:
            return "1/2-1/2", "move limit", stats
        engine = engines[side]
        engine.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        start = time.monotonic()
        engine.send(f"go wtime {clocks[0]} btime {clocks[1]} winc {inc_ms} binc {inc_ms}")
        lines = engine.until("bestmove", timeout=clocks[side] / 1000.0 + 10)
        used = int((time.monotonic() - start) * 1000)
        clocks[side] -= used
        stats["min_clock"] = min(stats["min_clock"], clocks[side])
        if clocks[side] < 0:
            return ("0-1" if side == 0 else "1-0"), f"{engine.path} lost on time", stats
        clocks[side] += inc_ms
        parts = lines[-1].split()
        move = parts[1] if len(parts) > 1 else ""
        if move not in legal:
            stats["faults"].append(f"illegal move '{move}' after {' '.join(moves)}")
            return ("0-1" if side == 0 else "1-0"), f"{engine.path} played an illegal move", stats
        for line in lines[:-1]:
            if not line.startswith("info "):
                stats["faults"].append(f"unexpected line: {line}")
        moves.append(move)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("engine_a")
    parser.add_argument("engine_b")
    parser.add_argument("--games", type=int, default=8)
    parser.add_argument("--tc", type=int, default=10000, help="base time per side, ms")
    parser.add_argument("--inc", type=int, default=100, help="increment per move, ms")
    parser.add_argument("--referee", default="/usr/games/stockfish")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as workdir:
        a = Uci(os.path.abspath(args.engine_a), workdir)
        b = Uci(os.path.abspath(args.engine_b), workdir)
        referee = Referee(args.referee, workdir)
        for engine in (a, b, referee):
            engine.send("uci")
            engine.until("uciok")
        score = {a.path: 0.0, b.path: 0.0}
        faults = 0
        for game in range(args.games):
            white, black = (a, b) if game % 2 == 0 else (b, a)
            opening = OPENINGS[(game // 2) % len(OPENINGS)]
            result, reason, stats = play_game(white, black, referee, opening, args.tc, args.inc)
            if result == "1-0":
                score[white.path] += 1
            elif result == "0-1":
                score[black.path] += 1
            else:
                score[white.path] += 0.5
                score[black.path] += 0.5
            faults += len(stats["faults"]) + ("time" in reason or "illegal" in reason)
            print(f"game {game + 1}: {os.path.basename(white.path)} - {os.path.basename(black.path)} "
                  f"{result} ({reason}), lowest clock {stats['min_clock']} ms", flush=True)
            for fault in stats["faults"]:
                print("   ", fault)
        for engine in (a, b, referee):
            engine.close()
        for path, points in score.items():
            print(f"{os.path.basename(path)}: {points}")
        print(f"faults (time losses, illegal moves, stray lines): {faults}")
        sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
