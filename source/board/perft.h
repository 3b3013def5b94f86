// Move-path enumeration: counts the leaves of the legal move tree, the
// standard check of move generation and make/unmake against known counts.
#pragma once

#include "board/board.h"

#include <cstdint>
#include <functional>
#include <string>

// The depths "perft N" accepts.
inline constexpr int PERFT_MIN_DEPTH = 1;
inline constexpr int PERFT_MAX_DEPTH = 10;

// Number of legal move sequences of the given length from the position.
std::uint64_t perft(Board& board, int depth);

// The developers' "perft N" output: one "<move>: <count>" line per legal
// move in generation order, a blank line, then "Nodes searched: <total>".
// `interrupted`, when given, is asked every few thousand positions; once it
// answers true the count ends and the text holds only the moves counted in
// full, without the total.
std::string perftDivide(Board& board, int depth, const std::function<bool()>& interrupted = {});
