// Making and unmaking moves. Make updates everything incrementally and
// pushes a new history entry; unmake only puts the pieces back, because the
// entry below still holds the rights, en-passant square, countdown and hash.
#include "board/board.h"

namespace {

// Flips the given squares in a kind's set, the colour's set, the occupancy
// and the empty set: two squares move a piece, one square takes a piece off
// or puts it back.
inline void toggle(Board& board, int kind, Colour colour, Bitboard squares) {
    board.bitboards[kind] ^= squares;
    board.bitboards[BB_WHITE + colour] ^= squares;
    board.bitboards[BB_OCCUPIED] ^= squares;
    board.bitboards[BB_EMPTY] ^= squares;
}

// The square of the piece a capture removes: for en passant it stands
// behind the destination, seen from the capturing side.
inline Square capturedSquare(Move move, Colour us) {
    const Square to = moveTo(move);
    if (moveKind(move) != MOVE_EN_PASSANT) return to;
    return us == WHITE ? to - 8 : to + 8;
}

// Pushes the entry of the position after a move or a pass: a copy of the
// current one, one half-move closer to the fifty-move rule, and without the
// en-passant chance, which lasts one ply only.
inline HistoryEntry& pushHistoryEntry(Board& board) {
    const HistoryEntry& old = board.history[board.ply];
    HistoryEntry& entry = board.history[board.ply + 1];
    entry = old;
    entry.epSquare = NO_SQUARE;
    if (old.epSquare != NO_SQUARE) entry.hashKey ^= zobristEp[old.epSquare];
    ++board.ply;
    entry.rule50 -= 1;
    return entry;
}

// Castling takes both men off and puts both on their new squares; the flips
// hold that in exclusive-ors, right also when a man stays where it is or the
// king lands where its rook stood. Its own inverse, so unmake uses it too.
inline void flipCastlingMen(Board& board, Colour us, const CastlingRight& right) {
    board.bitboards[KING] ^= right.kingFlip;
    board.bitboards[ROOK] ^= right.rookFlip;
    board.bitboards[BB_WHITE + us] ^= right.menFlip;
    board.bitboards[BB_OCCUPIED] ^= right.menFlip;
    board.bitboards[BB_EMPTY] ^= right.menFlip;
}

}  // namespace

void Board::updateCastlingRights(Move move) {
    std::uint8_t& rights = history[ply].ooStatus;
    if (isCastling(move)) {
        rights &= sideToMove == WHITE ? std::uint8_t(CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG)
                                      : std::uint8_t(CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG);
        return;
    }
    // A king leaving, a rook leaving its start square or anything landing on
    // it (a capture of the rook) ends the rights concerned.
    rights &= std::uint8_t(castling.rightsKept[moveFrom(move)] & castling.rightsKept[moveTo(move)]);
}

void Board::makeMove(Move move) {
    const Colour us = sideToMove;
    const Colour them = opponent(us);

    // Step 1: every made move is a node of the search statistics.
    ++nodeCount;

    // Steps 2 and 3: the new entry becomes the current one.
    HistoryEntry& entry = pushHistoryEntry(*this);

    // Step 4: castling rights, swapping their key (a no-op when they stay).
    const std::uint8_t rightsBefore = entry.ooStatus;
    updateCastlingRights(move);
    if (entry.ooStatus != rightsBefore) entry.hashKey ^= zobristCastle[rightsBefore] ^ zobristCastle[entry.ooStatus];

    const std::uint32_t kind = moveKind(move);

    // Step 5: castling moves king and rook and nothing else; it is not an
    // irreversible move, so the countdown keeps running.
    if (kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG) {
        const CastlingRight& right = castling.rights[castleIndex(move, us)];
        flipCastlingMen(*this, us, right);
        squareKind[right.kingFrom] = EMPTY;
        squareKind[right.rookFrom] = EMPTY;
        squareKind[right.kingTo] = KING;
        squareKind[right.rookTo] = ROOK;
        entry.hashKey ^= zobristPiece[us][KING][right.kingFrom] ^ zobristPiece[us][KING][right.kingTo] ^
                         zobristPiece[us][ROOK][right.rookFrom] ^ zobristPiece[us][ROOK][right.rookTo];
        sideToMove = them;
        entry.hashKey ^= zobristSide;
        return;
    }

    const Square from = moveFrom(move);
    const Square to = moveTo(move);

    // Step 6: take the captured piece off; a capture restarts the countdown.
    if (isCapture(move)) {
        entry.rule50 = 100;
        const PieceKind captured = moveCaptured(move);
        const Square victim = capturedSquare(move, us);
        if (kind == MOVE_EN_PASSANT) squareKind[victim] = EMPTY;
        toggle(*this, captured, them, squareBit(victim));
        entry.hashKey ^= zobristPiece[them][captured][victim];
        pieceCount[them][captured] -= 1;
        material[them] -= pieceValue[captured];
        if (captured != PAWN) nonPawnMaterial[them] -= pieceValue[captured];
    }

    // Step 7: move the piece.
    const PieceKind piece = PieceKind(squareKind[from]);
    toggle(*this, piece, us, squareBit(from) | squareBit(to));
    squareKind[from] = EMPTY;
    squareKind[to] = piece;
    entry.hashKey ^= zobristPiece[us][piece][from] ^ zobristPiece[us][piece][to];

    // Step 8: pawn moves restart the countdown, may leave an en-passant
    // square (whether or not a pawn can take) or promote.
    if (piece == PAWN) {
        entry.rule50 = 100;
        if (kind == MOVE_DOUBLE_PUSH) {
            entry.epSquare = std::uint8_t(us == WHITE ? to - 8 : to + 8);
            entry.hashKey ^= zobristEp[entry.epSquare];
        } else if (isPromotion(move)) {
            const PieceKind promoted = promotedKind(move);
            bitboards[PAWN] ^= squareBit(to);
            bitboards[promoted] ^= squareBit(to);
            squareKind[to] = promoted;
            entry.hashKey ^= zobristPiece[us][PAWN][to] ^ zobristPiece[us][promoted][to];
            pieceCount[us][PAWN] -= 1;
            material[us] -= pieceValue[PAWN];
            pieceCount[us][promoted] += 1;
            material[us] += pieceValue[promoted];
            nonPawnMaterial[us] += pieceValue[promoted];
        }
    }

    // Step 9: the other side moves.
    sideToMove = them;
    entry.hashKey ^= zobristSide;
}

void Board::unmakeMove(Move move) {
    --ply;
    sideToMove = opponent(sideToMove);
    const Colour us = sideToMove;
    const Colour them = opponent(us);
    const std::uint32_t kind = moveKind(move);

    if (kind == MOVE_CASTLE_SHORT || kind == MOVE_CASTLE_LONG) {
        const CastlingRight& right = castling.rights[castleIndex(move, us)];
        flipCastlingMen(*this, us, right);
        squareKind[right.kingTo] = EMPTY;
        squareKind[right.rookTo] = EMPTY;
        squareKind[right.kingFrom] = KING;
        squareKind[right.rookFrom] = ROOK;
        return;
    }

    const Square from = moveFrom(move);
    const Square to = moveTo(move);

    // The piece goes back as what it is now; a promoted piece is turned
    // back into the pawn below.
    const PieceKind piece = PieceKind(squareKind[to]);
    toggle(*this, piece, us, squareBit(from) | squareBit(to));
    squareKind[from] = piece;
    squareKind[to] = EMPTY;

    if (isCapture(move)) {
        const PieceKind captured = moveCaptured(move);
        const Square victim = capturedSquare(move, us);
        squareKind[victim] = captured;
        toggle(*this, captured, them, squareBit(victim));
        pieceCount[them][captured] += 1;
        material[them] += pieceValue[captured];
        if (captured != PAWN) nonPawnMaterial[them] += pieceValue[captured];
    }

    if (isPromotion(move)) {
        const PieceKind promoted = promotedKind(move);
        bitboards[PAWN] ^= squareBit(from);
        bitboards[promoted] ^= squareBit(from);
        squareKind[from] = PAWN;
        pieceCount[us][PAWN] += 1;
        material[us] += pieceValue[PAWN];
        pieceCount[us][promoted] -= 1;
        material[us] -= pieceValue[promoted];
        nonPawnMaterial[us] -= pieceValue[promoted];
    }
}

void Board::makeNullMove() {
    HistoryEntry& entry = pushHistoryEntry(*this);
    sideToMove = opponent(sideToMove);
    entry.hashKey ^= zobristSide;
}

void Board::unmakeNullMove() {
    --ply;
    sideToMove = opponent(sideToMove);
}

bool makeMoveIfLegal(Board& board, Move move) {
    const Colour mover = board.sideToMove;
    if (isCastling(move) && !castlingPathSafe(board, move, mover)) return false;
    board.makeMove(move);
    if (board.isAttacked(mover, board.kingSquare(mover))) {
        board.unmakeMove(move);
        return false;
    }
    return true;
}
