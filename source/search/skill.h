// Strength levels: a rating on Stockfish 15.1's UCI_Elo scale turned into how
// a weaker player searches and chooses. The search gets a node budget (it
// sees less) and finds several best lines; the move played is drawn among
// them, each line's chance growing with its score, never one that loses much
// more than the best, and always a mate the best line finds.
#pragma once

#include "search/rootmoves.h"

#include <cstdint>

struct SkillLevel {
    std::uint64_t nodes;  // the search's node budget, every thread counted
    int lines;            // the best lines found at the root
    int spread;           // centipawns of chance: the random amount each line's score may gain
    int maxLoss;          // a line more than this far below the best is never chosen
};

// The level of a rating, interpolated between the calibrated points.
SkillLevel skillLevel(int elo);

// The lowest and highest rating the calibration supports.
int skillMinElo();
int skillMaxElo();

// A small, fast random generator with a seed of its own, so that a test can
// repeat a choice while games differ from each other.
class SkillRandom {
public:
    explicit SkillRandom(std::uint64_t seed) : state_(seed) {}
    // Uniform in [0, bound), bound > 0.
    int below(int bound);

private:
    std::uint64_t state_;
};

// The line to play among those of the last completed iteration (its index).
int chooseLine(const RootMoves& root, const SkillLevel& level, SkillRandom& random);
