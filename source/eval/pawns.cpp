// The pawn term (piece squares of knights, bishops and kings, pawn endings'
// king distances, pawn structure, passed pawns and their race) and the
// king-and-pawn-against-king rules.
#include "eval/eval.h"

#include "board/attacks.h"
#include "eval/masks.h"
#include "eval/params.h"
#include "eval/tables.h"
#include "variant.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace evalparams;

namespace {

constexpr int signOf(int side) { return side == WHITE ? 1 : -1; }

// The square a table written from White's side is read at.
inline int relativeSquare(int side, Square square) { return side == WHITE ? square : mirrorSquare[square]; }

// Piece-square values of one kind for both sides, White's added, Black's subtracted.
inline void addPieceSquares(const Board& board, PieceKind kind, const SquareTable& mgTable,
                            const SquareTable& egTable, int& mg, int& eg) {
    for (int side = 0; side < 2; ++side) {
        const int sign = signOf(side);
        for (Bitboard set = board.pieces(Colour(side), kind); set;) {
            const int relative = relativeSquare(side, popLowest(set));
            mg += sign * mgTable[relative];
            eg += sign * egTable[relative];
        }
    }
}

// The revised term's value of a passed pawn blocked by an enemy man, by kind.
constexpr int blockedPasserValue[6] = {
    BLOCKED_BY_MINOR_PAWN_KING,  // pawn
    BLOCKED_BY_MINOR_PAWN_KING,  // knight
    BLOCKED_BY_MINOR_PAWN_KING,  // bishop
    BLOCKED_BY_ROOK,
    BLOCKED_BY_QUEEN,
    BLOCKED_BY_MINOR_PAWN_KING,  // king
};

// The part of the pawn term that depends on the pawns alone (the table
// values of every pawn, isolated, backward and doubled pawns, the supported
// passer bonuses) and which pawns are passed. Kings, pieces and the side to
// move come in afterwards, for the passed pawns only.
struct PawnStructure {
    int mg = 0, eg = 0;
    Bitboard passed = 0;  // of both sides
};

PawnStructure computePawnStructure(Bitboard whitePawns, Bitboard blackPawns, bool revised) {
    const PawnTermTables& tables = revised ? revisedPawnTermTables : standardPawnTermTables;
    PawnStructure result;
    int& mg = result.mg;
    int& eg = result.eg;

    // Every pawn, White's first, each side in ascending square order (the
    // order decides which of two neighbouring passers is the later one).
    for (int side = 0; side < 2; ++side) {
        const int sign = signOf(side);
        const Bitboard own = side == WHITE ? whitePawns : blackPawns;
        const Bitboard enemy = side == WHITE ? blackPawns : whitePawns;
        const Colour them = opponent(Colour(side));
        Bitboard passedSoFar = 0;

        for (Bitboard set = own; set;) {
            const Square q = popLowest(set);
            const int relative = relativeSquare(side, q);
            const Bitboard ownOnFile = own & fileMask[q];
            const Bitboard enemyOnFile = enemy & fileMask[q];

            // Passed: no enemy pawn ahead on its own or a neighbouring file,
            // and no own pawn in front of it on its file.
            const Square mostAdvanced = side == WHITE ? Square(63 - std::countl_zero(ownOnFile)) : lowestSquare(ownOnFile);
            const bool passed = (frontSpan[side][q] & enemy) == 0 && q == mostAdvanced;

            if (passed) {
                mg += sign * (*tables.passedMg)[relative];
                eg += sign * (*tables.passedEg)[relative];

                // A passer defended by a pawn diagonally behind it.
                const bool isProtected = (pawnAttacks[q][them] & own) != 0;
                const Bitboard neighbours = passedSoFar & adjacentFilesMask[q];
                if (!revised) {
                    // Connected: the later of two neighbouring passers earns it.
                    if (neighbours) {
                        mg += sign * CONNECTED_MG;
                        eg += sign * CONNECTED_EG;
                    }
                    if (isProtected) {
                        mg += sign * PROTECTED_MG;
                        eg += sign * PROTECTED_EG;
                    }
                } else {
                    // One bonus for a passer that has support: a neighbouring
                    // passer met earlier (the lowest-square one) at most a rank
                    // away, or a pawn defending it.
                    const bool connected =
                        neighbours && std::abs(rankOf(lowestSquare(neighbours)) - rankOf(q)) <= 1;
                    if (connected || isProtected) {
                        mg += sign * SUPPORTED_MG_REVISED;
                        eg += sign * SUPPORTED_EG_REVISED;
                    }
                }
                passedSoFar |= squareBit(q);
            } else {
                mg += sign * (*tables.pawnMg)[relative];
                eg += sign * (*tables.pawnEg)[relative];

                // Isolated: no own pawn on a neighbouring file. Worse in the
                // middlegame when the file is half-open for the enemy rooks.
                if ((own & adjacentFilesMask[q]) == 0) {
                    mg -= sign * (enemyOnFile ? ISOLATED_CLOSED_MG : ISOLATED_OPEN_MG);
                    eg -= sign * ISOLATED_EG;
                }

                // Backward: left behind by its neighbours with its advance
                // square under enemy pawn control.
                bool backward = false;
                for (int test = 0; test < BACKWARD_TESTS; ++test)
                    if ((backwardOwnMask[test][side][q] & own) == 0 && (backwardEnemyMask[test][side][q] & enemy) != 0)
                        backward = true;
                if (backward) {
                    mg -= sign * (enemyOnFile ? BACKWARD_CLOSED_MG : BACKWARD_OPEN_MG);
                    eg -= sign * BACKWARD_EG;
                }

                // Doubled: each pawn of the file that is not passed pays.
                if (popCount(ownOnFile) > 1) {
                    mg -= sign * DOUBLED_MG;
                    eg -= sign * DOUBLED_EG;
                }
            }
        }
        result.passed |= passedSoFar;
    }
    return result;
}

PawnStructure pawnStructure(Bitboard whitePawns, Bitboard blackPawns, bool revised, PawnCache* cache) {
    if (!cache || !cache->on()) return computePawnStructure(whitePawns, blackPawns, revised);
    PawnCache::Entry& entry = cache->slot(whitePawns, blackPawns);
    if (entry.whitePawns == whitePawns && entry.blackPawns == blackPawns && entry.revised == revised)
        return PawnStructure{entry.mg, entry.eg, entry.passed};
    const PawnStructure computed = computePawnStructure(whitePawns, blackPawns, revised);
    // A legal position's sums are a few hundred; anything that would not
    // fit the entry is simply not kept.
    if (computed.mg == std::int16_t(computed.mg) && computed.eg == std::int16_t(computed.eg)) {
        entry = PawnCache::Entry{whitePawns, blackPawns, computed.passed, std::int16_t(computed.mg),
                                 std::int16_t(computed.eg), revised};
    }
    return computed;
}

}  // namespace

static_assert(sizeof(PawnCache::Entry) == 32, "two entries per cache line");

void PawnCache::clear() { std::fill(std::begin(entries_), std::end(entries_), Entry{}); }

void PawnCache::setEntries(std::size_t entries) {
    std::size_t size = 1;
    while (size * 2 <= entries && size * 2 <= PAWN_CACHE_ENTRIES) size *= 2;
    mask_ = entries > 0 ? size - 1 : NO_CACHE;
}

PawnCache::Entry& PawnCache::slot(Bitboard whitePawns, Bitboard blackPawns) {
    const std::uint64_t mixed = whitePawns * 0x9E3779B97F4A7C15ULL ^ blackPawns * 0xC2B2AE3D27D4EB4FULL;
    return entries_[std::size_t(mixed >> 40) & mask_];
}

int getPawnScore(const Board& board, int phase, PawnCache* cache) {
    // The variant is read once per call; everything after that is table reads.
    const bool revised = activeVariant().revisedPawnTerm;
    const PawnTermTables& tables = revised ? revisedPawnTermTables : standardPawnTermTables;
    const int unstoppableEg = revised ? UNSTOPPABLE_EG_REVISED : UNSTOPPABLE_EG;

    int mg = 0, eg = 0;
    int raceCount[2] = {RACE_NONE, RACE_NONE};

    // Steps 1 to 3: piece squares of knights, bishops and kings.
    addPieceSquares(board, KNIGHT, knightTableMg, knightTableEg, mg, eg);
    addPieceSquares(board, BISHOP, bishopTable, bishopTable, mg, eg);
    addPieceSquares(board, KING, *tables.kingMg, *tables.kingEg, mg, eg);
    const Square kingSquares[2] = {board.kingSquare(WHITE), board.kingSquare(BLACK)};

    // Step 4: with only pawns left on one side, the stronger side wants its
    // king close to the bare one.
    if (phase == 0) {
        const int distance = kingDistance[kingSquares[WHITE]][kingSquares[BLACK]];
        if (board.material[BLACK] == 0) eg -= BARE_KING_DISTANCE * distance;
        else if (board.material[WHITE] == 0) eg += BARE_KING_DISTANCE * distance;
    }

    // Step 5: the pawns. What the pawns decide among themselves comes from
    // the cache; what kings, pieces and the side to move add is done here.
    const Bitboard whitePawns = board.pieces(WHITE, PAWN), blackPawns = board.pieces(BLACK, PAWN);
    const PawnStructure structure = pawnStructure(whitePawns, blackPawns, revised, cache);
    mg += structure.mg;
    eg += structure.eg;

    for (int side = 0; side < 2; ++side) {
        const Colour us = Colour(side), them = opponent(us);
        const int sign = signOf(side);
        const Bitboard own = side == WHITE ? whitePawns : blackPawns;
        const Square ownKing = kingSquares[us], enemyKing = kingSquares[them];
        const bool ownToMove = board.sideToMove == us;
        const bool enemyHasPieces = board.nonPawnMaterial[them] != 0;

        // 5.1 Pawn endings: pawns want the enemy king far and their own near.
        if (phase == 0) {
            for (Bitboard set = own; set;) {
                const Square q = popLowest(set);
                eg += sign * PAWN_KING_DISTANCE *
                      (PAWN_ENEMY_KING_FACTOR * kingDistance[q][enemyKing] - kingDistance[q][ownKing]);
            }
        }

        // 5.3 Passed pawns against the kings and pieces.
        for (Bitboard set = structure.passed & own; set;) {
            const Square q = popLowest(set);

            // The rule of the square: can the enemy king still catch it?
            const Square promotion = promotionSquare[side][fileOf(q)];
            const int pawnDistance = kingDistance[q][promotion];
            const int kingToPromotion = kingDistance[enemyKing][promotion];
            const bool unstoppable = pawnDistance + (ownToMove ? 0 : 1) < kingToPromotion;

            if (!enemyHasPieces) {
                // Pawn ending: only the race between unstoppable passers
                // counts, in plies until promotion.
                if (unstoppable)
                    raceCount[side] = std::min(raceCount[side], 2 * pawnDistance - (ownToMove ? 1 : 0));
            } else if (unstoppable) {
                mg += sign * UNSTOPPABLE_MG;
                eg += sign * unstoppableEg;
            } else {
                // The farther the enemy king stands from its file, the better.
                const int files = std::abs(fileOf(q) - fileOf(enemyKing));
                mg += sign * PASSER_KING_FILE_MG * files;
                eg += sign * PASSER_KING_FILE_EG * files;
            }

            if (revised) {
                // An enemy man on the square in front of it. The push table
                // keeps a pawn on its last rank from looking off the board.
                const Bitboard front = pawnPush[q][side] & board.colourSet(them);
                if (front) {
                    const int value = blockedPasserValue[board.squareKind[lowestSquare(front)]];
                    mg += sign * value;
                    eg += sign * value;
                }
            }
        }
    }

    // Steps 6 and 7: the race is added unblended.
    return blend(mg, eg, phase) + getUnstoppablePasserScore(raceCount[WHITE], raceCount[BLACK]);
}

int getUnstoppablePasserScore(int whiteCount, int blackCount) {
    if (whiteCount == RACE_NONE && blackCount == RACE_NONE) return 0;
    if (whiteCount == RACE_NONE) return -RACE_ONE_SIDED;
    if (blackCount == RACE_NONE) return RACE_ONE_SIDED;

    // A difference beyond the table (a pawn one step from promotion against
    // one on its starting rank) is at least as decisive as the table's last
    // entry, which already equals the one-sided bonus.
    const auto bonus = [](int difference) {
        return difference < int(raceBonus.size()) ? raceBonus[difference] : RACE_ONE_SIDED;
    };
    if (whiteCount < blackCount) return bonus(blackCount - whiteCount);
    if (whiteCount > blackCount) return -bonus(whiteCount - blackCount);

    // Equal counts cannot happen: a side's count is 2 x distance, less one
    // when that side is to move, so White's and Black's counts always differ
    // in parity whatever the position. Nothing may be thrown out of the
    // evaluation during a search, so the impossible case scores as no race.
    return 0;
}

bool probeKpk(const Board& board, int code, int& score) {
    const Square whiteKing = board.kingSquare(WHITE), blackKing = board.kingSquare(BLACK);
    if (code == 6) {
        const Square pawn = lowestSquare(board.pieces(WHITE, PAWN));
        return kpkRules(whiteKing, pawn, blackKing, board.sideToMove == BLACK, score);
    }
    // Code 7: look at Black's pawn from Black's side, then turn the result round.
    const Square pawn = lowestSquare(board.pieces(BLACK, PAWN));
    int strongScore = 0;
    const bool known =
        kpkRules(mirrorSquare[blackKing], mirrorSquare[pawn], mirrorSquare[whiteKing], board.sideToMove == WHITE, strongScore);
    if (known) score = -strongScore;
    return known;
}

bool kpkRules(Square strongKing, Square pawn, Square weakKing, bool weakSideToMove, int& score) {
    // Work on the a- to d-files only: reflect left-right when the pawn is on e to h.
    if (fileOf(pawn) >= 4) {
        strongKing ^= 7;
        pawn ^= 7;
        weakKing ^= 7;
    }
    const int fs = fileOf(strongKing), rs = rankOf(strongKing);
    const int fp = fileOf(pawn), rp = rankOf(pawn);
    const int fw = fileOf(weakKing), rw = rankOf(weakKing);
    const bool strongSideToMove = !weakSideToMove;
    const int base = kpkBase[rp];

    auto win = [&](int value) {
        score = value;
        return true;
    };
    auto draw = [&]() {
        score = 0;
        return true;
    };

    // 1. Weak king in front of a seventh-rank pawn, strong king beside it on
    //    the sixth, weak side to move: it must step aside.
    if (fw == fp && rw == rp + 1 && fp != 0 && weakSideToMove && rp == 6 && rs == 5 && std::abs(fs - fp) == 1)
        return win(KPK_SEVENTH_RANK_WIN);
    // 2. Weak king directly in front of the pawn, or two squares in front.
    if (fw == fp && (rw == rp + 1 || rw == rp + 2)) return draw();
    // 3. Kings in opposition in front of the pawn, strong king just ahead of it.
    if (fs == fw && (rs == rw - 2 || rs == rw - 4) && std::abs(fs - fp) <= 1 && rs == rp + 1)
        return weakSideToMove ? win(rs + base) : draw();
    // 4. The strong side to move takes the opposition.
    if (fp != 0 && strongSideToMove && (rs == rw - 2 || rs == rw - 4) && std::abs(fs - fp) <= 1 &&
        ((std::abs(fs - fw) == 1 && rs == rp + 1) || (fs == fw && rs == rp + 2)))
        return win(rs + base);
    // 5. Weak king diagonally in front of the pawn, strong king beside it.
    if (std::abs(fw - fp) == 1 && rw == rp + 2 && std::abs(fs - fw) <= 1 && rw != 7) return draw();
    // 6. Strong king on the sixth or seventh rank beside an advanced pawn.
    if (std::abs(fs - fp) == 1 && ((rs == 6 && rp >= 5) || (rs == 7 && rp >= 6))) return win(base);
    // 7. Rook pawn with the weak king reaching the corner.
    if (fp == 0 && ((fs == 0 && fw == 2 && rw >= rs && rp <= rs) || (fw <= 1 && rw > rp))) return draw();
    // 8. Strong king two ranks ahead of the pawn on a neighbouring file.
    if (rs == rp + 2 && std::abs(fs - fp) == 1 && rs >= 6 && strongSideToMove) return win(base);
    // 9. Strong king ahead of its pawn, in opposition to the weak king.
    if (fp != 0 && std::abs(fs - fp) <= 1 && fs == fw && (rw == rs + 2 || rw == rs + 4) && rp < rs - 1)
        return win(rs + base);
    // 10. Kings on different ranks: go on only when the strong king is one
    //     rank off, to move, and at least two files beyond the weak one.
    if (rs != rw && !(std::abs(rs - rw) == 1 && strongSideToMove && fs - fw >= 2)) return false;
    // 11. Strong king between the pawn's file and the weak king's file.
    if ((fp < fs && fs < fw) || (fw < fs && fs < fp)) return win(rs + base);
    return false;
}
