// The FEN reader with its position checks. A rejected text leaves the board
// exactly as it was; an accepted one gives a board whose derived fields equal
// a rebuild and whose waiting king cannot be taken, and every move generated
// there fits the list, keeps the board consistent and is taken back exactly.
#include "board/error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A game line behind the position, so a rejected FEN that touched the
    // history would show.
    Board board;
    for (const char* word : {"e2e4", "c7c5", "g1f3"}) playMoveText(board, word);
    const Board before = board;
    try {
        board.setFromFen(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const EngineError&) {
        requireSame(board, before, "rejected FEN changed the board");
        return 0;
    }
    require(board.ply == 0, "accepted FEN left ply " + std::to_string(board.ply));
    requireConsistent(board, "accepted FEN");
    const Colour waiting = opponent(board.sideToMove);
    require(!board.isAttacked(waiting, board.kingSquare(waiting)), "accepted FEN lets a king be taken");

    const Board accepted = board;
    Move list[MAX_MOVES];
    int count = 0;
    int captures = 0;
    board.generateMoves(list, count);
    require(count >= 0 && count <= MAX_MOVES, "move count " + std::to_string(count));
    for (int i = 0; i < count; ++i) {
        const std::string text = moveToText(list[i], board);
        board.makeMove(list[i]);
        requireConsistent(board, "after " + text);
        board.unmakeMove(list[i]);
        requireSame(board, accepted, "unmake " + text);
    }
    board.generateCaptures(list, captures);
    require(captures >= 0 && captures <= count, "capture count " + std::to_string(captures));
    return 0;
}
