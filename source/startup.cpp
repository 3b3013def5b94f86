#include "startup.h"

#include "board/attacks.h"
#include "board/board.h"
#include "eval/eval.h"
#include "search/tt.h"
#include "variant.h"

void initialiseEngine(const Variant& variant) {
    selectVariant(variant);

    // Hash keys first: the initial position's key is drawn from them.
    initZobristKeys();

    // Evaluation masks, then the distance tables.
    initEvalMasks();
    initDistanceTables();

    // Attack tables; file attacks are derived from rank attacks.
    initLineMasks();
    initKnightAttacks();
    initKingAttacks();
    initPawnTables();
    initRankAttacks();
    initFileAttacks();

    resizeTranspositionTable(variant.initialHashMB);
}
