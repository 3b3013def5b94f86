// The FEN reader with its position checks. A rejected text must leave the
// board exactly as it was; an accepted one must give a board whose derived
// fields equal a rebuild, and every move generated there must fit the list,
// keep the board consistent and be taken back exactly.
#include "board/board.h"
#include "board/error.h"
#include "board/gamemoves.h"
#include "board_helpers.h"
#include "fuzz_support.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    prepareFuzzTarget();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // A position with a game line behind it, so a rejected FEN that touched
    // the history would show.
    Board board;
    for (const char* word : {"e2e4", "c7c5", "g1f3"}) playMoveText(board, word);
    const Board before = board;
    try {
        board.setFromFen(text);
    } catch (const EngineError&) {
        require(boardDifference(board, before).empty(), "rejected FEN changed the board: " + boardDifference(board, before));
        return 0;
    }

    require(board.ply == 0, "accepted FEN left ply " + std::to_string(board.ply));
    require(incrementalDifference(board).empty(), "accepted FEN: " + incrementalDifference(board));
    const Colour waiting = opponent(board.sideToMove);
    require(!board.isAttacked(waiting, board.kingSquare(waiting)), "accepted FEN lets a king be taken");

    const Board accepted = board;
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    require(count >= 0 && count <= MAX_MOVES, "move count " + std::to_string(count));
    for (int i = 0; i < count; ++i) {
        const std::string moveText = moveToText(list[i], board);
        board.makeMove(list[i]);
        require(incrementalDifference(board).empty(), "after " + moveText + ": " + incrementalDifference(board));
        board.unmakeMove(list[i]);
        require(boardDifference(board, accepted).empty(), "unmake " + moveText + ": " + boardDifference(board, accepted));
    }
    int captures = 0;
    board.generateCaptures(list, captures);
    require(captures >= 0 && captures <= count, "capture count " + std::to_string(captures));
    return 0;
}
