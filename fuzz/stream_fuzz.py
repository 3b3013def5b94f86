#!/usr/bin/env python3
"""Stream fuzzer: random and mutated command streams through real pipes.

Each stream starts a built engine program (the sanitizer builds, as
scripts/fuzz.sh passes them) in a temporary working directory and writes a
stream of commands with pauses: positions with legal, junk and 300-ply move
lists, "go" in every form with ordinary and extreme values, commands during
searches, Hash changes, perft and bench, overlong lines, NUL and non-ASCII
bytes, and an end by "quit" or by closing the input at a random moment (also
in the middle of a line). It then checks:

  - every "isready" is answered with "readyok";
  - every "go" gets exactly one "bestmove" (no more than one with "quit");
  - every best move is legal in the position searched, and a ponder move is
    legal after it (Stockfish is the oracle), whenever that position is known;
  - the process ends by itself with exit status 0 and the sanitizers say nothing.

Streams are numbered; stream i of seed S is the same on every run, so a
failure is repeated with --seed S --only i. Failing streams are saved under
--failures. Info lines are not parsed, whatever their layout.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

INT_EXTREMES = [-2147483648, -2147483647, -1, 0, 1, 1 << 30, 2000000000, 2147483647, 99999999999999999999]
MAX_LINE = 65535
STARTPOS = "startpos"
# Sound positions both engines read the same way: castling, en passant,
# promotions, checks, few and many pieces, the most moves known.
GOOD_FENS = [
    STARTPOS,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
    "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 10",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "8/8/3k4/8/8/3K4/3R4/8 w - - 100 80",
    "7k/8/8/8/8/8/8/K7 w - - 0 1",
    "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",
    "8/P1k5/K7/8/8/8/8/8 w - - 0 1",
]
# Values above this in a time or node field may keep a search going for long.
LONG_VALUE = 100000


class Oracle:
    """Stockfish, asked for the legal moves of a position."""

    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self._ask("uci", "uciok")
        self.cache = {}

    def _ask(self, command, until):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the oracle ended")
            line = line.strip()
            lines.append(line)
            if line.startswith(until):
                return lines

    def legal(self, fen, moves):
        key = (fen, tuple(moves))
        if key not in self.cache:
            head = "position startpos" if fen == STARTPOS else "position fen " + fen
            if moves:
                head += " moves " + " ".join(moves)
            self.process.stdin.write(head + "\n")
            lines = self._ask("go perft 1", "Nodes searched")
            self.cache[key] = {line.split(":")[0] for line in lines if ": " in line and not line.startswith("Nodes")}
        return self.cache[key]

    def close(self):
        self.process.stdin.write("quit\n")
        self.process.stdin.flush()
        self.process.wait(timeout=10)


class Stream:
    """One generated stream: actions (bytes and a pause after them) and, for
    each line that is a "go", the position it searches (None when unknown)."""

    def __init__(self, rng, oracle):
        self.rng = rng
        self.oracle = oracle
        self.actions = []        # (bytes, pause in seconds)
        self.position = (STARTPOS, [])
        self.go_positions = []   # one per action line that is a "go", in order
        self.needs_stop = False  # some search may not end by itself soon
        self.ending = rng.choices(["close", "quit", "midline"], [70, 20, 10])[0]
        self.tail = b""

    # -- building blocks -------------------------------------------------

    def value(self, small_low, small_high):
        if self.rng.random() < 0.25:
            return self.rng.choice(INT_EXTREMES)
        return self.rng.randint(small_low, small_high)

    def random_walk(self, fen, plies):
        moves = []
        words = []
        for _ in range(plies):
            legal = sorted(self.oracle.legal(fen, moves))
            if self.rng.random() < 0.1:
                junk = self.rng.choice(["e2e4", "e1g1", "e7e8q", "a1a1", "E2E4", "e2e4x", "0000", "moves", "h7h8n"])
                if junk not in legal:
                    words.append(junk)  # skipped by the engine
            if not legal:
                break
            move = self.rng.choice(legal)
            moves.append(move)
            words.append(move)
        return moves, words

    def position_line(self):
        fen = self.rng.choice(GOOD_FENS)
        plies = self.rng.choice([0, 0, 1, 2, 5, 10, 30]) if self.rng.random() < 0.95 else self.rng.randint(150, 300)
        moves, words = self.random_walk(fen, plies)
        line = "position startpos" if fen == STARTPOS else "position fen " + fen
        if words:
            line += " moves " + " ".join(words)
        return line, (fen, moves)

    def mutate(self, text):
        data = bytearray(text.encode())
        for _ in range(self.rng.randint(1, 4)):
            at = self.rng.randrange(len(data) + 1)
            kind = self.rng.random()
            if kind < 0.3 and at < len(data):
                del data[at]
            elif kind < 0.6:
                data.insert(at, self.rng.choice(b" /0123456789kqrbnpKQRBNP-w\t\x00\xff\xc3\xa9\r"))
            elif at < len(data):
                data[at] = self.rng.randrange(256)
        return bytes(data).replace(b"\n", b" ")

    def go_line(self):
        form = self.rng.random()
        long = False
        if form < 0.15:
            line = self.rng.choice(["go infinite", "go", "go searchmoves e2e4 d2d4", "go infinite depth 3"])
        elif form < 0.25:
            w, b = self.value(1, 5000), self.value(1, 5000)
            line = "go ponder wtime %d btime %d" % (w, b)
            long = True  # a "ponderhit" may hand it a long clock
        elif form < 0.45:
            field = self.rng.choice(["depth", "nodes", "movetime", "mate"])
            limits = {"depth": (1, 5), "nodes": (1, 30000), "movetime": (0, 300), "mate": (1, 3)}
            number = self.value(*limits[field])
            line = "go %s %d" % (field, number)
            long = field in ("nodes", "movetime") and number > LONG_VALUE
        elif form < 0.8:
            parts = ["go"]
            for field, low, high in [("wtime", -100, 8000), ("btime", -100, 8000), ("winc", 0, 100),
                                     ("binc", 0, 100), ("movestogo", 0, 40)]:
                if self.rng.random() < 0.7:
                    number = self.value(low, high)
                    parts.append("%s %d" % (field, number))
                    long |= number > LONG_VALUE
            line = " ".join(parts)
        else:
            parts = ["go"]
            for field in self.rng.sample(["depth", "nodes", "movetime", "mate", "wtime", "btime", "winc", "binc",
                                          "movestogo", "infinite", "ponder"], self.rng.randint(1, 5)):
                if field in ("infinite", "ponder"):
                    parts.append(field)
                    long |= field == "ponder"
                else:
                    number = self.rng.choice(INT_EXTREMES + [self.rng.randint(-5, 5)])
                    parts.append("%s %s" % (field, number))
                    long |= field != "depth" and field != "mate" and number > LONG_VALUE
            line = " ".join(parts)
        return line, long

    def garbage_line(self):
        kind = self.rng.random()
        if kind < 0.3:
            return bytes(self.rng.randrange(256) for _ in range(self.rng.randint(0, 60))).replace(b"\n", b"")
        if kind < 0.6:
            head = self.rng.choice([b"position startpos moves ", b"go ", b"setoption name Hash value ", b"",
                                    b"position fen "])
            filler = bytes(self.rng.choice(b"abcdefgh12345678 qnbr\x00\xe9") for _ in range(70000))
            return head + filler
        return self.rng.choice([b"uci ", b" isready", b"stop ", b"goat", b"positionx", b"perft", b"perft -1",
                                b"bench 0", b"setoption name Hash value", b"\x00go", b"quit ", b"debug",
                                b"\xef\xbb\xbfisready", b"\r"])

    # -- the stream ------------------------------------------------------

    def add(self, line, pause=0.0, go_position="none", long=False):
        data = line if isinstance(line, bytes) else line.encode()
        self.actions.append((data + b"\n", pause))
        for piece in cut_lines(data + b"\n"):
            if piece.startswith(b"position") or piece == b"ucinewgame":
                self.position = go_position if go_position != "none" else None
            if piece.startswith(b"go"):
                self.go_positions.append(self.position)
                self.needs_stop |= long or go_position == "none"

    def build(self):
        for _ in range(self.rng.randint(3, 30)):
            pause = self.rng.choice([0, 0, 0, 0.01, 0.05, 0.2])
            kind = self.rng.random()
            if kind < 0.2:
                line, position = self.position_line()
                self.add(line, pause, go_position=position)
            elif kind < 0.27:
                line, _ = self.position_line()
                self.add(self.mutate(line), pause)
            elif kind < 0.5:
                line, long = self.go_line()
                self.add_go(line, pause, long)
            elif kind < 0.6:
                self.add(self.rng.choice(["stop", "ponderhit", "isready"]), pause)
            elif kind < 0.67:
                self.add(self.rng.choice(["uci", "debug on", "debug off", "printboard", "eval", "ucinewgame"]),
                         pause, go_position=(STARTPOS, []))
            elif kind < 0.74:
                value = self.rng.choice([1, 2, 4, 8, 16, 32, 0, -1, 4096, 99999999999, "x", ""])
                self.add("setoption name Hash value %s" % value, pause)
            elif kind < 0.8:
                self.add(self.rng.choice(["perft 1", "perft 2", "perft 3", "perft 9", "bench 1", "bench 20"]), pause)
            elif kind < 0.9:
                self.add(self.garbage_line(), pause)
            else:
                self.add_go(self.mutate(self.go_line()[0]), pause, True)
        if self.ending == "quit":
            self.actions.append((b"quit\n", 0))
            self.actions.append((b"isready\ngo infinite\n", 0))  # never read
        elif self.ending == "midline":
            # A last line without its line feed, written after the searches
            # that need a "stop" have had it.
            self.tail = self.rng.choice([b"isready", b"go depth 1", b"position startpos moves e2e4", b"go infinite"])
            if self.tail.startswith(b"go"):
                self.go_positions.append(self.position)

    def add_go(self, line, pause, long):
        data = line if isinstance(line, bytes) else line.encode()
        self.actions.append((data + b"\n", pause))
        for piece in cut_lines(data + b"\n"):
            if piece.startswith(b"position") or piece == b"ucinewgame":
                self.position = None
            if piece.startswith(b"go"):
                self.go_positions.append(self.position)
                self.needs_stop |= long

    def data(self):
        return b"".join(data for data, _ in self.actions) + self.tail


def cut_lines(data):
    """The command lines the engine reads from these bytes: split at line
    feeds, a carriage return before the feed dropped, cut to MAX_LINE; a last
    line without a feed counts too."""
    pieces = data.split(b"\n")
    if pieces and pieces[-1] == b"":
        pieces.pop()
    lines = []
    for piece in pieces:
        if piece.endswith(b"\r"):
            piece = piece[:-1]
        lines.append(piece[:MAX_LINE])
    return lines


def lines_read(data):
    """The lines the engine carries out: those before the first "quit"."""
    lines = cut_lines(data)
    if b"quit" in lines:
        lines = lines[:lines.index(b"quit")]
    return lines


class Run:
    """A started engine with its output collected by threads."""

    def __init__(self, program, directory):
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"
        env["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1"
        self.process = subprocess.Popen([program], cwd=directory, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env)
        self.out = []
        self.err = []
        self.lock = threading.Lock()
        self.threads = [threading.Thread(target=self._collect, args=(self.process.stdout, self.out), daemon=True),
                        threading.Thread(target=self._collect, args=(self.process.stderr, self.err), daemon=True)]
        for thread in self.threads:
            thread.start()

    def _collect(self, stream, into):
        for line in iter(stream.readline, b""):
            with self.lock:
                into.append(line.rstrip(b"\r\n").decode("latin-1"))

    def write(self, data):
        try:
            self.process.stdin.write(data)
            self.process.stdin.flush()
        except (BrokenPipeError, OSError):
            pass

    def close_input(self):
        try:
            self.process.stdin.close()
        except (BrokenPipeError, OSError):
            pass

    def count(self, prefix):
        with self.lock:
            return sum(1 for line in self.out if line.startswith(prefix))


def run_stream(number, seed, program, oracle, timeout):
    rng = random.Random("%s-%d" % (seed, number))
    stream = Stream(rng, oracle)
    stream.build()
    directory = tempfile.mkdtemp(prefix="ostrel-stream-")
    failures = []
    try:
        run = Run(program, directory)
        for data, pause in stream.actions:
            run.write(data)
            if pause:
                time.sleep(pause)
        expected_go = sum(1 for line in lines_read(stream.data()) if line.startswith(b"go"))
        if stream.ending != "quit" and stream.needs_stop:
            # Searches with long limits end on "stop"; keep sending it until
            # every "go" so far has its answer.
            sent_go = expected_go - (1 if stream.tail.startswith(b"go") else 0)
            deadline = time.time() + timeout
            while run.count("bestmove") < sent_go and time.time() < deadline and run.process.poll() is None:
                run.write(b"stop\n")
                time.sleep(0.1)
        run.write(stream.tail)
        run.close_input()
        try:
            status = run.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            run.process.kill()
            run.process.wait()
            status = None
            failures.append("did not end within %d s of the end of its input" % timeout)
        for thread in run.threads:
            thread.join(timeout=5)

        if status is not None and status != 0:
            failures.append("exit status %d" % status)
        if any("Sanitizer" in line or "runtime error" in line for line in run.err):
            failures.append("sanitizer report")
        read = lines_read(stream.data())
        readies = sum(1 for line in read if line == b"isready")
        if run.count("readyok") != readies:
            failures.append("%d readyok for %d isready" % (run.count("readyok"), readies))
        bestmoves = [line for line in run.out if line.startswith("bestmove")]
        if stream.ending == "quit":
            if len(bestmoves) > expected_go:
                failures.append("%d bestmove for %d go" % (len(bestmoves), expected_go))
        elif len(bestmoves) != expected_go:
            failures.append("%d bestmove for %d go" % (len(bestmoves), expected_go))
        checked = 0
        for index, line in enumerate(bestmoves[:len(stream.go_positions)]):
            position = stream.go_positions[index]
            if position is None:
                continue
            checked += 1
            failure = check_bestmove(oracle, position, line)
            if failure:
                failures.append("go #%d: %s" % (index + 1, failure))
        return stream, run, failures, checked
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def check_bestmove(oracle, position, line):
    fen, moves = position
    words = line.split()
    best = words[1] if len(words) > 1 else ""
    legal = oracle.legal(fen, moves)
    if not legal:
        # The protocol's null move: the game is over (mate or stalemate).
        return None if line == "bestmove 0000" else "%s with no legal move" % line
    if best not in legal:
        return "%s: the best move is not legal after %s moves %s" % (line, fen, " ".join(moves))
    if len(words) >= 4 and words[2] == "ponder":
        if words[3] not in oracle.legal(fen, moves + [best]):
            return "%s: the ponder move is not legal after %s moves %s" % (line, fen, " ".join(moves + [best]))
    elif len(words) > 2:
        return "%s: not a bestmove line" % line
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("programs", nargs="+", help="engine programs, used in turn")
    parser.add_argument("--seed", default="1")
    parser.add_argument("--streams", type=int, default=0, help="how many streams (0: until --seconds)")
    parser.add_argument("--seconds", type=float, default=0, help="run streams for this long")
    parser.add_argument("--only", type=int, help="run this one stream")
    parser.add_argument("--stockfish", default=shutil.which("stockfish") or "/usr/games/stockfish")
    parser.add_argument("--timeout", type=int, default=120, help="seconds a stream may take to end")
    parser.add_argument("--failures", default="build/fuzz/stream-failures")
    args = parser.parse_args()

    oracle = Oracle(args.stockfish)
    start = time.time()
    totals = {"streams": 0, "bytes": 0, "go": 0, "checked": 0, "failed": 0}
    number = args.only if args.only is not None else 0
    while True:
        if args.only is not None and totals["streams"] == 1:
            break
        if args.only is None and args.streams and totals["streams"] >= args.streams:
            break
        if args.only is None and not args.streams and time.time() - start >= args.seconds:
            break
        program = os.path.abspath(args.programs[number % len(args.programs)])
        stream, run, failures, checked = run_stream(number, args.seed, program, oracle, args.timeout)
        totals["streams"] += 1
        totals["bytes"] += len(stream.data())
        totals["go"] += len(stream.go_positions)
        totals["checked"] += checked
        if failures:
            totals["failed"] += 1
            os.makedirs(args.failures, exist_ok=True)
            name = os.path.join(args.failures, "seed-%s-stream-%d" % (args.seed, number))
            with open(name + ".in", "wb") as out:
                out.write(stream.data())
            with open(name + ".out", "w") as out:
                out.write("\n".join(run.out + ["--- standard error"] + run.err) + "\n")
            print("FAILED stream %d (%s, --seed %s --only %d), saved as %s.*:" %
                  (number, os.path.basename(program), args.seed, number, name))
            for failure in failures:
                print("  " + failure)
            sys.stdout.flush()
        number += 1
    oracle.close()
    print("stream fuzzer: %(streams)d streams, %(bytes)d bytes, %(go)d go lines, "
          "%(checked)d best moves checked against the oracle, %(failed)d streams failed" % totals)
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
