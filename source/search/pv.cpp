#include "search/pv.h"

#include "search/nodes.h"
#include "search/tt.h"

using namespace search_params;

namespace {

// The move of the table's exact entry for the current position; NO_MOVE when
// there is none.
Move exactTableMove(const Board& board) {
    const TTEntry slot = ttProbe(board.hashKey());
    if (slot.key != board.hashKey() || slot.bound != BOUND_EXACT) return NO_MOVE;
    return slot.move;
}

// Whether the move is one the generator gives here: a table's move may come
// from another position, and making that could corrupt the board.
bool isGenerated(const Board& board, Move move) {
    if (sameMove(move, NO_MOVE)) return false;
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i)
        if (sameMove(list[i], move)) return true;
    return false;
}

// The move if it is legal here, else NO_MOVE. A king capture (offered only by
// a damaged position) is never made, so it is taken as generated.
Move legalOrNone(Board& board, Move move) {
    if (!isGenerated(board, move)) return NO_MOVE;
    if (capturesKing(move)) return move;
    if (!makeMoveIfLegal(board, move)) return NO_MOVE;
    board.unmakeMove(move);
    return move;
}

}  // namespace

void principalVariation(Board& board, Move bestMove, PrincipalVariation& pv) {
    const std::uint64_t nodesBefore = board.nodeCount;
    pv.length = 0;
    pv.ponder = NO_MOVE;

    Move move = legalOrNone(board, bestMove);
    while (!sameMove(move, NO_MOVE) && pv.length < PV_MAX_MOVES && board.ply + 1 < HISTORY_SIZE) {
        pv.moves[pv.length++] = move;
        // Taking a king ends the line; a board without a king is not made.
        if (capturesKing(move)) break;
        board.makeMove(move);
        const bool repeated = countRepetitions(board, 1) > 0;
        move = legalOrNone(board, exactTableMove(board));
        if (pv.length == 1) pv.ponder = move;
        // A repetition is shown once; the cycle after it is not.
        if (repeated) break;
    }

    // Put the board back, last move first.
    for (int i = pv.length - 1; i >= 0; --i)
        if (!capturesKing(pv.moves[i])) board.unmakeMove(pv.moves[i]);
    board.nodeCount = nodesBefore;
}

void walkTableLine(Board& board) {
    Move made[PV_MAX_MOVES];
    int madeCount = 0;
    while (madeCount < PV_MAX_MOVES && board.ply + 1 < HISTORY_SIZE) {
        const Move move = exactTableMove(board);
        if (!isGenerated(board, move) || capturesKing(move) || !makeMoveIfLegal(board, move)) break;
        made[madeCount++] = move;
    }
    while (madeCount > 0) board.unmakeMove(made[--madeCount]);
}

bool isCheckmated(Board& board) {
    if (!board.inCheck()) return false;

    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);

    // Stop at the first move that leaves the king unattacked.
    for (int i = 0; i < count; ++i) {
        const Move move = list[i];
        // A side that can take the king (damaged positions only) is not mated.
        if (capturesKing(move)) return false;
        if (makeMoveIfLegal(board, move)) {
            board.unmakeMove(move);
            return false;
        }
    }
    return true;
}

bool isTacticalMove(Move move, const Board& board) {
    if (isCastling(move) || isCapture(move)) return true;

    const Square to = moveTo(move);
    const PieceKind kind = PieceKind(board.squareKind[to]);
    if (kind == KING) return false;

    const Colour mover = opponent(board.sideToMove);
    const Bitboard attacked = board.attacksFrom(to, mover, kind);

    // Enemy men worth more than the mover; a knight is not thought to threaten
    // a bishop, so for it only rooks and up count.
    const int lowestTarget = kind == KNIGHT ? ROOK : kind + 1;
    Bitboard targets = 0;
    for (int k = lowestTarget; k <= KING; ++k) targets |= board.bitboards[k];
    targets &= board.colourSet(board.sideToMove);
    return (attacked & targets) != 0;
}
