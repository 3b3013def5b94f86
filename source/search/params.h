// Every tuned number of the search in one place: depths, reductions, margins,
// ordering keys, exchange values and the sizes of the search's own tables.
#pragma once

#include "board/board.h"

#include <cstdint>
#include <iterator>

namespace search_params {

// ---------------------------------------------------------------------------
// Bounds that keep every table index in range
// ---------------------------------------------------------------------------

// Deepest distance from the root a node may have. Check extensions and
// check-evasion quiescence can otherwise lengthen a line without limit; at
// this ply both node kinds return the static evaluation. With the board's
// game history compacted to about 129 entries, 128 search plies plus the
// 64-move principal-variation walk stay inside its 500 history entries.
inline constexpr int MAX_SEARCH_PLY = 128;

// A node whose board history is this full scores the position as it stands,
// so no move it makes (one entry each, null move included) writes past the
// board's history, whatever the length of the game below the root.
inline constexpr int LAST_NODE_HISTORY_INDEX = HISTORY_SIZE - 2;

// Iterative deepening runs at most this many iterations.
inline constexpr int MAX_ITERATIONS = 64;

// Killer rows exist for plies 0..63; deeper nodes keep no killers.
inline constexpr int KILLER_PLIES = 64;
inline constexpr int KILLER_SLOTS = 3;

// Principal variation: at most this many moves.
inline constexpr int PV_MAX_MOVES = 64;

// ---------------------------------------------------------------------------
// Polling
// ---------------------------------------------------------------------------

// The input poll runs when the low 16 bits of the node count are all ones.
inline constexpr std::uint64_t INPUT_POLL_MASK = 0xFFFF;
// The cheap hard-deadline test runs once in every block of 1024 made moves
// (the count with its low 10 bits cleared changes from one block to the next).
inline constexpr std::uint64_t DEADLINE_POLL_MASK = 0x3FF;

// ---------------------------------------------------------------------------
// Alpha-beta node
// ---------------------------------------------------------------------------

inline constexpr int CHECK_EXTENSION = 1;

// Null move: tried from this extended depth on, searched this much shallower
// (never below depth 1), and only while both sides keep a piece.
inline constexpr int NULL_MOVE_MIN_DEPTH = 2;
inline constexpr int NULL_MOVE_REDUCTION = 4;
inline constexpr int NULL_MOVE_MIN_SEARCH_DEPTH = 1;
inline constexpr int NULL_MOVE_MIN_PHASE = 10;  // phase must exceed this

// Late-move reductions: from the fifth legal move on, at extended depth 3 and
// more, searched two plies shallower first.
inline constexpr int LMR_MIN_SEARCHED = 4;
inline constexpr int LMR_MIN_DEPTH = 3;
inline constexpr int LMR_REDUCTION = 2;

// Several threads: from this unextended depth on, a node puts off the moves
// another thread is searching from the same position, at most this many.
inline constexpr int DEFER_MIN_DEPTH = 3;
inline constexpr int MAX_DEFERRED_MOVES = 32;

// Ending codes of the evaluation's recogniser for a single pawn against a
// bare king (either colour), which the king-and-pawn rules may settle.
inline constexpr int ENDING_LONE_PAWN_WHITE = 6;
inline constexpr int ENDING_LONE_PAWN_BLACK = 7;

// ostrel32: internal iterative deepening at full-window nodes without a
// hash move, from this unextended depth on.
inline constexpr int IID_MIN_DEPTH = 3;
inline constexpr int IID_DEPTH_REDUCTION = 2;  // min(depth - 2, depth / 2)

// ostrel32: futility margins for unextended depth 1 and 2.
inline constexpr int FUTILITY_MARGIN_DEPTH1 = 250;
inline constexpr int FUTILITY_MARGIN_DEPTH2 = 500;
// ostrel32: what a capture or promotion can win back, by kind (pawn ..
// queen): the evaluation's material values, not the exchange values.
inline constexpr int futilityGainValue[5] = {100, 325, 325, 500, 975};
// ostrel32: a null-move score at or below this means the side to move would be
// mated if it passed.
inline constexpr int MATE_THREAT_SCORE = -900000;
// ostrel32: a pawn arriving on these squares (own seventh rank) is a threat.
inline constexpr std::uint64_t SEVENTH_RANK_WHITE = 0x00FF000000000000ULL;  // squares 48..55
inline constexpr std::uint64_t SEVENTH_RANK_BLACK = 0x000000000000FF00ULL;  // squares 8..15

// ---------------------------------------------------------------------------
// Static exchange and ordering
// ---------------------------------------------------------------------------

// Exchange values by piece kind (pawn .. king, empty); not the evaluation's.
inline constexpr int EXCHANGE_KING_VALUE = 999999;
inline constexpr int exchangeValue[7] = {100, 300, 300, 500, 900, EXCHANGE_KING_VALUE, 0};
// An exchange value this large means a king could be taken.
inline constexpr int KING_CAPTURE_THRESHOLD = 10000;
// Longest possible swap list: every man of both sides plus the lost king.
inline constexpr int MAX_SWAP_LIST = 40;

// Ordering keys (bits 19..26 of the move word).
inline constexpr std::uint32_t KEY_HASH_MOVE = 255;
inline constexpr std::uint32_t KEY_KING_CAPTURE = 128;
inline constexpr std::uint32_t KEY_CAPTURE_BASE = 100;
inline constexpr int KEY_CAPTURE_DIVISOR = 32;
inline constexpr std::uint32_t KEY_KILLER = 99;
inline constexpr std::uint32_t KEY_CASTLING = 55;
inline constexpr int KEY_QUIET_BASE = 50;
inline constexpr std::uint32_t KEY_LOSING_SMALL = 2;   // s > -300
inline constexpr std::uint32_t KEY_LOSING_MEDIUM = 1;  // -500 < s <= -300
inline constexpr std::uint32_t KEY_LOSING_LARGE = 0;   // s <= -500
inline constexpr int LOSING_SMALL_LIMIT = -300;
inline constexpr int LOSING_MEDIUM_LIMIT = -500;

// Quiescence keys: exchange value / 100 + 3 for safe captures.
inline constexpr std::uint32_t QKEY_KING_CAPTURE = 255;
inline constexpr int QKEY_DIVISOR = 100;
inline constexpr int QKEY_BASE = 3;

// Piece-square gains of quiet moves, one table per moving kind, from White's
// side (a1 = index 0); rows are ranks 1 to 8.
// clang-format off
inline constexpr int orderingTables[6][64] = {
    {   // pawn
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  1,  4,  4,  0,  0,  0,
         0,  0,  2,  5,  5,  0,  0,  0,
         1,  1,  3,  6,  6,  1,  1,  1,
         2,  2,  4,  7,  7,  2,  2,  2,
         3,  3,  5,  8,  8,  3,  3,  3,
         8,  8, 10, 13, 13,  8,  8,  8,
    },
    {   // knight
         0,  1,  2,  3,  3,  2,  1,  0,
         1,  4,  5,  6,  6,  5,  4,  1,
         3,  5,  6,  7,  7,  6,  5,  3,
         3,  6,  8, 10, 10,  8,  6,  3,
         3,  6,  8, 10, 10,  8,  6,  3,
         3,  6,  8, 10, 10,  8,  6,  3,
         3,  5,  6,  8,  8,  6,  5,  3,
         1,  4,  5,  6,  6,  5,  4,  1,
    },
    {   // bishop
        -3, -3, -3, -3, -3, -3, -3, -3,
         0,  1,  0,  0,  0,  0,  1,  0,
         0,  0,  1,  1,  1,  1,  0,  0,
         0,  0,  1,  2,  2,  1,  0,  0,
         0,  0,  1,  2,  2,  1,  0,  0,
         0,  0,  1,  1,  1,  1,  0,  0,
         0,  1,  0,  0,  0,  0,  1,  0,
        -3, -3, -3, -3, -3, -3, -3, -3,
    },
    {   // rook
         0,  0,  1,  2,  2,  1,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         5,  5,  5,  5,  5,  5,  5,  5,
         5,  5,  5,  5,  5,  5,  5,  5,
    },
    {   // queen
         0,  0,  1,  2,  2,  1,  0,  0,
         0,  0,  3,  3,  3,  3,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         0,  0,  0,  0,  0,  0,  0,  0,
         5,  5,  5,  5,  5,  5,  5,  5,
         5,  5,  5,  5,  5,  5,  5,  5,
         5,  5,  5,  5,  5,  5,  5,  5,
    },
    {   // king
          0,   0,  -2,  -4,   0,  -3,   0,   0,
         -2,  -3,  -4,  -5,  -5,  -4,  -3,  -2,
         -6,  -7,  -8,  -9,  -9,  -8,  -7,  -6,
        -10, -11, -12, -13, -13, -12, -11, -10,
        -14, -15, -16, -17, -17, -16, -15, -14,
        -18, -19, -20, -21, -21, -20, -19, -18,
        -22, -23, -24, -25, -25, -24, -23, -22,
        -26, -27, -28, -29, -29, -28, -27, -26,
    },
};
// clang-format on

// ---------------------------------------------------------------------------
// Strength levels (UCI_LimitStrength, UCI_Elo)
// ---------------------------------------------------------------------------

// The calibrated points of the rating scale (Stockfish 15.1's UCI_Elo, at
// 10+0.1): the node budget, the spread of chance and the largest loss a
// chosen line may have. Ratings between two points take values between
// theirs; the first and last points bound the ratings offered.
struct SkillAnchor {
    int elo;
    std::uint64_t nodes;
    int spread;
    int maxLoss;
};
inline constexpr SkillAnchor SKILL_ANCHORS[] = {
    {1350, 9500, 100, 160},
    {1650, 56000, 50, 110},
    {1900, 2000000, 6, 20},
};
inline constexpr int SKILL_ANCHOR_COUNT = int(std::size(SKILL_ANCHORS));
// The best lines found at the root, among which the move is drawn.
inline constexpr int SKILL_LINES = 4;

// ---------------------------------------------------------------------------
// Transposition table
// ---------------------------------------------------------------------------

inline constexpr int TT_ENTRY_BYTES = 32;
inline constexpr std::uint64_t TT_ENTRIES_PER_MB = (std::uint64_t{1} << 20) / TT_ENTRY_BYTES;  // 32768
inline constexpr int TT_MIN_MB = 1;
inline constexpr int TT_MAX_MB = 2048;
inline constexpr int TT_FRESH_SCORE = 1000000;
// "hashfull" counts the used slots among this many (per mille); the smallest
// table has far more.
inline constexpr std::uint64_t TT_HASHFULL_SAMPLE = 1000;

}  // namespace search_params
