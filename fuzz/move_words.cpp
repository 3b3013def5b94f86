// The move words of "position ... moves". The first byte picks a starting
// position; the rest is split into words at blanks. A word is played exactly
// when it is the text of a legal move; a skipped word leaves the board as it
// was; after every played move the derived fields equal a rebuild and the
// mover's king is safe, however long the game grows.
#include "fuzz_support.h"

#include <sstream>

namespace {
// Castling both ways, en passant, promotions by push and capture, checks.
constexpr const char* startingPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1",
    "r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "4k3/8/8/8/8/8/8/4K2R w K - 99 80",
    "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Board board;
    board.setFromFen(startingPositions[data[0] % std::size(startingPositions)]);
    std::istringstream words(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    for (std::string word; words >> word;) {
        const bool legal = legalMoveTexts(board).count(word) > 0;
        const Board before = board;
        const bool played = playMoveText(board, word);
        require(played == legal, "\"" + word + "\" " + (played ? "played but not legal" : "legal but skipped"));
        if (!played) {
            requireSame(board, before, "skipped \"" + word + "\" changed the board");
            continue;
        }
        requireConsistent(board, "after " + word);
        const Colour mover = opponent(board.sideToMove);
        require(!board.isAttacked(mover, board.kingSquare(mover)), word + " left its king attacked");
        require(board.ply >= 1 && board.ply < HISTORY_SIZE, "game history index " + std::to_string(board.ply));
    }
    return 0;
}
