#include "search/ordering.h"

#include "board/attacks.h"
#include "eval/eval.h"

#include <cstdio>

using namespace search_params;

Move killerMoves[KILLER_PLIES][KILLER_SLOTS];
int killerSlot = 0;

void clearKillers() {
    for (auto& row : killerMoves)
        for (Move& killer : row) killer = NO_MOVE;
    killerSlot = 0;
}

void storeKiller(Move move, int ply) {
    if (ply < 0 || ply >= KILLER_PLIES) return;
    Move* row = killerMoves[ply];
    for (int i = 0; i < KILLER_SLOTS; ++i)
        if (sameMove(row[i], move)) return;

    // Prefer an empty slot among the two after the current one; when all
    // three are full the current slot itself is overwritten (and stays current).
    const int candidates[KILLER_SLOTS] = {(killerSlot + 1) % KILLER_SLOTS, (killerSlot + 2) % KILLER_SLOTS, killerSlot};
    int chosen = candidates[KILLER_SLOTS - 1];
    for (int candidate : candidates) {
        if (sameMove(row[candidate], NO_MOVE)) {
            chosen = candidate;
            break;
        }
    }
    killerSlot = chosen;
    row[chosen] = move;
}

namespace {

// Every man of either colour that attacks the square on the given occupancy.
Bitboard attackersOf(const Board& board, Square to, Bitboard occupancy) {
    const Bitboard* bb = board.bitboards;
    const Bitboard diagonalSliders = bb[BISHOP] | bb[QUEEN];
    const Bitboard straightSliders = bb[ROOK] | bb[QUEEN];
    // A white pawn attacks `to` from the squares a black pawn on `to` would attack, and vice versa.
    const Bitboard pawns = (pawnAttacks[to][BLACK] & bb[PAWN] & bb[BB_WHITE]) |
                           (pawnAttacks[to][WHITE] & bb[PAWN] & bb[BB_WHITE + BLACK]);
    const Bitboard attackers = pawns | (knightAttacks[to] & bb[KNIGHT]) | (kingAttacks[to] & bb[KING]) |
                               (bishopAttacks(occupancy, to) & diagonalSliders) |
                               (rookAttacks(occupancy, to) & straightSliders);
    return attackers & occupancy;
}

// The least valuable attacker of one side: a pawn, else knight, bishop, rook,
// queen, king in that order; among equals the lowest square.
bool leastValuableAttacker(const Board& board, Bitboard sideAttackers, Square& square, PieceKind& kind) {
    for (int k = PAWN; k <= KING; ++k) {
        const Bitboard candidates = sideAttackers & board.bitboards[k];
        if (candidates) {
            square = lowestSquare(candidates);
            kind = PieceKind(k);
            return true;
        }
    }
    return false;
}

}  // namespace

int staticExchange(const Board& board, Move move) {
    const Square to = moveTo(move);
    const Square from = moveFrom(move);
    const Colour side = board.sideToMove;

    // Step 1: a capturable king ends every argument.
    if (board.squareKind[to] == KING) return EXCHANGE_KING_VALUE;

    // Step 2: what the move takes, and the occupancy the exchange starts from.
    PieceKind captured = PieceKind(board.squareKind[to]);
    Bitboard occupancy = board.bitboards[BB_OCCUPIED];
    if (moveKind(move) == MOVE_EN_PASSANT) {
        captured = PAWN;
        const Square victim = side == WHITE ? to - 8 : to + 8;
        occupancy &= ~squareBit(victim);
    }

    // Step 3: the moving man has left its square; everything that now bears
    // on the destination, sliders behind it included, may join in.
    occupancy &= ~squareBit(from);
    Bitboard attackers = attackersOf(board, to, occupancy);

    // Step 4: the first entry of the swap list is what the move itself wins.
    // A promotion still counts as the pawn that stands there.
    int gain[MAX_SWAP_LIST];
    int n = 0;
    gain[0] = exchangeValue[captured];
    PieceKind onSquare = PieceKind(board.squareKind[from]);

    // Step 5: nobody can answer.
    Colour toCapture = opponent(side);
    if (!(attackers & board.colourSet(toCapture))) return gain[0];

    // Step 6: alternate recaptures with the least valuable man each time.
    const Bitboard diagonalSliders = board.bitboards[BISHOP] | board.bitboards[QUEEN];
    const Bitboard straightSliders = board.bitboards[ROOK] | board.bitboards[QUEEN];
    for (;;) {
        Square square = 0;
        PieceKind kind = EMPTY;
        leastValuableAttacker(board, attackers & board.colourSet(toCapture), square, kind);

        ++n;
        gain[n] = exchangeValue[onSquare] - gain[n - 1];
        onSquare = kind;

        // The recapturing man leaves its square: sliders lined up behind it
        // (x-ray) now see the destination too.
        occupancy &= ~squareBit(square);
        attackers |= (bishopAttacks(occupancy, to) & diagonalSliders) | (rookAttacks(occupancy, to) & straightSliders);
        attackers &= occupancy;

        toCapture = opponent(toCapture);
        const bool answer = (attackers & board.colourSet(toCapture)) != 0;
        if (kind == KING) {
            // A king may only recapture when nothing can take it back.
            if (answer && n + 1 < MAX_SWAP_LIST) gain[++n] = EXCHANGE_KING_VALUE;
            break;
        }
        if (!answer || n + 1 >= MAX_SWAP_LIST) break;
    }

    // Step 7: each side stops the sequence where continuing would cost it.
    for (int i = n; i >= 1; --i)
        if (-gain[i] < gain[i - 1]) gain[i - 1] = -gain[i];
    return gain[0];
}

void sortMoves(Move* list, int count) {
    // Insertion sort: lists are short, and it works in place without allocating.
    for (int i = 1; i < count; ++i) {
        const Move m = list[i];
        int j = i - 1;
        while (j >= 0 && moveGoesBefore(m, list[j])) {
            list[j + 1] = list[j];
            --j;
        }
        list[j + 1] = m;
    }
}

void orderMoves(const Board& board, Move* list, int count, Move hashMove, int ply) {
    for (int i = 0; i < count; ++i) {
        const Move m = list[i];
        // Castling never goes through the exchange evaluation.
        const int s = isCastling(m) ? 0 : staticExchange(board, m);

        std::uint32_t key;
        if (sameMove(m, hashMove)) {
            key = KEY_HASH_MOVE;
        } else if (s >= KING_CAPTURE_THRESHOLD) {
            // Only a position where the side not to move is in check lets a
            // king be taken; legal play never gets here. Say so loudly and
            // carry on with the move among the captures.
            std::printf("EZ MI EZ??? seeValue >= 10000\n");
            std::fflush(stdout);
            board.printBoard(printPawnShieldAnalysis);
            printMove(m);
            std::fflush(stdout);
            key = KEY_KING_CAPTURE;
        } else if (s >= 0 && isCapture(m)) {
            key = KEY_CAPTURE_BASE + std::uint32_t(s / KEY_CAPTURE_DIVISOR);
        } else if (!isCapture(m) && ply >= 0 && ply < KILLER_PLIES &&
                   (sameMove(m, killerMoves[ply][0]) || sameMove(m, killerMoves[ply][1]) ||
                    sameMove(m, killerMoves[ply][2]))) {
            key = KEY_KILLER;
        } else if (s == 0) {
            if (isCastling(m)) {
                key = KEY_CASTLING;
            } else {
                // Quiet move to a safe square: rank it by its piece-square gain,
                // read from White's side.
                const int* table = orderingTables[board.squareKind[moveFrom(m)]];
                const Square flip = board.sideToMove == WHITE ? 0 : 56;
                key = std::uint32_t(KEY_QUIET_BASE + table[moveTo(m) ^ flip] - table[moveFrom(m) ^ flip]);
            }
        } else if (s > LOSING_SMALL_LIMIT) {
            key = KEY_LOSING_SMALL;
        } else if (s > LOSING_MEDIUM_LIMIT) {
            key = KEY_LOSING_MEDIUM;
        } else {
            key = KEY_LOSING_LARGE;
        }
        list[i] = withScore(m, key);
    }
    sortMoves(list, count);
}
