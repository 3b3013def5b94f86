// Move texts: the coordinate text exchanged with the GUI and the diagnostic
// line printed when the search meets something it cannot explain.
#include "board/board.h"

#include <cstdio>

const char* const squareName[64] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7",
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8",
};

namespace {
// Indexed by the promoted kind; the pawn and king entries are never used.
const char* const promotionLetterGui[6] = {"", "n", "b", "r", "q", "k"};
const char* const promotionLetterDiagnostic[6] = {"", "N", "B", "R", "Q", "K"};
}  // namespace

std::string moveToText(Move move, const Board& board) { return moveToText(move, board.sideToMove, board.castling); }

std::string moveToText(Move move, Colour mover, const CastlingRules& castling) {
    if (sameMove(move, NO_MOVE)) return std::string();
    // Castling words carry no squares; the side that castles and the rules
    // supply them.
    if (isCastling(move)) {
        const CastlingRight& right = castling.rights[castleIndex(move, mover)];
        return std::string(squareName[right.kingFrom]) + squareName[castling.chess960 ? right.rookFrom : right.kingTo];
    }
    std::string text = squareName[moveFrom(move)];
    text += squareName[moveTo(move)];
    if (isPromotion(move)) text += promotionLetterGui[promotedKind(move)];
    return text;
}

void printMove(Move move) {
    if (moveKind(move) == MOVE_CASTLE_SHORT) {
        std::fputs("0-0\n", stdout);
    } else if (moveKind(move) == MOVE_CASTLE_LONG) {
        std::fputs("0-0-0\n", stdout);
    } else {
        const char* suffix = "";
        if (moveKind(move) == MOVE_EN_PASSANT) suffix = "ep";
        else if (isPromotion(move)) suffix = promotionLetterDiagnostic[promotedKind(move)];
        std::printf("%s%c%s%s\n", squareName[moveFrom(move)], isCapture(move) ? 'x' : '-', squareName[moveTo(move)],
                    suffix);
    }
    std::fflush(stdout);
}
