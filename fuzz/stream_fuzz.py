#!/usr/bin/env python3
"""Stream fuzzer: random and mutated command streams through real pipes.

Each stream starts an engine program (scripts/fuzz.sh passes the sanitizer builds and sets their options)
in a temporary folder and writes commands with pauses (a quarter of the streams in Chess960, after
"setoption name UCI_Chess960 value true"): positions with legal, junk and 300-ply move lists,
"go" in every form with ordinary and extreme values, commands during searches, Hash changes, perft and
bench, overlong lines, NUL and non-ASCII bytes, then "quit" or the end of the input at a random moment.
Every "isready" must get "readyok", every "go" exactly one "bestmove" (at most one with "quit"), legal with
its ponder move wherever the position is known (Stockfish is the oracle), and the program must end by
itself with status 0 and no sanitizer report. Stream i of seed S is the same on every run (--seed S --only
i); failing streams are saved under --failures.
"""

import argparse, collections, contextlib, functools, itertools, os, pathlib, random, re, shutil, subprocess, sys, tempfile, \
    threading, time

EXTREMES = [-2147483648, -2147483647, -1, 0, 1, 1 << 30, 2000000000, 2147483647, 99999999999999999999]
MAX_LINE = 65535
OPTION_VALUES = {"Hash": [1, 2, 4, 8, 16, 32, 0, -1, 4096, 99999999999, "x", ""],
                 "MultiPV": [1, 1, 2, 3, 5, 256, 0, 257, "x", ""], "Move Overhead": [0, 10, 100, 5000, 5001, -1, ""],
                 "Ponder": ["true", "false", "x"], "Clear Hash": [""], "No Such Option": [1]}
LONG = 100000  # a time or node value above this may keep a search going for long
GO_RANGES = dict(depth=(1, 5), nodes=(1, 30000), movetime=(0, 300), mate=(1, 3), wtime=(-100, 8000),
                 btime=(-100, 8000), winc=(0, 100), binc=(0, 100), movestogo=(0, 40))
# Sound positions both programs read as Stockfish does, one a line ("chess960 " before those of Chess960 streams).
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "stream_positions.txt")) as listed:
    FENS = [line.strip() for line in listed if line.strip() and not line.startswith("#")]
MOVE_LINE = re.compile(r"^([a-h][1-8][a-h][1-8][nbrq]?): ")


class Oracle:
    """Stockfish, asked for the legal moves of a position."""

    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, bufsize=1)

    @functools.lru_cache(maxsize=None)
    def legal(self, fen, *moves):
        chess960, fen = fen.startswith("chess960 "), fen.removeprefix("chess960 ")
        head = "position startpos" if fen == "startpos" else "position fen " + fen
        self.process.stdin.write("setoption name UCI_Chess960 value %s\n%s moves %s\ngo perft 1\n"
                                 % (str(chess960).lower(), head, " ".join(moves)))
        self.process.stdin.flush()
        found = set()
        for line in self.process.stdout:
            if line.startswith("Nodes searched"):
                return found
            if move := MOVE_LINE.match(line):
                found.add(move.group(1))
        raise RuntimeError("the oracle ended")


def lines_read(data):
    """The lines the engine carries out from these bytes: split at line feeds, a carriage return before the
    feed dropped, cut to MAX_LINE, a last line without its feed included, up to the first "quit"."""
    lines = [(piece[:-1] if piece.endswith(b"\r") else piece)[:MAX_LINE] for piece in data.split(b"\n")]
    lines = lines[:-1] if lines[-1] == b"" else lines
    return lines[:lines.index(b"quit")] if b"quit" in lines else lines


class Stream:
    """Actions (bytes and a pause after them) and the position each "go" searches (None when unknown)."""

    def __init__(self, rng, oracle):
        self.rng, self.oracle = rng, oracle
        self.actions, self.searched = [], []
        # A position is the oracle's: a FEN or "startpos", "chess960 " before it in a Chess960 stream, and moves.
        self.chess960 = rng.random() < 0.25
        self.start = ("chess960 startpos" if self.chess960 else "startpos", [])
        self.position, self.needs_stop, self.tail = self.start, False, b""
        if self.chess960:
            self.add("setoption name UCI_Chess960 value true")
        self.ending = rng.choices(["close", "quit", "midline"], [70, 20, 10])[0]
        for _ in range(rng.randint(3, 30)):
            self.add(*self.command(), pause=rng.choice([0, 0, 0, 0.01, 0.05, 0.2]))
        if self.ending == "quit":
            self.actions.append((b"quit\nisready\ngo infinite\n", 0))  # the last two are never read
        elif self.ending == "midline":
            # A last line without its feed, written once the searches that need a "stop" have had it.
            self.tail = rng.choice([b"isready", b"go depth 1", b"position startpos moves e2e4", b"go infinite"])
            if self.tail.startswith(b"go"):
                self.searched.append(self.position)

    def add(self, data, position=None, long=True, pause=0):
        """position: what a "position" line in it sets up; long: a search it starts may not end by itself soon."""
        data = (data if isinstance(data, bytes) else data.encode()) + b"\n"
        self.actions.append((data, pause))
        for line in lines_read(data):
            if line.startswith(b"position") or line == b"ucinewgame":
                self.position = position
            if line.startswith(b"go"):
                self.searched.append(self.position)
                self.needs_stop |= long

    def data(self):
        return b"".join(data for data, _ in self.actions) + self.tail

    def command(self):
        """A command, the position it sets up, and whether a search it starts may need "stop"."""
        rng = self.rng
        kinds = [(20, self.position_line), (7, lambda: (self.mutate(self.position_line()[0]), None, True)),
                 (23, self.go_line), (10, lambda: (rng.choice(["stop", "ponderhit", "isready"]), None, True)),
                 (7, lambda: (rng.choice(["uci", "debug on", "debug off", "printboard", "eval", "ucinewgame"]),
                              self.start, True)),
                 (7, self.setoption_line),
                 (6, lambda: (rng.choice(["perft 1", "perft 2", "perft 3", "perft 9", "bench 1", "bench 20"]), None, True)),
                 (10, lambda: (self.garbage(), None, True)), (10, lambda: (self.mutate(self.go_line()[0]), None, True))]
        return rng.choices([make for _, make in kinds], [weight for weight, _ in kinds])[0]()

    def setoption_line(self):
        name = self.rng.choice(list(OPTION_VALUES))
        spelt = self.rng.choice([name, name.lower(), name.upper()])
        return "setoption name %s value %s" % (spelt, self.rng.choice(OPTION_VALUES[name])), None, True

    def value(self, low, high):
        return self.rng.choice(EXTREMES) if self.rng.random() < 0.25 else self.rng.randint(low, high)

    def position_line(self):
        rng = self.rng
        fen = rng.choice([f for f in FENS if self.chess960 or not f.startswith("chess960 ")])
        fen = ("chess960 " if self.chess960 else "") + fen.removeprefix("chess960 ")
        plies = rng.choice([0, 0, 1, 2, 5, 10, 30]) if rng.random() < 0.95 else rng.randint(150, 300)
        moves, words = [], []
        for _ in range(plies):
            legal = sorted(self.oracle.legal(fen, *moves))
            junk = rng.choice(["e2e4", "e1g1", "e7e8q", "a1a1", "E2E4", "e2e4x", "0000", "moves", "h7h8n"])
            if rng.random() < 0.1 and junk not in legal:
                words.append(junk)  # skipped by the engine
            if not legal:
                break
            moves.append(rng.choice(legal))
            words.append(moves[-1])
        line = "position startpos" if fen.endswith("startpos") else "position fen " + fen.removeprefix("chess960 ")
        return line + (" moves " + " ".join(words) if words else ""), (fen, moves), True

    def mutate(self, text):
        data = bytearray(text.encode())
        for _ in range(self.rng.randint(1, 4)):
            at, kind = self.rng.randrange(len(data) + 1), self.rng.random()
            if kind < 0.3 and at < len(data):
                del data[at]
            elif kind < 0.6:
                data.insert(at, self.rng.choice(b" /0123456789kqrbnpKQRBNP-w\t\x00\xff\xc3\xa9\r"))
            elif at < len(data):
                data[at] = self.rng.randrange(256)
        return bytes(data).replace(b"\n", b" ")

    def go_line(self):
        rng, form = self.rng, self.rng.random()
        if form < 0.15:
            return rng.choice(["go infinite", "go", "go searchmoves e2e4 d2d4", "go infinite depth 3",
                               "go searchmoves e7e5 zz a2a3 b8c6 infinite"]), None, False
        if form < 0.25:
            fields = ["ponder", "wtime", "btime"]  # a "ponderhit" may hand it a long clock
        elif form < 0.45:
            fields = [rng.choice(["depth", "nodes", "movetime", "mate"])]
        elif form < 0.8:
            fields = [field for field in ["wtime", "btime", "winc", "binc", "movestogo"] if rng.random() < 0.7]
        else:
            fields = rng.sample(list(GO_RANGES) + ["infinite", "ponder"], rng.randint(1, 5))
        parts, long = ["go"], "ponder" in fields
        for field in fields:
            if field in GO_RANGES:
                number = self.value(*GO_RANGES[field]) if form < 0.8 else rng.choice(EXTREMES + [rng.randint(-5, 5)])
                field += " %d" % number
                long |= field.split()[0] not in ("depth", "mate") and number > LONG
            parts.append(field)
        if self.position and rng.random() < 0.2:
            # A root limited to some of its moves, with a word that is none of them.
            legal = sorted(self.oracle.legal(self.position[0], *self.position[1]))
            parts.insert(rng.randint(1, len(parts)), "searchmoves " + " ".join(
                rng.sample(legal, min(len(legal), rng.randint(1, 3))) + rng.sample(["zz", "e2e4", "a7a8q"], 1)))
        return " ".join(parts), None, long

    def garbage(self):
        rng, kind = self.rng, self.rng.random()
        if kind < 0.3:
            return bytes(rng.randrange(256) for _ in range(rng.randint(0, 60))).replace(b"\n", b"")
        if kind < 0.6:
            head = rng.choice([b"position startpos moves ", b"go ", b"setoption name Hash value ", b"", b"position fen "])
            return head + bytes(rng.choice(b"abcdefgh12345678 qnbr\x00\xe9") for _ in range(70000))
        return rng.choice([b"uci ", b" isready", b"stop ", b"goat", b"positionx", b"perft", b"perft -1", b"bench 0",
                           b"setoption name Hash value", b"\x00go", b"quit ", b"debug", b"\xef\xbb\xbfisready", b"\r"])


def check_bestmove(oracle, position, line):
    fen, moves = position
    words, legal = line.split(), oracle.legal(fen, *moves)
    if not legal:  # the game is over: the protocol's null move
        return None if line == "bestmove 0000" else line + " with no legal move"
    after = "after %s moves %s" % (fen, " ".join(moves))
    if len(words) not in (2, 4) or (len(words) == 4 and words[2] != "ponder"):
        return line + ": not a bestmove line"
    if words[1] not in legal:
        return "%s: the best move is not legal %s" % (line, after)
    if len(words) == 4 and words[3] not in oracle.legal(fen, *moves, words[1]):
        return "%s: the ponder move is not legal %s %s" % (line, after, words[1])
    return None


def run_stream(number, seed, program, oracle, timeout):
    """Returns stream `number`, the program's output and standard error, its failures and best moves checked."""
    stream = Stream(random.Random("%s-%d" % (seed, number)), oracle)
    folder = tempfile.mkdtemp(prefix="ostrel-stream-")
    process = subprocess.Popen([program], cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    out, failures = [], []
    reader = threading.Thread(target=lambda: out.extend(line.rstrip(b"\r\n").decode("latin-1")
                                                        for line in process.stdout), daemon=True)
    reader.start()

    def write(data):
        with contextlib.suppress(OSError):
            process.stdin.write(data)
            process.stdin.flush()

    for data, pause in stream.actions:
        write(data)
        time.sleep(pause)
    read = lines_read(stream.data())
    goes = sum(line.startswith(b"go") for line in read)
    if stream.ending != "quit" and stream.needs_stop:
        # Searches with long limits end on "stop": send it until every "go" so far has its answer.
        deadline, sent = time.time() + timeout, goes - stream.tail.startswith(b"go")
        while sum(line.startswith("bestmove") for line in out) < sent and time.time() < deadline \
                and process.poll() is None:
            write(b"stop\n")
            time.sleep(0.1)
    write(stream.tail)
    with contextlib.suppress(OSError):
        process.stdin.close()
    try:
        if process.wait(timeout=timeout) != 0:
            failures.append("exit status %d" % process.returncode)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        failures.append("did not end within %d s of the end of its input" % timeout)
    reader.join(timeout=5)
    shutil.rmtree(folder, ignore_errors=True)

    if any("Sanitizer" in line or "runtime error" in line for line in out):
        failures.append("sanitizer report")
    if out.count("readyok") != read.count(b"isready"):
        failures.append("%d readyok for %d isready" % (out.count("readyok"), read.count(b"isready")))
    best = [line for line in out if line.startswith("bestmove")]
    if len(best) > goes or (stream.ending != "quit" and len(best) != goes):
        failures.append("%d bestmove for %d go" % (len(best), goes))
    checked = sum(position is not None for position in stream.searched[:len(best)])
    for index, (line, position) in enumerate(zip(best, stream.searched)):
        if failure := position and check_bestmove(oracle, position, line):
            failures.append("go #%d: %s" % (index + 1, failure))
    return stream, out, failures, checked


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

    oracle, start, totals = Oracle(args.stockfish), time.time(), collections.Counter()
    for number in itertools.count() if args.only is None else [args.only]:
        if args.only is None and (number >= args.streams if args.streams else time.time() - start >= args.seconds):
            break
        program = os.path.abspath(args.programs[number % len(args.programs)])
        stream, out, failures, checked = run_stream(number, args.seed, program, oracle, args.timeout)
        totals.update(streams=1, bytes=len(stream.data()), go=len(stream.searched), checked=checked,
                      failed=bool(failures))
        if failures:
            os.makedirs(args.failures, exist_ok=True)
            name = os.path.join(args.failures, "seed-%s-stream-%d" % (args.seed, number))
            pathlib.Path(name + ".in").write_bytes(stream.data())
            pathlib.Path(name + ".out").write_text("\n".join(out) + "\n")
            print("FAILED stream %d (%s, --seed %s --only %d), saved as %s.*:" %
                  (number, os.path.basename(program), args.seed, number, name))
            print("\n".join("  " + failure for failure in failures), flush=True)
    print("stream fuzzer: %(streams)d streams, %(bytes)d bytes, %(go)d go lines, "
          "%(checked)d best moves checked against the oracle, %(failed)d streams failed" % totals)
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
