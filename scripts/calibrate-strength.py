#!/usr/bin/python3
"""Calibrates Ostrel's strength levels on Stockfish 15.1's UCI_Elo scale: at each rating, Ostrel with
UCI_LimitStrength and that UCI_Elo plays Debian's Stockfish with the same settings, through a real match runner
(fastchess or cutechess-cli), at 10+0.1, one game per core, from benchmarks/openings.epd (each opening with both
colours). Prints a table (set rating, games, score, measured rating with its 95 % margin) and draws it as a chart.

The measured rating is the set one plus the Elo difference of the score; its margin comes from the spread of the
game results (wins, draws, losses) around the score.

Usage: scripts/calibrate-strength.py --runner PATH [--program build/release/ostrel64] [--elos 1400,1650,1900]
       [--games 100] [--tc 10+0.1] [--concurrency N] [--chart strength.png] [--stockfish /usr/games/stockfish]
It needs python3-matplotlib (Debian's package) for the chart: scripts/ensure-tools.sh --with-calibration.
"""
import argparse, math, os, re, shutil, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--runner", help="fastchess or cutechess-cli; found on PATH when not given")
parser.add_argument("--program", default=os.path.join(here, "..", "build", "release", "ostrel64"))
parser.add_argument("--elos", default="1400,1650,1900")
parser.add_argument("--games", type=int, default=100)
parser.add_argument("--tc", default="10+0.1")
parser.add_argument("--concurrency", type=int, default=os.cpu_count() or 1)
parser.add_argument("--chart", default="strength.png")
parser.add_argument("--stockfish", default="/usr/games/stockfish")
args = parser.parse_args()

runner = args.runner or shutil.which("fastchess") or shutil.which("cutechess-cli")
if not runner:
    sys.exit("no match runner: give --runner, or put fastchess or cutechess-cli on PATH")
program = os.path.abspath(args.program)
openings = os.path.abspath(os.path.join(here, "..", "benchmarks", "openings.epd"))


def elo_of(score):
    score = min(max(score, 1e-3), 1 - 1e-3)
    return -400 * math.log10(1 / score - 1)


def match(elo):
    """Wins, draws and losses of Ostrel at one rating."""
    limit = ["option.UCI_LimitStrength=true", "option.UCI_Elo=%d" % elo]
    with tempfile.TemporaryDirectory() as folder:
        command = [runner, "-engine", "cmd=" + program, "name=ostrel"] + limit + [
            "-engine", "cmd=" + args.stockfish, "name=stockfish"] + limit + [
            "-each", "proto=uci", "tc=" + args.tc, "-rounds", str((args.games + 1) // 2), "-games", "2",
            "-repeat", "-concurrency", str(args.concurrency), "-recover",
            "-openings", "file=" + openings, "format=epd", "order=random",
            "-pgnout", "file=" + os.path.join(folder, "games.pgn")]
        output = subprocess.run(command, capture_output=True, text=True, cwd=folder).stdout
        # fastchess: "Games: N, Wins: W, Losses: L, Draws: D"; cutechess-cli: "Score of A vs B: W - L - D".
        found = re.findall(r"Games: \d+, Wins: (\d+), Losses: (\d+), Draws: (\d+)", output)
        if found:
            wins, losses, draws = map(int, found[-1])
        else:
            found = re.findall(r"Score of ostrel vs stockfish: (\d+) - (\d+) - (\d+)", output)
            if not found:
                sys.exit("no result from the match runner:\n" + output[-2000:])
            wins, losses, draws = map(int, found[-1])
    return wins, draws, losses


rows = []
print("%8s %6s %22s %9s %16s" % ("set", "games", "ostrel (W-D-L)", "score", "measured"))
for elo in [int(value) for value in args.elos.split(",")]:
    wins, draws, losses = match(elo)
    games = wins + draws + losses
    score = (wins + draws / 2) / games
    # The 95 % margin of the score, then of the rating (the slope of the Elo curve at the score).
    deviation = math.sqrt((wins * (1 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / games)
    low = elo_of(score - 1.96 * deviation / math.sqrt(games))
    high = elo_of(score + 1.96 * deviation / math.sqrt(games))
    measured = elo + elo_of(score)
    rows.append((elo, games, score, measured, (high - low) / 2))
    print("%8d %6d %22s %8.1f%% %9.0f +- %3.0f" % (elo, games, "%d-%d-%d" % (wins, draws, losses), 100 * score,
                                                  measured, (high - low) / 2), flush=True)

try:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plot
except ImportError:
    sys.exit("no chart: python3-matplotlib is missing (scripts/ensure-tools.sh --with-calibration)")
figure, axes = plot.subplots(figsize=(6, 5))
sets = [row[0] for row in rows]
axes.errorbar(sets, [row[3] for row in rows], yerr=[row[4] for row in rows], fmt="o", capsize=5,
              label="measured, with its 95 % margin")
span = [min(sets) - 100, max(sets) + 100]
axes.plot(span, span, "--", color="grey", label="measured = set")
axes.fill_between(span, [x - 100 for x in span], [x + 100 for x in span], color="grey", alpha=0.15,
                  label="within 100 of the set rating")
axes.set_xlabel("UCI_Elo set")
axes.set_ylabel("rating measured against Stockfish 15.1 at the same UCI_Elo")
axes.set_title("Ostrel's strength levels, %s, %d games a point" % (args.tc, args.games))
axes.legend(loc="upper left")
figure.tight_layout()
figure.savefig(args.chart, dpi=100)
print("chart: " + os.path.abspath(args.chart))
