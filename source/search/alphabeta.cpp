#include "board/legality.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/tt.h"
#include "search/worker.h"
#include "variant.h"

#include <algorithm>
#include <limits>
#include <optional>

using namespace search_params;

int countRepetitions(const Board& board, int maxCount) {
    const int h = board.ply;
    const std::uint32_t rule50 = board.history[h].rule50;
    const std::uint64_t key = board.history[h].hashKey;
    int found = 0;
    // An entry belongs to the same reversible stretch exactly when its
    // countdown is higher by the number of plies in between; the first capture,
    // pawn move or setup breaks that and ends the walk. Null moves count down
    // like any ply, so they do not break it.
    for (int i = h - 2; i >= 0; i -= 2) {
        if (board.history[i].rule50 != rule50 + std::uint32_t(h - i)) break;
        if (board.history[i].hashKey == key && ++found >= maxCount) break;
    }
    return found;
}

int SearchWorker::alphaBeta(int depth, int ply, int alpha, int beta, bool nullMoveDone, int zeroWindow) {
    const bool additions = activeVariant().searchAdditions;

    // Step 1: a stopped search unwinds at once.
    if (stopped()) return alpha;

    // Step 2: hear the host.
    if (pollHost()) {
        // An overtaken iteration has its state set already; anything else stops.
        if (!stopped()) setStopped(true);
        return alpha;
    }

    if (ply > selDepth) selDepth = ply;

    // Step 3: fifty-move rule.
    const HistoryEntry& entry = board.history[board.ply];
    if (entry.rule50 == 0) return 0;

    // Only a damaged position lets a king be taken (the ordering reports it as
    // such); the side that lost its king has lost, and nothing below may look
    // for a king square that is not there.
    if (!board.pieces(board.sideToMove, KING)) return ply - MATE_SCORE;

    // Beyond the deepest ply the tables are built for: score the position as it stands.
    if (ply >= MAX_SEARCH_PLY || board.ply >= LAST_NODE_HISTORY_INDEX) return sideToMoveEvaluation();

    // Step 4: the horizon.
    if (depth == 0) return quiesce(0, ply, alpha, beta);

    // Step 5: a single earlier occurrence inside the reversible stretch is a
    // draw below the root (the game's own moves included).
    if (entry.rule50 != 100 && countRepetitions(board, 1) > 0) return 0;

    // Step 6: the table. Cutoffs only in zero-window nodes; the move is
    // worth trying first in any case.
    const std::uint64_t key = entry.hashKey;
    Move hashMove = NO_MOVE;
    bool ttMatched = false;
    {
        const TTEntry slot = ttProbe(key);
        if (ttMatches(slot, key)) {
            ttMatched = true;
            if (zeroWindow == 1 && slot.depth >= depth) {
                if (slot.bound == BOUND_EXACT) return slot.score;
                if (slot.bound == BOUND_LOWER && slot.score >= beta) return beta;
                if (slot.bound == BOUND_UPPER && slot.score <= alpha) return alpha;
            }
            hashMove = slot.move;
        }
    }

    // Step 7: king-and-pawn endings the evaluation can settle outright.
    const int phase = getPhase(board);
    if (phase == 0) {
        int code = 0;
        if (recogniseEnding(board, code)) return 0;
        int known = 0;
        if ((code == ENDING_LONE_PAWN_WHITE || code == ENDING_LONE_PAWN_BLACK) && probeKpk(board, code, known)) {
            if (known == 0) return 0;
            if (board.sideToMove == BLACK) known = -known;
            if (known > alpha) alpha = known;
            if (alpha >= beta) return beta;
        }
    }

    // Step 8: check extension. Children take their depth from the extended
    // depth; the table sees the unextended one.
    const Colour side = board.sideToMove;
    const bool inCheck = board.inCheck();
    const int extended = inCheck ? depth + CHECK_EXTENSION : depth;

    // Step 9: null move, where passing is meaningful (not in check, not twice
    // in a row, and with pieces on both sides to avoid zugzwang blunders).
    bool mateThreat = false;
    if (!nullMoveDone && extended >= NULL_MOVE_MIN_DEPTH && zeroWindow == 1 && !inCheck &&
        phase > NULL_MOVE_MIN_PHASE) {
        board.makeNullMove();
        const int nullDepth = std::max(extended - NULL_MOVE_REDUCTION, NULL_MOVE_MIN_SEARCH_DEPTH);
        const int score = -alphaBeta(nullDepth, ply + 1, -beta, -beta + 1, true, 1);
        board.unmakeNullMove();
        if (score >= beta) return beta;
        // Passing would get us mated: this node is too sharp to prune.
        if (additions && score <= MATE_THREAT_SCORE) mateThreat = true;
    }

    // ostrel32: internal iterative deepening finds a move to try first where
    // the table had nothing, in full-window nodes.
    if (additions && !ttMatched && depth >= IID_MIN_DEPTH && zeroWindow == 0) {
        alphaBeta(std::min(depth - IID_DEPTH_REDUCTION, depth / 2), ply, alpha, beta, true, 0);
        const TTEntry slot = ttProbe(key);
        if (ttMatches(slot, key)) hashMove = slot.move;
    }

    // ostrel32: futility. Near the leaves, when even the material balance
    // plus a margin cannot reach alpha, quiet moves are not worth searching.
    bool futile = false;
    int futilityMargin = 0;
    int materialBalance = 0;
    if (additions && (depth == 1 || depth == 2) && !inCheck) {
        materialBalance = getMaterialScore(board);
        if (side == BLACK) materialBalance = -materialBalance;
        futilityMargin = depth == 1 ? FUTILITY_MARGIN_DEPTH1 : FUTILITY_MARGIN_DEPTH2;
        futile = materialBalance + futilityMargin <= alpha;
    }

    // Step 10: the moves, in the order they will be tried.
    // The list needs no clearing: the generator writes every entry it counts.
    const int alpha0 = alpha;
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    MovePicker picker(board, list, count, hashMove, ply, killers, *host_);
    std::optional<LegalityTest> legality;
    if (inCheck) legality.emplace(board);

    Move bestMove = NO_MOVE;
    int searchedCount = 0;
    bool noMoveRaisedAlpha = true;
    const Bitboard seventhRank = side == WHITE ? SEVENTH_RANK_WHITE : SEVENTH_RANK_BLACK;

    // With several threads, a move that another thread is searching from
    // this position is put off until the node's other moves are done (the
    // first move always goes first: it sets the bound the others must beat).
    // By then the other thread has usually stored its result.
    const bool mayDefer = movesInProgress_ && depth >= DEFER_MIN_DEPTH;
    Move deferred[MAX_DEFERRED_MOVES];
    int deferredCount = 0, deferredNext = 0;

    // Step 11: the move loop.
    for (Move move;;) {
        bool putOffBefore = false;
        if (!picker.next(move)) {
            if (deferredNext == deferredCount) break;
            move = deferred[deferredNext++];
            putOffBefore = true;
        }

        // 11.1: castling through or out of check is illegal.
        if (isCastling(move) && !castlingPathSafe(board, move, side)) continue;

        if (mayDefer && !putOffBefore && searchedCount > 0 && deferredCount < MAX_DEFERRED_MOVES &&
            !capturesKing(move) && movesInProgress_->busy(key, move)) {
            deferred[deferredCount++] = move;
            continue;
        }

        int score;
        if (capturesKing(move)) {
            // Only a damaged position offers a king (the ordering has said
            // so): taking it wins outright. The move is not made, since a
            // board without one of its kings is nothing the search can use.
            score = MATE_SCORE - (ply + 1);
        } else {
            if (additions) {
                // A pawn reaching its seventh rank threatens to promote: no
                // more futility pruning at this node.
                if (!isCastling(move) && board.squareKind[moveFrom(move)] == PAWN &&
                    (seventhRank & squareBit(moveTo(move))))
                    mateThreat = true;

                // Futility pruning: skip a move whose material gain cannot
                // lift the score to alpha, unless it is a legal check.
                if (futile && !mateThreat && searchedCount >= 1) {
                    int gain = 0;
                    if (isCapture(move)) gain += futilityGainValue[moveCaptured(move)];
                    if (isPromotion(move)) gain += futilityGainValue[promotedKind(move)] - futilityGainValue[PAWN];
                    if (gain + futilityMargin + materialBalance <= alpha) {
                        board.makeMove(move);
                        const bool legal = !board.isAttacked(side, board.kingSquare(side));
                        const bool givesCheck = legal && board.inCheck();
                        board.unmakeMove(move);
                        if (!givesCheck) continue;
                    }
                }
            }

            // 11.2: pseudo-legal moves that leave the king attacked are dropped.
            // In check most moves are illegal: those are settled without
            // being made (but still counted as the nodes they would be).
            if (inCheck) {
                if (!legality->makeIfLegal(board, move)) continue;
            } else {
                board.makeMove(move);
                if (board.isAttacked(side, board.kingSquare(side))) {
                    board.unmakeMove(move);
                    continue;
                }
            }

            // 11.3: search it (and let other threads know).
            if (mayDefer) movesInProgress_->start(key, move);
            if (searchedCount >= LMR_MIN_SEARCHED && extended >= LMR_MIN_DEPTH && !isCapture(move) && !inCheck &&
                !isTacticalMove(move, board)) {
                // Late quiet moves are rarely best: look at them shallower
                // first and only search fully when they surprise.
                score = -alphaBeta(extended - LMR_REDUCTION, ply + 1, -alpha - 1, -alpha, false, 1);
                if (score > alpha) score = -alphaBeta(extended - 1, ply + 1, -beta, -alpha, false, 0);
            } else if (noMoveRaisedAlpha || zeroWindow == 1) {
                score = -alphaBeta(extended - 1, ply + 1, -beta, -alpha, false, zeroWindow);
            } else {
                // Principal-variation node with a best move already: prove the
                // others worse with a zero window, re-search those that are not.
                score = -alphaBeta(extended - 1, ply + 1, -alpha - 1, -alpha, false, 1);
                if (score > alpha) score = -alphaBeta(extended - 1, ply + 1, -beta, -alpha, false, 0);
            }

            // 11.4.
            board.unmakeMove(move);
            if (mayDefer) movesInProgress_->finish(key, move);
        }
        ++searchedCount;

        // 11.5: refutation found.
        if (score >= beta) {
            if (!stopped()) ttStore(key, alpha0, beta, move, depth, beta, ply);
            if (!isCapture(move)) killers.store(move, ply);
            return beta;
        }

        // 11.6.
        if (score > alpha) {
            alpha = score;
            bestMove = move;
            noMoveRaisedAlpha = false;
        }
    }

    // Step 12: no legal move: mated (closer mates score worse) or stalemate.
    if (searchedCount == 0) return inCheck ? ply - MATE_SCORE : 0;

    // Step 13: exact when alpha rose, else an upper bound without a move.
    if (!stopped()) ttStore(key, alpha0, beta, bestMove, depth, alpha, ply);
    return alpha;
}
