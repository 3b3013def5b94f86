#include "search/ordering.h"

#include "board/attacks.h"
#include "eval/eval.h"
#include "search/pv.h"

#include <cstdio>

using namespace search_params;

void Killers::clear() {
    for (auto& row : moves)
        for (Move& killer : row) killer = NO_MOVE;
    slot = 0;
}

bool Killers::contains(Move m, int ply) const {
    if (ply < 0 || ply >= KILLER_PLIES) return false;
    const Move* row = moves[ply];
    return sameMove(m, row[0]) || sameMove(m, row[1]) || sameMove(m, row[2]);
}

void Killers::store(Move move, int ply) {
    if (ply < 0 || ply >= KILLER_PLIES) return;
    Move* row = moves[ply];
    for (int i = 0; i < KILLER_SLOTS; ++i)
        if (sameMove(row[i], move)) return;

    // Prefer an empty slot among the two after the current one; when all
    // three are full the current slot itself is overwritten (and stays current).
    const int candidates[KILLER_SLOTS] = {(slot + 1) % KILLER_SLOTS, (slot + 2) % KILLER_SLOTS, slot};
    int chosen = candidates[KILLER_SLOTS - 1];
    for (int candidate : candidates) {
        if (sameMove(row[candidate], NO_MOVE)) {
            chosen = candidate;
            break;
        }
    }
    slot = chosen;
    row[chosen] = move;
}

namespace {

// Every man of either colour that attacks the square on the given occupancy.
// The slider lookups are skipped when no slider of the kind stands on the
// square's lines at all.
Bitboard attackersOf(const Board& board, Square to, Bitboard occupancy, Bitboard diagonalSliders,
                     Bitboard straightSliders) {
    const Bitboard* bb = board.bitboards;
    // A white pawn attacks `to` from the squares a black pawn on `to` would attack, and vice versa.
    Bitboard attackers = (pawnAttacks[to][BLACK] & bb[PAWN] & bb[BB_WHITE]) |
                         (pawnAttacks[to][WHITE] & bb[PAWN] & bb[BB_WHITE + BLACK]) |
                         (knightAttacks[to] & bb[KNIGHT]) | (kingAttacks[to] & bb[KING]);
    if ((diagonalMask[to] | antiDiagonalMask[to]) & diagonalSliders & occupancy)
        attackers |= bishopAttacks(occupancy, to) & diagonalSliders;
    if ((rankMask[to] | fileMask[to]) & straightSliders & occupancy)
        attackers |= rookAttacks(occupancy, to) & straightSliders;
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
    const Bitboard diagonalSliders = board.bitboards[BISHOP] | board.bitboards[QUEEN];
    const Bitboard straightSliders = board.bitboards[ROOK] | board.bitboards[QUEEN];
    Bitboard attackers = attackersOf(board, to, occupancy, diagonalSliders, straightSliders);

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
    const Bitboard diagonalLines = diagonalMask[to] | antiDiagonalMask[to];
    const Bitboard straightLines = rankMask[to] | fileMask[to];
    for (;;) {
        Square square = 0;
        PieceKind kind = EMPTY;
        leastValuableAttacker(board, attackers & board.colourSet(toCapture), square, kind);

        ++n;
        gain[n] = exchangeValue[onSquare] - gain[n - 1];
        onSquare = kind;

        // The recapturing man leaves its square: sliders lined up behind it
        // (x-ray) now see the destination too. Only the line through the
        // square it left can open; a knight opens none.
        const Bitboard left = squareBit(square);
        occupancy &= ~left;
        if (diagonalLines & left) attackers |= bishopAttacks(occupancy, to) & diagonalSliders;
        else if (straightLines & left) attackers |= rookAttacks(occupancy, to) & straightSliders;
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

void orderMoves(const Board& board, Move* list, int count, Move hashMove, int ply, const Killers& killers,
                SearchHost& host) {
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
            host.reportKingCapture(board, m);
            key = KEY_KING_CAPTURE;
        } else if (s >= 0 && isCapture(m)) {
            key = KEY_CAPTURE_BASE + std::uint32_t(s / KEY_CAPTURE_DIVISOR);
        } else if (!isCapture(m) && killers.contains(m, ply)) {
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

namespace {

// Moves the entries of [begin, end) that satisfy the predicate to its front,
// in any order (each band is sorted afterwards); returns the end of those.
template <class Predicate>
int partitionMoves(Move* list, int begin, int end, Predicate&& predicate) {
    int split = begin;
    for (int i = begin; i < end; ++i) {
        if (predicate(list[i])) {
            const Move m = list[i];
            list[i] = list[split];
            list[split++] = m;
        }
    }
    return split;
}

// Every square a man of the side not to move attacks; sliderAttacks gets
// the part its bishops, rooks and queens attack.
Bitboard enemyAttacks(const Board& board, Bitboard& sliderAttacks) {
    const Colour them = opponent(board.sideToMove);
    const Bitboard occupied = board.bitboards[BB_OCCUPIED];
    Bitboard sliders = 0;
    for (Bitboard set = board.pieces(them, BISHOP) | board.pieces(them, QUEEN); set;)
        sliders |= bishopAttacks(occupied, popLowest(set));
    for (Bitboard set = board.pieces(them, ROOK) | board.pieces(them, QUEEN); set;)
        sliders |= rookAttacks(occupied, popLowest(set));
    Bitboard attacks = sliders | pawnAttackSet(board.pieces(them, PAWN), them) | kingAttacks[board.kingSquare(them)];
    for (Bitboard set = board.pieces(them, KNIGHT); set;) attacks |= knightAttacks[popLowest(set)];
    sliderAttacks = sliders;
    return attacks;
}

// Whether the move generator offers a capture of the enemy king: a man of
// the side to move attacks it, a pawn only off the promotion rank (taking
// the king by promotion is never generated).
bool offersKing(const Board& board) {
    const Colour us = board.sideToMove, them = opponent(us);
    const Bitboard king = board.pieces(them, KING);
    if (!king) return false;
    const Square k = lowestSquare(king);
    const Bitboard* bb = board.bitboards;
    const Bitboard own = board.colourSet(us), occupied = bb[BB_OCCUPIED];
    return ((knightAttacks[k] & bb[KNIGHT]) | (kingAttacks[k] & bb[KING]) |
            (bishopAttacks(occupied, k) & (bb[BISHOP] | bb[QUEEN])) | (rookAttacks(occupied, k) & (bb[ROOK] | bb[QUEEN])) |
            (promotionRank[us] & king ? 0 : pawnAttacks[k][them] & bb[PAWN])) &
           own;
}

// The key of a move that lost material in the exchange.
std::uint32_t losingKey(int s) {
    if (s > LOSING_SMALL_LIMIT) return KEY_LOSING_SMALL;
    if (s > LOSING_MEDIUM_LIMIT) return KEY_LOSING_MEDIUM;
    return KEY_LOSING_LARGE;
}

}  // namespace

MovePicker::MovePicker(const Board& board, Move* list, int count, Move hashMove, int ply, const Killers& killers,
                       SearchHost& host)
    : board_(board), killers_(killers), list_(list), count_(count), ply_(ply), stage_(Stage::HASH),
      losingBegin_(count) {
    if (offersKing(board)) {
        // Only a damaged position offers a king; orderMoves reports it
        // there, before any move is searched. Take its order as it is.
        orderMoves(board, list, count, hashMove, ply, killers, host);
        stage_ = Stage::DONE;
        bandEnd_ = count;
        return;
    }
    if (sameMove(hashMove, NO_MOVE)) return;
    for (int i = 0; i < count; ++i) {
        if (sameMove(list[i], hashMove)) {
            const Move m = list[i];
            list[i] = list[0];
            list[0] = withScore(m, KEY_HASH_MOVE);
            bandEnd_ = 1;
            return;
        }
    }
}

bool MovePicker::next(Move& move) {
    while (next_ == bandEnd_) {
        switch (stage_) {
        case Stage::HASH: prepareCaptures(); break;
        case Stage::CAPTURES: prepareKillers(); break;
        case Stage::KILLERS: prepareQuiets(); break;
        case Stage::QUIETS: prepareLosing(); break;
        case Stage::LOSING:
        case Stage::DONE: return false;
        }
    }
    move = list_[next_++];
    return true;
}

void MovePicker::prepareCaptures() {
    stage_ = Stage::CAPTURES;
    const int captureEnd = partitionMoves(list_, next_, losingBegin_, [](Move m) { return isCapture(m); });
    for (int i = next_; i < captureEnd; ++i) {
        const int s = staticExchange(board_, list_[i]);
        list_[i] = withScore(list_[i], s >= 0 ? KEY_CAPTURE_BASE + std::uint32_t(s / KEY_CAPTURE_DIVISOR) : losingKey(s));
    }
    // Losing captures join the losing band at the end of the list.
    const int goodEnd = partitionMoves(list_, next_, captureEnd, [](Move m) { return moveScore(m) >= KEY_CAPTURE_BASE; });
    for (int i = captureEnd; i-- > goodEnd;) {
        const Move m = list_[i];
        list_[i] = list_[--losingBegin_];
        list_[losingBegin_] = m;
    }
    bandEnd_ = goodEnd;
    sortMoves(list_ + next_, bandEnd_ - next_);
}

void MovePicker::prepareKillers() {
    stage_ = Stage::KILLERS;
    bandEnd_ = partitionMoves(list_, next_, losingBegin_, [this](Move m) { return killers_.contains(m, ply_); });
    for (int i = next_; i < bandEnd_; ++i) list_[i] = withScore(list_[i], KEY_KILLER);
    sortMoves(list_ + next_, bandEnd_ - next_);
}

void MovePicker::prepareQuiets() {
    stage_ = Stage::QUIETS;
    const int flip = board_.sideToMove == WHITE ? 0 : 56;
    // Most quiet moves go where no enemy man can follow. With the squares
    // the enemy attacks at hand, those need no exchange evaluation: nothing
    // can take on the destination, so the exchange is 0. Leaving the origin
    // can only open a line for an enemy slider that attacks the origin now;
    // such moves, and every move to an attacked square, are evaluated in full.
    Bitboard sliderAttacks = 0;
    const Bitboard attacked = enemyAttacks(board_, sliderAttacks);
    int end = losingBegin_;
    for (int i = next_; i < end;) {
        const Move m = list_[i];
        int s = 0;
        if (!isCastling(m) &&
            ((attacked & squareBit(moveTo(m))) || (sliderAttacks & squareBit(moveFrom(m)))))
            s = staticExchange(board_, m);
        if (s == 0) {
            std::uint32_t key = KEY_CASTLING;
            if (!isCastling(m)) {
                // Quiet move to a safe square: rank it by its piece-square
                // gain, read from White's side.
                const int* table = orderingTables[board_.squareKind[moveFrom(m)]];
                key = std::uint32_t(KEY_QUIET_BASE + table[moveTo(m) ^ flip] - table[moveFrom(m) ^ flip]);
            }
            list_[i++] = withScore(m, key);
        } else {
            list_[i] = list_[--end];
            list_[end] = withScore(m, losingKey(s));
        }
    }
    losingBegin_ = end;
    bandEnd_ = end;
    sortMoves(list_ + next_, bandEnd_ - next_);
}

void MovePicker::prepareLosing() {
    stage_ = Stage::LOSING;
    bandEnd_ = count_;
    sortMoves(list_ + next_, bandEnd_ - next_);
}
