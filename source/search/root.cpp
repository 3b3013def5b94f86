#include "platform/clock.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/search.h"
#include "search/tt.h"

using namespace search_params;

void resetSearchMemory() {
    clearKillers();
    clearTranspositionTable();
}

int rootSearch(Board& board, int depth, Move& bestMove, Move& ponderMove, std::int64_t searchStart) {
    const HistoryEntry& entry = board.history[board.ply];
    const std::uint64_t key = entry.hashKey;
    const Colour side = board.sideToMove;

    // A root without the mover's king (a damaged position) has nothing to search.
    if (!board.pieces(side, KING)) return -MATE_SCORE;

    // Step 1: every iteration starts from the full window.
    int alpha = -ROOT_INFINITY;

    // Step 2: the fifty-move rule has already been reached.
    if (entry.rule50 == 0) {
        searchHost().reportRootDraw("info string 50 move reached, DRAW!");
        return 0;
    }

    // Step 3: third occurrence of the root position. A second one is only a
    // draw inside the tree; the game may still avoid repeating here.
    if (entry.rule50 != 100 && countRepetitions(board, 2) >= 2) {
        searchHost().reportRootDraw("info string 3-fold repetetion, DRAW!");
        return 0;
    }

    // Step 4: the table only suggests the first move here, never a cutoff.
    Move hashMove = NO_MOVE;
    const TTEntry& slot = ttSlot(key);
    if (ttMatches(slot, key)) hashMove = slot.move;

    // Step 5: the previous iteration's best move is normally the hash move,
    // so it is searched first and sets the bar for the rest.
    const bool inCheck = board.inCheck();
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    orderMoves(board, list, count, hashMove, 0);

    int searchedCount = 0;
    bool noMoveRaisedAlpha = true;
    PrincipalVariation pv;

    // Step 6.
    for (int i = 0; i < count; ++i) {
        const Move move = list[i];

        int score;
        if (capturesKing(move)) {
            // A damaged root that lets a king be taken: taking it wins, and
            // the move is not made.
            score = MATE_SCORE - 1;
        } else {
            // 6.1 and 6.2: only legal moves (castling also needs a safe path).
            if (!makeMoveIfLegal(board, move)) continue;

            // 6.3: late quiet moves get a reduced zero-window look first
            // (checks included, unlike inside the tree); after the first
            // move, the rest must prove themselves with a zero window before
            // a full search.
            if (searchedCount >= LMR_MIN_SEARCHED && depth >= LMR_MIN_DEPTH && !isCapture(move) && !inCheck) {
                score = -alphaBeta(board, depth - LMR_REDUCTION, 1, -alpha - 1, -alpha, false, 1);
                if (score > alpha) score = -alphaBeta(board, depth - 1, 1, -ROOT_INFINITY, -alpha, false, 0);
            } else if (noMoveRaisedAlpha) {
                score = -alphaBeta(board, depth - 1, 1, -ROOT_INFINITY, -alpha, false, 0);
            } else {
                score = -alphaBeta(board, depth - 1, 1, -alpha - 1, -alpha, false, 1);
                if (score > alpha) score = -alphaBeta(board, depth - 1, 1, -ROOT_INFINITY, -alpha, false, 0);
            }

            // 6.4.
            board.unmakeMove(move);
        }
        ++searchedCount;

        // 6.5: the score of an interrupted search means nothing.
        if (stopSearch) return alpha;

        // 6.6: a new best move: remember it, keep it in the table for the
        // next iteration, and report it with the line it leads to.
        if (score > alpha) {
            bestMove = withScore(move, 0);
            ttStore(key, -ROOT_INFINITY, ROOT_INFINITY, bestMove, depth, score, 0);
            alpha = score;
            noMoveRaisedAlpha = false;
            walkTableLine(board);
            principalVariation(board, bestMove, pv);
            ponderMove = pv.ponder;
            searchHost().reportBestLine({.depth = depth, .score = score,
                                         .elapsedMs = std::uint64_t(clockMs() - searchStart), .nodes = nodeCount,
                                         .mover = side, .line = pv.moves, .lineLength = pv.length,
                                         .castling = &board.castling});
        }
    }

    // Step 7.
    if (searchedCount > 0) return alpha;

    // Step 8: no legal move.
    return inCheck ? -MATE_SCORE : 0;
}
