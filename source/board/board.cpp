// The Board object: the initial position, placing pieces, recomputing every
// derived field from the bitboards, and the diagnostic picture.
#include "board/board.h"

#include <cstdio>


Board::Board() {
    for (int c = 0; c < 2; ++c) {
        material[c] = 0;
        nonPawnMaterial[c] = 0;
        for (auto& count : pieceCount[c]) count = 0;
    }
    // Every entry starts as a fresh position so stale reads see sane values.
    for (auto& entry : history) {
        entry.ooStatus = 15;
        entry.epSquare = NO_SQUARE;
        entry.rule50 = 100;
        entry.hashKey = 0;
    }
    ply = 0;
    for (auto& b : bitboards) b = 0;

    static constexpr PieceKind backRank[8] = {ROOK, KNIGHT, BISHOP, QUEEN, KING, BISHOP, KNIGHT, ROOK};
    for (int file = 0; file < 8; ++file) {
        addPiece(WHITE, PAWN, makeSquare(file, 1));
        addPiece(BLACK, PAWN, makeSquare(file, 6));
        addPiece(WHITE, backRank[file], makeSquare(file, 0));
        addPiece(BLACK, backRank[file], makeSquare(file, 7));
    }

    history[0].ooStatus = 15;
    history[0].epSquare = NO_SQUARE;
    castling = standardCastling;
    sideToMove = WHITE;
    bitboards[BB_OCCUPIED] = bitboards[BB_WHITE] | bitboards[BB_WHITE + BLACK];
    bitboards[BB_EMPTY] = ~bitboards[BB_OCCUPIED];
    rebuild();
}

void Board::addPiece(Colour colour, PieceKind kind, Square square) {
    // Errors are reported and the piece dropped; the caller carries on.
    if (square < 0 || square > 63) {
        std::fputs("ERROR in Board::addPiece() - illegal parameters", stdout);
        return;
    }
    const Bitboard bit = squareBit(square);
    if ((bitboards[kind] & bit) || (bitboards[BB_WHITE + colour] & bit)) {
        std::fputs("ERROR in Board::addPiece() - piece on that square already", stdout);
        return;
    }
    bitboards[kind] |= bit;
    bitboards[BB_WHITE + colour] |= bit;
}

void Board::rebuild() {
    for (int c = 0; c < 2; ++c) {
        material[c] = 0;
        nonPawnMaterial[c] = 0;
        for (auto& count : pieceCount[c]) count = 0;
    }
    for (auto& kind : squareKind) kind = EMPTY;

    std::uint64_t hash = sideToMove == WHITE ? zobristSide : 0;
    for (int k = PAWN; k <= KING; ++k) {
        for (int c = WHITE; c <= BLACK; ++c) {
            Bitboard set = bitboards[k] & bitboards[BB_WHITE + c];
            while (set) {
                const Square s = popLowest(set);
                squareKind[s] = std::uint8_t(k);
                hash ^= zobristPiece[c][k][s];
                if (k == PAWN) {
                    pieceCount[c][PAWN] += 1;
                    material[c] += pieceValue[PAWN];
                } else if (k < KING) {
                    pieceCount[c][k] += 1;
                    material[c] += pieceValue[k];
                    nonPawnMaterial[c] += pieceValue[k];
                }
            }
        }
    }
    HistoryEntry& entry = history[ply];
    if (entry.epSquare != NO_SQUARE) hash ^= zobristEp[entry.epSquare];
    hash ^= zobristCastle[entry.ooStatus];
    entry.hashKey = hash;
}

void Board::printBoard(void (*appendix)(const Board&)) const {
    static const char* const frame = "///////////////////////////////////////////////////////////////////";
    static const char* const whiteCells[6] = {" P ", " N ", " B ", " R ", " Q ", " K "};
    static const char* const blackCells[6] = {" p ", " n ", " b ", " r ", " q ", " k "};

    std::printf("\n<%s\n", frame);
    for (int rank = 7; rank >= 0; --rank) {
        for (int file = 0; file < 8; ++file) {
            const Bitboard bit = squareBit(makeSquare(file, rank));
            // Read the bitboards rather than squareKind, so a damaged board
            // shows what its sets actually claim.
            const char* cell = (bitboards[BB_OCCUPIED] & bit) ? " ? " : " . ";
            for (int k = PAWN; k <= KING; ++k) {
                if (!(bitboards[k] & bit)) continue;
                if (bitboards[BB_WHITE] & bit) {
                    cell = whiteCells[k];
                    break;
                }
                if (bitboards[BB_WHITE + BLACK] & bit) {
                    cell = blackCells[k];
                    break;
                }
            }
            std::fputs(cell, stdout);
        }
        std::fputs("\n\n", stdout);
    }
    const HistoryEntry& entry = history[ply];
    std::printf("player to move: %s\n", sideToMove == WHITE ? "White" : "Black");
    std::printf("ooStatus = %u\n", unsigned(entry.ooStatus));
    std::printf("ep square = %u\n", unsigned(entry.epSquare));
    std::printf("rule 50 = %u\n", unsigned(entry.rule50));
    if (appendix) appendix(*this);
    std::printf("%s>\n\n", frame);
    // Flush so the picture comes out before any later protocol line,
    // whichever channel that line is written through.
    std::fflush(stdout);
}
