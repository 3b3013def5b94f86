#include "board/gamemoves.h"
#include "board/limits.h"

#include <algorithm>

bool playMoveText(Board& board, const std::string& word) {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    // Only the first match counts: a word names one generated move, and an
    // illegal one is not replaced by a later match.
    for (int i = 0; i < count; ++i) {
        if (moveToText(list[i], board) != word) continue;
        if (!makeMoveIfLegal(board, list[i])) return false;
        compactGameHistory(board);
        return true;
    }
    return false;
}

void compactGameHistory(Board& board) {
    if (board.ply <= GAME_HISTORY_TRIGGER) return;

    // Step 1: find where the current stretch without captures or pawn moves
    // begins. Inside it every step back adds one to the countdown; the
    // comparison is in the countdown's own unsigned arithmetic, so a
    // countdown that has wrapped (a FEN clock above 100, or a game played on
    // past the fifty-move rule) is followed all the same.
    int start = board.ply;
    while (start > 0 && board.history[start - 1].rule50 == board.history[start].rule50 + 1u) --start;

    // Step 2: bound what is kept even inside a very long stretch, so the
    // search and the principal-variation walk always fit above it.
    start = std::max(start, board.ply - (GAME_HISTORY_KEEP - 1));
    if (start == 0) return;

    // Step 3: shift the kept tail down to entry 0. Differences of index are
    // preserved, so the repetition scan reads the same entries as before.
    std::copy(board.history + start, board.history + board.ply + 1, board.history);
    board.ply -= start;
}
