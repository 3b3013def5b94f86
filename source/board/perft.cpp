#include "board/perft.h"

namespace {

// Tells legal moves from pseudo-legal ones without making them, for the
// last ply of a perft, where only the number of legal moves matters. Moves
// it cannot settle cheaply (everything while in check, castling, en passant)
// are made and taken back as everywhere else.
class LegalityTest {
public:
    explicit LegalityTest(const Board& board)
        : board_(board), us_(board.sideToMove), them_(board.colourSet(opponent(board.sideToMove))),
          king_(board.kingSquare(board.sideToMove)), inCheck_(board.isAttacked(us_, king_)) {
        if (!inCheck_) pinned_ = pinnedMen();
    }

    bool isLegal(Board& board, Move move) const {
        const std::uint32_t kind = moveKind(move);
        if (inCheck_ || kind == MOVE_EN_PASSANT || kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG) {
            if (!makeMoveIfLegal(board, move)) return false;
            board.unmakeMove(move);
            return true;
        }
        const Square from = moveFrom(move), to = moveTo(move);
        // The king may not step onto an attacked square; a man it takes
        // attacks nothing any more, and the square it leaves blocks nothing.
        if (from == king_) return !attackedBy(them_ & ~squareBit(to), to, board_.bitboards[BB_OCCUPIED] ^ squareBit(from));
        // Not in check, so only a pinned man can expose the king, and only
        // by leaving the line of its pin.
        return !(pinned_ & squareBit(from)) || (lineThrough(king_, from) & squareBit(to));
    }

private:
    // Whether any of the given men attacks the square on the given occupancy.
    bool attackedBy(Bitboard men, Square square, Bitboard occupied) const {
        const Bitboard* bb = board_.bitboards;
        return (pawnAttacks[square][us_] & bb[PAWN] & men) || (knightAttacks[square] & bb[KNIGHT] & men) ||
               (kingAttacks[square] & bb[KING] & men) ||
               (bishopAttacks(occupied, square) & (bb[BISHOP] | bb[QUEEN]) & men) ||
               (rookAttacks(occupied, square) & (bb[ROOK] | bb[QUEEN]) & men);
    }

    // Own men that alone stand between the king and an enemy slider on its line.
    Bitboard pinnedMen() const {
        const Bitboard* bb = board_.bitboards;
        const Bitboard occupied = bb[BB_OCCUPIED], own = board_.colourSet(us_);
        Bitboard pinned = 0;
        const Bitboard straight = rookAttacks(occupied, king_);
        for (Bitboard pinners = rookAttacks(occupied & ~(straight & own), king_) & ~straight & (bb[ROOK] | bb[QUEEN]) & them_;
             pinners;)
            pinned |= rookAttacks(occupied, popLowest(pinners)) & straight & own;
        const Bitboard diagonal = bishopAttacks(occupied, king_);
        for (Bitboard pinners =
                 bishopAttacks(occupied & ~(diagonal & own), king_) & ~diagonal & (bb[BISHOP] | bb[QUEEN]) & them_;
             pinners;)
            pinned |= bishopAttacks(occupied, popLowest(pinners)) & diagonal & own;
        return pinned;
    }

    // The whole line through two squares that share one.
    static Bitboard lineThrough(Square a, Square b) {
        const Bitboard bit = squareBit(b);
        if (rankMask[a] & bit) return rankMask[a];
        if (fileMask[a] & bit) return fileMask[a];
        if (diagonalMask[a] & bit) return diagonalMask[a];
        return antiDiagonalMask[a];
    }

    const Board& board_;
    Colour us_;
    Bitboard them_;
    Square king_;
    bool inCheck_;
    Bitboard pinned_ = 0;
};

// The last ply is counted, not made; above it only legal moves are made.
std::uint64_t countLegalMoves(Board& board) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    const LegalityTest test(board);
    std::uint64_t legal = 0;
    for (int i = 0; i < count; ++i) legal += test.isLegal(board, list[i]);
    return legal;
}

}  // namespace

std::uint64_t perft(Board& board, int depth) {
    if (depth <= 0) return 1;
    if (depth == 1) return countLegalMoves(board);
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    const LegalityTest test(board);
    std::uint64_t leaves = 0;
    for (int i = 0; i < count; ++i) {
        if (!test.isLegal(board, list[i])) continue;
        board.makeMove(list[i]);
        leaves += perft(board, depth - 1);
        board.unmakeMove(list[i]);
    }
    return leaves;
}

std::string perftDivide(Board& board, int depth) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    std::string text;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        // The text depends on the side to move, so take it before the move.
        const std::string moveText = moveToText(list[i], board);
        if (!makeMoveIfLegal(board, list[i])) continue;
        const std::uint64_t leaves = perft(board, depth - 1);
        board.unmakeMove(list[i]);
        total += leaves;
        text += moveText + ": " + std::to_string(leaves) + "\n";
    }
    text += "\nNodes searched: " + std::to_string(total) + "\n";
    return text;
}
