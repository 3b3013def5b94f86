#!/usr/bin/env python3
"""Writes the 960 start positions of Chess960 as EPD lines, the opening file a match runner plays
Chess960 from (fastchess or cutechess-cli: -variant fischerandom -openings file=FILE format=epd).

Positions are numbered as usual (Scharnagl; 518 is the standard start) and written in Shredder-FEN,
whose castling field names the rooks' files ("HAha"), which every Chess960 GUI reads.

    scripts/chess960-openings.py > chess960.epd            all 960, in number order
    scripts/chess960-openings.py --count 100 --seed 1      100 drawn at random, the same for a seed
"""
import argparse
import random

KNIGHTS_ROOKS_KING = ["NNRKR", "NRNKR", "NRKNR", "NRKRN", "RNNKR", "RNKNR", "RNKRN", "RKNNR", "RKNRN", "RKRNN"]


def back_rank(number):
    """White's first rank of start position `number` (0 to 959), a to h."""
    rank = [None] * 8
    number, light = divmod(number, 4)
    number, dark = divmod(number, 4)
    rank[2 * light + 1] = rank[2 * dark] = "B"
    number, queen = divmod(number, 6)
    rank[[f for f in range(8) if rank[f] is None][queen]] = "Q"
    for f, man in zip([f for f in range(8) if rank[f] is None], KNIGHTS_ROOKS_KING[number]):
        rank[f] = man
    return "".join(rank)


def epd(number):
    white = back_rank(number)
    rooks = [chr(ord("a") + f) for f, man in enumerate(white) if man == "R"]
    castling = rooks[1].upper() + rooks[0].upper() + rooks[1] + rooks[0]
    return "%s/pppppppp/8/8/8/8/PPPPPPPP/%s w %s -" % (white.lower(), white, castling)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=960)
    parser.add_argument("--seed", type=int)
    args = parser.parse_args()
    numbers = list(range(960))
    if args.seed is not None or args.count < 960:
        numbers = random.Random(args.seed).sample(numbers, min(args.count, 960))
    for number in numbers:
        print(epd(number))


if __name__ == "__main__":
    assert back_rank(518) == "RNBQKBNR"
    main()
