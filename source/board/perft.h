// Move-path enumeration: counts the leaves of the legal move tree, the
// standard check of move generation and make/unmake against known counts.
#pragma once

#include "board/board.h"

#include <cstdint>
#include <string>

// Number of legal move sequences of the given length from the position.
std::uint64_t perft(Board& board, int depth);

// The developers' "perft N" output: one "<move>: <count>" line per legal
// move in generation order, a blank line, then "Nodes searched: <total>".
std::string perftDivide(Board& board, int depth);
