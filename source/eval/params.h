// The hand-tuned numbers of the evaluation, in one place. Tables indexed by
// square or count live in tables.h; everything here is a single weight.
#pragma once

namespace evalparams {

// Phase: 16 per minor or rook, 160 per queen, capped at full middlegame.
inline constexpr int PHASE_PER_PIECE = 16;
inline constexpr int PHASE_QUEEN_FACTOR = 10;
inline constexpr int PHASE_MAX = 256;

// Side-to-move bonus at full phase.
inline constexpr int TEMPO = 5;

// Material adjustments.
inline constexpr int BISHOP_PAIR = 50;
inline constexpr int ROOK_PAIR_PENALTY = 5;
inline constexpr int KNIGHT_PAIR_PENALTY = 5;

// Bishop on a set of files together with own pawns on the same files.
inline constexpr int PARITY_PAWN_MG = 1;
inline constexpr int PARITY_PAWN_EG = 5;

// Rooks on open and half-open files.
inline constexpr int ROOK_OPEN_FILE = 20;
inline constexpr int ROOK_HALF_OPEN_FILE = 10;

// Mobility per attacked square, and the value of a piece with no move at all.
inline constexpr int KNIGHT_MOB_MG = 3, KNIGHT_MOB_EG = 2, KNIGHT_TRAPPED = -50;
inline constexpr int BISHOP_MOB_MG = 2, BISHOP_MOB_EG = 3, BISHOP_TRAPPED = -20;
inline constexpr int ROOK_MOB_MG = 3, ROOK_MOB_EG = 5, ROOK_TRAPPED = -20;
inline constexpr int QUEEN_MOB_MG = 0, QUEEN_MOB_EG = 2, QUEEN_TRAPPED = -20;
// A bishop's reach through pawns only (how much the pawn chains hem it in).
inline constexpr int BISHOP_PAWN_MOB_MG = 2, BISHOP_PAWN_MOB_EG = 1;

// Pawn endings: king distances.
inline constexpr int BARE_KING_DISTANCE = 10;
inline constexpr int PAWN_KING_DISTANCE = 10;
inline constexpr int PAWN_ENEMY_KING_FACTOR = 3;

// Passed pawns against an enemy that still has pieces.
inline constexpr int UNSTOPPABLE_MG = 10;
inline constexpr int UNSTOPPABLE_EG = 50;
inline constexpr int UNSTOPPABLE_EG_REVISED = 15;
inline constexpr int PASSER_KING_FILE_MG = 3;   // per file between pawn and enemy king
inline constexpr int PASSER_KING_FILE_EG = 10;
inline constexpr int CONNECTED_MG = 10, CONNECTED_EG = 20;
inline constexpr int PROTECTED_MG = 10, PROTECTED_EG = 15;
// The revised term's single connected-or-protected bonus.
inline constexpr int SUPPORTED_MG_REVISED = 3, SUPPORTED_EG_REVISED = 6;
// The revised term's blocked passer, by the kind of the enemy man in front.
inline constexpr int BLOCKED_BY_MINOR_PAWN_KING = -5;
inline constexpr int BLOCKED_BY_ROOK = 0;
inline constexpr int BLOCKED_BY_QUEEN = 5;

// Pawns that are not passed.
inline constexpr int ISOLATED_OPEN_MG = 20, ISOLATED_CLOSED_MG = 10, ISOLATED_EG = 20;
inline constexpr int BACKWARD_OPEN_MG = 16, BACKWARD_CLOSED_MG = 8, BACKWARD_EG = 10;
inline constexpr int DOUBLED_MG = 10, DOUBLED_EG = 20;

// Race of unstoppable passers: "no passer" marker, and the bonus for a side
// whose only opponent has none (also the cap for large differences).
inline constexpr int RACE_NONE = 1024;
inline constexpr int RACE_ONE_SIDED = 600;

// Pawn cache: entries of 32 bytes, a power of two. Searches revisit few pawn
// structures, so a small cache already answers most calls (more than 80% at 512
// entries); its 16 KB keep the resident memory where it was without it.
inline constexpr unsigned PAWN_CACHE_ENTRIES = 512;

// King and pawn against king: the one fixed win score of the rule set.
inline constexpr int KPK_SEVENTH_RANK_WIN = 855;

// King attack: weights of the attacker count.
inline constexpr int KNIGHT_ATTACKER_EXTRA = 1;
inline constexpr int QUEEN_ATTACKER_EXTRA = 2;

// Pawn shield pattern values, without and with the extra condition.
inline constexpr int SHIELD_D = 45, SHIELD_D_MINOR = 50;
inline constexpr int SHIELD_F = 42, SHIELD_F_MINOR = 47;
inline constexpr int SHIELD_E = 40, SHIELD_E_MINOR = 45;
inline constexpr int SHIELD_C = 20, SHIELD_C_MINOR = 25;
inline constexpr int SHIELD_B = 15, SHIELD_B_MINOR = 20;
inline constexpr int SHIELD_A = 20, SHIELD_A_BISHOP = 50;
inline constexpr int SHIELD_G = 15, SHIELD_G_BISHOP = 40;
inline constexpr int SHIELD_I = 10, SHIELD_I_MINOR = 15;

}  // namespace evalparams
