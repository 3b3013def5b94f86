// Board comparisons shared by the tests and the fuzz targets.
#pragma once

#include "board/board.h"
#include "board/gamemoves.h"
#include <cstring>
#include <string>

// Names the first difference between two boards in everything a make and unmake must restore: all fields, and the
// history up to the current ply.
inline std::string boardDifference(const Board& a, const Board& b) {
    const auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    if (!same(a.bitboards, b.bitboards)) return "bitboards";
    if (a.sideToMove != b.sideToMove) return "sideToMove";
    if (!same(a.squareKind, b.squareKind)) return "squareKind";
    if (!same(a.material, b.material) || !same(a.nonPawnMaterial, b.nonPawnMaterial)) return "material";
    if (!same(a.pieceCount, b.pieceCount)) return "pieceCount";
    if (!(a.castling == b.castling)) return "castling";
    if (a.ply != b.ply) return "ply";
    for (int i = 0; i <= a.ply; ++i) {
        const HistoryEntry &x = a.history[i], &y = b.history[i];
        if (x.ooStatus != y.ooStatus || x.epSquare != y.epSquare || x.rule50 != y.rule50 || x.hashKey != y.hashKey)
            return "history[" + std::to_string(i) + "]";
    }
    return {};
}

// Names the first way in which the incrementally kept fields (occupancy, square table, material, piece counts,
// hash key) differ from what a rebuild from the piece sets computes, or the sets themselves are inconsistent.
inline std::string incrementalDifference(const Board& board) {
    const Bitboard white = board.bitboards[BB_WHITE], black = board.bitboards[BB_WHITE + BLACK];
    if (white & black) return "colour sets overlap";
    if (board.bitboards[BB_OCCUPIED] != (white | black)) return "occupancy";
    if (board.bitboards[BB_EMPTY] != ~board.bitboards[BB_OCCUPIED]) return "empty set";
    Bitboard kinds = 0;
    for (int k = PAWN; k <= KING; ++k) {
        if (kinds & board.bitboards[k]) return "kind sets overlap";
        kinds |= board.bitboards[k];
    }
    if (kinds != board.bitboards[BB_OCCUPIED]) return "kind sets do not cover the occupancy";
    Board scratch = board;
    scratch.rebuild();
    return boardDifference(board, scratch);
}
