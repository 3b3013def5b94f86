// What "position fen ... moves ..." reaches: the first line read as a FEN (in Chess960 mode when it begins with
// "chess960 "), the rest played as move words. A rejected FEN leaves the board exactly as it was (a game line
// stands behind it, so a touched history would show). An accepted one gives a board whose derived fields equal a
// rebuild, whose waiting king is safe, and whose generated moves fit the list and are taken back exactly. A word
// is played exactly when it is a legal move's text; after every move the derived fields equal a rebuild and the
// mover's king is safe, however long the game.
#include "board/error.h"
#include "fuzz_support.h"

#include <sstream>

namespace {

void checkAccepted(Board board) {
    require(board.ply == 0, "accepted FEN left ply " + std::to_string(board.ply));
    requireConsistent(board, "accepted FEN");
    const Colour waiting = opponent(board.sideToMove);
    require(!board.isAttacked(waiting, board.kingSquare(waiting)), "accepted FEN lets a king be taken");
    const Board accepted = board;
    Move list[MAX_MOVES];
    int count = 0, captures = 0;
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
}

void play(Board& board, const std::string& word) {
    const bool legal = legalMoveTexts(board).count(word) > 0;
    const Board before = board;
    const bool played = playMoveText(board, word);
    require(played == legal, "\"" + word + "\" " + (played ? "played but not legal" : "legal but skipped"));
    if (!played) return requireSame(board, before, "skipped \"" + word + "\" changed the board");
    requireConsistent(board, "after " + word);
    const Colour mover = opponent(board.sideToMove);
    require(!board.isAttacked(mover, board.kingSquare(mover)), word + " left its king attacked");
    require(board.ply >= 1 && board.ply < HISTORY_SIZE, "game history index " + std::to_string(board.ply));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    std::string fen;
    std::getline(input, fen);
    Board board;
    for (const char* word : {"e2e4", "c7c5", "g1f3"}) playMoveText(board, word);
    const Board before = board;
    try {
        const bool chess960 = fen.starts_with("chess960 ");
        board.setFromFen(fen.substr(chess960 ? 9 : 0), chess960);
        checkAccepted(board);
    } catch (const EngineError&) {
        requireSame(board, before, "rejected FEN changed the board");
    }
    for (std::string word; input >> word;) play(board, word);
    return 0;
}
