// Named numbers of the board module: hash-key seeding, the word lengths a
// FEN may use, and how much game history the position command keeps.
#pragma once

#include <cstddef>
#include <cstdint>

// Hash keys come from the reference MT19937 seeded with init_by_array, so a
// given build always draws the same keys.
inline constexpr std::uint32_t ZOBRIST_INITIAL_SEED = 19650218u;
inline constexpr std::uint32_t ZOBRIST_SEED_KEY[4] = {0x123, 0x234, 0x345, 0x456};

// Longest placement, castling and en-passant words a FEN may carry (room for
// 256, 16 and 8 bytes with the terminating zero); longer words are refused.
inline constexpr std::size_t FEN_PLACEMENT_MAX = 255;
inline constexpr std::size_t FEN_CASTLING_MAX = 15;
inline constexpr std::size_t FEN_EP_MAX = 7;

// Most pawns a side can have; pawn-count tables of the evaluation end there.
inline constexpr int MAX_PAWNS_PER_SIDE = 8;
// The men a side starts with, by kind (pawn, knight, bishop, rook, queen,
// king). Every piece of a kind beyond these is a promoted pawn.
inline constexpr int MEN_PER_SIDE = 16;
inline constexpr int ORIGINAL_MEN[6] = {8, 2, 2, 2, 1, 1};

// Game moves stay on the history so the search sees repetitions. Once a game
// has more than GAME_HISTORY_TRIGGER plies on it, the history is cut down to
// the last reversible stretch, at most GAME_HISTORY_KEEP entries, which
// leaves room for a search line (~128 plies) and the principal-variation walk
// (64) within the 500 entries.
inline constexpr int GAME_HISTORY_TRIGGER = 256;
inline constexpr int GAME_HISTORY_KEEP = 128;
