#include <algorithm>

#include "eval/eval.h"
#include "platform/clock.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/rootmoves.h"
#include "search/search.h"
#include "search/tt.h"
#include "search/worker.h"

using namespace search_params;

int SearchWorker::rootSearch(int depth, std::int64_t searchStart) {
    const HistoryEntry& entry = board.history[board.ply];
    const std::uint64_t key = entry.hashKey;
    const Colour side = board.sideToMove;
    const bool severalLines = root.wantedLines() > 1;
    selDepth = 0;
    iterationDepth_ = depth;
    root.beginIteration();

    // A root without the mover's king (a damaged position) has nothing to search.
    if (!board.pieces(side, KING)) return -MATE_SCORE;

    // Step 1: every iteration starts from the full window.
    int alpha = -ROOT_INFINITY;

    // Step 2: the fifty-move rule has already been reached.
    if (entry.rule50 == 0) {
        host().reportRootDraw("info string 50 move reached, DRAW!");
        return 0;
    }

    // Step 3: third occurrence of the root position. A second one is only a
    // draw inside the tree; the game may still avoid repeating here.
    if (entry.rule50 != 100 && countRepetitions(board, 2) >= 2) {
        host().reportRootDraw("info string 3-fold repetetion, DRAW!");
        return 0;
    }

    // Step 4: the table only suggests the first move here, never a cutoff.
    Move hashMove = NO_MOVE;
    const TTEntry slot = ttProbe(key);
    if (ttMatches(slot, key)) hashMove = slot.move;

    // Step 5: the previous iteration's best move is normally the hash move,
    // so it is searched first and sets the bar for the rest. With several
    // lines, the other lines of the previous iteration follow it: they are
    // the likeliest to be lines again, and an early high bar saves work.
    const bool inCheck = board.inCheck();
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    orderMoves(board, list, count, hashMove, 0, killers, host());
    if (severalLines) root.putLastLinesFirst(list, count);
    // A helper keeps the best move first (its score bounds the rest) and
    // starts the others at its own share of the list.
    if (rootShare > 0 && count > 2)
        std::rotate(list + 1, list + 1 + (count - 1) * rootShare / rootShares, list + count);

    int searchedCount = 0;
    PrincipalVariation pv;

    // Step 6.
    for (int i = 0; i < count; ++i) {
        const Move move = list[i];
        if (!root.allowed(move)) continue;

        // With one line a move must beat the best score so far; with several,
        // the last of the lines once they are all filled. Until a move has
        // set that bar, moves are searched with the full window.
        const int bar = severalLines ? root.bar() : alpha;
        const bool noBarYet = bar == -ROOT_INFINITY;

        int score;
        if (capturesKing(move)) {
            // A damaged root that lets a king be taken: taking it wins, and
            // the move is not made.
            score = MATE_SCORE - 1;
        } else {
            // 6.1 and 6.2: only legal moves (castling also needs a safe path).
            if (!makeMoveIfLegal(board, move)) continue;
            host().reportCurrentMove(depth, move, side, searchedCount + 1);

            // 6.3: late quiet moves get a reduced zero-window look first
            // (checks included, unlike inside the tree); after the first
            // move, the rest must prove themselves with a zero window before
            // a full search.
            if (searchedCount >= LMR_MIN_SEARCHED && depth >= LMR_MIN_DEPTH && !isCapture(move) && !inCheck &&
                !noBarYet) {
                score = -alphaBeta(depth - LMR_REDUCTION, 1, -bar - 1, -bar, false, 1);
                if (score > bar) score = -alphaBeta(depth - 1, 1, -ROOT_INFINITY, -bar, false, 0);
            } else if (noBarYet) {
                score = -alphaBeta(depth - 1, 1, -ROOT_INFINITY, -bar, false, 0);
            } else {
                score = -alphaBeta(depth - 1, 1, -bar - 1, -bar, false, 1);
                if (score > bar) score = -alphaBeta(depth - 1, 1, -ROOT_INFINITY, -bar, false, 0);
            }

            // 6.4.
            board.unmakeMove(move);
        }
        ++searchedCount;

        // 6.5: the score of an interrupted search means nothing.
        if (stopped()) return alpha;
        if (score <= bar) continue;

        // 6.6: a new best move: remember it, keep it in the table for the
        // next iteration, and report it with the line it leads to.
        if (score > alpha) {
            const Move best = withScore(move, 0);
            ttStore(key, -ROOT_INFINITY, ROOT_INFINITY, best, depth, score, 0);
            alpha = score;
            walkTableLine(board);
            principalVariation(board, best, pv);
            if (severalLines) {
                // The move to play stays the first line shown until this
                // iteration's lines are complete.
                root.insertLine(best, score).pv = pv;
            } else {
                root.bestMove = best;
                root.ponderMove = pv.ponder;
                root.bestLine = pv;
                host().reportBestLine({.depth = depth, .selDepth = selDepth, .score = score,
                                             .elapsedMs = std::uint64_t(clockMs() - searchStart),
                                             .nodes = board.nodeCount, .mover = side, .line = pv.moves,
                                             .lineLength = pv.length, .castling = &board.castling});
            }
        } else {
            // One of the other lines: its variation is read now, while the
            // table still holds what its search stored.
            RootLine& line = root.insertLine(withScore(move, 0), score);
            principalVariation(board, line.move, line.pv);
        }
    }

    // Step 7.
    if (searchedCount > 0) return alpha;

    // Step 8: no legal move.
    return inCheck ? -MATE_SCORE : 0;
}
