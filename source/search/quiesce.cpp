#include "board/legality.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "search/ordering.h"
#include "search/params.h"
#include "search/pv.h"
#include "search/worker.h"

#include <optional>

using namespace search_params;

namespace {

// The mate test of the node in check, on its generated moves: the moves are
// tried in order until one is legal, and each one tried counts as a node, as
// if it had been made and taken back. A move that takes the king (damaged
// positions only) means the side is not mated.
bool hasLegalMove(Board& board, const Move* list, int count, const LegalityTest& legality) {
    for (int i = 0; i < count; ++i) {
        const Move move = list[i];
        if (capturesKing(move)) return true;
        if (LegalityTest::settledByMaking(move)) {
            if (!makeMoveIfLegal(board, move)) continue;
            board.unmakeMove(move);
            return true;
        }
        ++board.nodeCount;
        if (legality.isLegalMove(move)) return true;
    }
    return false;
}

// Quiescence's own key mapping: safe captures by exchange value, the losing
// ones in three bands that are never searched.
std::uint32_t quiescenceKey(int s) {
    if (s >= KING_CAPTURE_THRESHOLD) return QKEY_KING_CAPTURE;
    if (s >= 0) return std::uint32_t(s / QKEY_DIVISOR + QKEY_BASE);
    if (s > LOSING_SMALL_LIMIT) return KEY_LOSING_SMALL;
    if (s > LOSING_MEDIUM_LIMIT) return KEY_LOSING_MEDIUM;
    return KEY_LOSING_LARGE;
}

}  // namespace

int SearchWorker::quiesce(int depth, int ply, int alpha, int beta) {
    if (ply > selDepth) selDepth = ply;
    // A king taken in a damaged position: that side has lost.
    if (!board.pieces(board.sideToMove, KING)) return ply - MATE_SCORE;

    // Check evasions can follow checking captures without end in principle;
    // the ply bound keeps the history and the stack in range.
    if (ply >= MAX_SEARCH_PLY || board.ply >= LAST_NODE_HISTORY_INDEX) return sideToMoveEvaluation();

    // Step 1: mated here, at this distance from the root. The check test is
    // made once and shared with step 2; a side not in check is never mated.
    const bool inCheck = board.inCheck();
    Move list[MAX_MOVES];
    int count = 0;
    std::optional<LegalityTest> legality;
    if (inCheck) {
        // The moves are generated once, for the mate test and the search.
        board.generateMoves(list, count);
        legality.emplace(board);
        if (!hasLegalMove(board, list, count, *legality)) return ply - MATE_SCORE;
    }

    // Stand pat (not in check): the side to move may decline every capture.
    // It does not depend on the captures, and most quiet positions end here,
    // so it comes before any capture is generated or weighed.
    if (!inCheck) {
        const int standPat = sideToMoveEvaluation();
        if (standPat >= beta) return beta;
        if (standPat > alpha) alpha = standPat;
    }

    // Step 2. The list needs no clearing: the generators write every entry they count.
    int searchable = 0;

    if (inCheck) {
        // Step 3: in check every move must be considered, in generation order,
        // and standing pat is not an option.
        searchable = count;
    } else {
        // Step 4: captures (and queen promotions) that do not lose material,
        // best exchange first; losing ones sort behind and are dropped unmade.
        board.generateCaptures(list, count);
        for (int i = 0; i < count; ++i) {
            const int s = staticExchange(board, list[i]);
            if (s >= 0) ++searchable;
            list[i] = withScore(list[i], quiescenceKey(s));
        }
        sortMoves(list, count);
    }

    // Step 5.
    for (int i = 0; i < searchable; ++i) {
        const Move move = list[i];
        int score;
        if (capturesKing(move)) {
            // Taking a king (damaged positions only) wins; it is never made.
            score = MATE_SCORE - (ply + 1);
        } else {
            // Castling out of check is illegal; the path test refuses it
            // without the move being made. In check most moves are illegal:
            // those are settled without being made (but still counted).
            if (!(inCheck ? legality->makeIfLegal(board, move) : makeMoveIfLegal(board, move))) continue;
            score = -quiesce(depth - 1, ply + 1, -beta, -alpha);
            board.unmakeMove(move);
        }
        if (score >= beta) return beta;
        if (score > alpha) alpha = score;
    }

    // Step 6.
    return alpha;
}
