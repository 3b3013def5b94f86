#include "search/pv.h"

#include "search/tt.h"

#include <cstring>
#include <string>

using namespace search_params;

const char* principalVariationText(Board& board, char* text, Move& ponderMove) {
    ponderMove = NO_MOVE;
    text[0] = '\0';
    int length = 0;

    // Walk the exact entries. The table's move is trusted (it was stored for
    // this very key); the 64-move cap also ends cycles of exact entries.
    Move made[PV_MAX_MOVES];
    int madeCount = 0;
    while (madeCount < PV_MAX_MOVES && board.ply + 1 < HISTORY_SIZE) {
        const TTEntry& slot = ttSlot(board.hashKey());
        if (slot.key != board.hashKey() || slot.bound != BOUND_EXACT || sameMove(slot.move, NO_MOVE)) break;
        const Move move = slot.move;
        if (madeCount == 1) ponderMove = move;

        // Coordinate texts are at most five characters, so the string stays
        // in its inline buffer and nothing is allocated.
        const std::string moveText = moveToText(move, board);
        const int moveLength = int(moveText.size());
        if (length + moveLength + 1 >= PV_TEXT_SIZE) break;
        std::memcpy(text + length, moveText.data(), std::size_t(moveLength));
        length += moveLength;
        text[length++] = ' ';
        text[length] = '\0';

        // Taking a king (only a damaged position offers it) ends the line;
        // a board without a king is not made.
        if (capturesKing(move)) break;
        board.makeMove(move);
        made[madeCount++] = move;
    }

    // Put the board back, last move first.
    while (madeCount > 0) board.unmakeMove(made[--madeCount]);
    return text;
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
