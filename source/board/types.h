// The core vocabulary of the engine: squares, bitboards, colours, piece kinds
// and the 32-bit move word. Everything else builds on these few definitions.
#pragma once

#include <bit>
#include <cstdint>

// ---------------------------------------------------------------------------
// Squares and bitboards
// ---------------------------------------------------------------------------

// A square is 0..63 with a1 = 0, b1 = 1, ..., h1 = 7, a2 = 8, ..., h8 = 63.
// NO_SQUARE (64) appears only as "no en-passant square".
using Square = int;
inline constexpr Square NO_SQUARE = 64;

// Bit n set means square n is in the set.
using Bitboard = std::uint64_t;

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return rank * 8 + file; }
// The same file on the mirrored rank: how White-side tables are read for Black.
constexpr Square mirror(Square s) { return s ^ 56; }
constexpr Bitboard squareBit(Square s) { return Bitboard{1} << s; }
// The a-file and the h-file as sets. A set on the first rank times
// FILE_A_SET spreads each of its squares over its whole file.
inline constexpr Bitboard FILE_A_SET = 0x0101010101010101ULL;
inline constexpr Bitboard FILE_H_SET = FILE_A_SET << 7;

constexpr int popCount(Bitboard b) { return std::popcount(b); }
constexpr Square lowestSquare(Bitboard b) { return std::countr_zero(b); }
// Removes and returns the lowest square; loops over a set visit squares in
// ascending order, which fixes the order of generated moves.
constexpr Square popLowest(Bitboard& b) {
    Square s = std::countr_zero(b);
    b &= b - 1;
    return s;
}

// ---------------------------------------------------------------------------
// Colours and piece kinds
// ---------------------------------------------------------------------------

enum Colour : std::uint8_t { WHITE = 0, BLACK = 1 };
constexpr Colour opponent(Colour c) { return Colour(1 - c); }

// A kind carries no colour; the colour comes from the colour bitboards.
enum PieceKind : std::uint8_t { PAWN = 0, KNIGHT = 1, BISHOP = 2, ROOK = 3, QUEEN = 4, KING = 5, EMPTY = 6 };

// Material values used for the incremental sums and by the evaluation.
inline constexpr std::uint32_t pieceValue[6] = {100, 325, 325, 500, 975, 9999999};

// Board bitboard indices beyond the six kinds.
inline constexpr int BB_EMPTY = 6;
inline constexpr int BB_OCCUPIED = 7;
inline constexpr int BB_WHITE = 8;   // colour set of colour c is BB_WHITE + c

// ---------------------------------------------------------------------------
// The move word
// ---------------------------------------------------------------------------
//
//   bits  0-3   kind      move kind code (below)
//   bits  4-9   to        destination square (0 for castling)
//   bits 10-15  from      origin square (0 for castling)
//   bits 16-18  captured  kind of the captured piece (0 when not a capture,
//                         so en passant carries PAWN = 0)
//   bits 19-26  score     ordering key, written only by move ordering
//   bits 27-31            always 0
//
// Kind codes: bit 2 = capture, bit 3 = promotion; for promotions bits 0-1 give
// the new piece (0 knight .. 3 queen), so promoted kind = (code & 3) + 1.
// Castling is the bare code 2 or 3: its squares follow from the side that castles
// and the position's castling rules (board/castling.h).
using Move = std::uint32_t;

enum MoveKind : std::uint32_t {
    MOVE_QUIET = 0,
    MOVE_DOUBLE_PUSH = 1,
    MOVE_CASTLE_SHORT = 2,
    MOVE_CASTLE_LONG = 3,
    MOVE_CAPTURE = 4,
    MOVE_EN_PASSANT = 5,
    MOVE_PROMO_KNIGHT = 8,
    MOVE_PROMO_BISHOP = 9,
    MOVE_PROMO_ROOK = 10,
    MOVE_PROMO_QUEEN = 11,
    MOVE_PROMO_CAPTURE_KNIGHT = 12,
    MOVE_PROMO_CAPTURE_BISHOP = 13,
    MOVE_PROMO_CAPTURE_ROOK = 14,
    MOVE_PROMO_CAPTURE_QUEEN = 15,
};

inline constexpr Move NO_MOVE = 0;
// Two words are the same move when all fields but the ordering score agree.
inline constexpr Move MOVE_IDENTITY_MASK = 0xF807FFFF;
inline constexpr Move MOVE_SCORE_MASK = 0x07F80000;

constexpr Move makeMove(std::uint32_t kind, Square from, Square to, std::uint32_t captured = 0) {
    return kind | (Move(to) << 4) | (Move(from) << 10) | (captured << 16);
}
constexpr std::uint32_t moveKind(Move m) { return m & 0xF; }
constexpr Square moveTo(Move m) { return Square((m >> 4) & 63); }
constexpr Square moveFrom(Move m) { return Square((m >> 10) & 63); }
constexpr PieceKind moveCaptured(Move m) { return PieceKind((m >> 16) & 7); }
constexpr std::uint32_t moveScore(Move m) { return (m >> 19) & 0xFF; }
constexpr Move withScore(Move m, std::uint32_t score) { return (m & ~MOVE_SCORE_MASK) | (score << 19); }

constexpr bool sameMove(Move a, Move b) { return ((a ^ b) & MOVE_IDENTITY_MASK) == 0; }
constexpr bool isCapture(Move m) { return (m & 4) != 0; }
constexpr bool isPromotion(Move m) { return (m & 8) != 0; }
constexpr bool isCastling(Move m) { return moveKind(m) == MOVE_CASTLE_SHORT || moveKind(m) == MOVE_CASTLE_LONG; }
constexpr PieceKind promotedKind(Move m) { return PieceKind((m & 3) + 1); }

// A move list as every caller holds it: on the stack, never more than this.
// The lists hold pseudo-legal moves (king moves into check, castling through
// check and moves of pinned men included), so the bound comes from the men
// alone. The FEN reader admits no side with more than sixteen men or with
// more pieces beyond the original set than pawns it has lost, and no move
// changes that. A side then has at most a king, nine queens and two each of
// rooks, bishops and knights (a pawn has at most 12 moves, fewer than any
// queen). On an otherwise empty board each has at most 8, 27, 14, 13 and 8
// moves; with the two castling moves that is 323. The largest counts known
// for legal positions are 218, so the bound is far from reached, but nothing
// smaller is proved for pseudo-legal moves.
inline constexpr int MOST_PSEUDO_LEGAL_MOVES = 8 + 9 * 27 + 2 * 14 + 2 * 13 + 2 * 8 + 2;
inline constexpr int MAX_MOVES = MOST_PSEUDO_LEGAL_MOVES;

// Castling rights bits of HistoryEntry::ooStatus.
inline constexpr std::uint8_t CASTLE_WHITE_SHORT = 1;
inline constexpr std::uint8_t CASTLE_WHITE_LONG = 2;
inline constexpr std::uint8_t CASTLE_BLACK_SHORT = 4;
inline constexpr std::uint8_t CASTLE_BLACK_LONG = 8;

// The right a castling word stands for, indexed by (0 short, 1 long) + 2 * colour,
// the order of the bits above; its squares are the position's (CastlingRules).
constexpr int castleIndex(Move m, Colour c) { return (moveKind(m) == MOVE_CASTLE_LONG ? 1 : 0) + 2 * c; }

// Scores.
inline constexpr int MATE_SCORE = 1000000;
inline constexpr int ROOT_INFINITY = 9999999;
