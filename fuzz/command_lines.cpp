// The command line parser with what it reaches in the same process: every
// line of the input is recognised and carried out as the main loop would,
// "position" and its moves, "perft" at small depths, "eval", "printboard",
// Hash changes, and "go" with its time budget. A "go" runs a real search,
// but one that always ends: the same limits plus a small node budget, and no
// waiting for "stop". Invariants: a rejected FEN or move word leaves the
// position as it was, every position's derived fields equal a rebuild, a
// budget from the clock never exceeds the time left, a search leaves the
// board as it found it and plays a legal move whenever there is one.
#include "board/error.h"
#include "board_helpers.h"
#include "engine.h"
#include "fuzz_support.h"
#include "search/search.h"
#include "search/tt.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace {

constexpr int MAX_LINES = 48;
constexpr int MAX_SEARCHES = 6;
constexpr std::int32_t SEARCH_NODES = 2000;
constexpr int MAX_PERFT_DEPTH = 2;
constexpr int MAX_HASH_MB = 4;

bool hasLegalMove(Board& board) {
    bool found = false;
    forEachLegalMove(board, [&](Move) { found = true; });
    return found;
}

bool isLegal(const Board& board, Move move) {
    Board copy = board;
    Move list[MAX_MOVES];
    int count = 0;
    copy.generateMoves(list, count);
    for (int i = 0; i < count; ++i)
        if (sameMove(list[i], move)) return makeMoveIfLegal(copy, list[i]);
    return false;
}

void checkTimeBudget(Engine& engine) {
    engine.timeAllocated = 0;
    engine.extraTime = 0;
    engine.allocateTime();
    if (engine.timeAllocated == ~std::uint64_t{0} || !(goParams.goFlags & GO_CLOCK)) return;
    const std::int64_t left = goParams.goTime[engine.board.sideToMove];
    const std::uint64_t budget = engine.timeAllocated + engine.extraTime;
    require(engine.timeAllocated <= std::uint64_t(INT32_MAX) && engine.extraTime <= std::uint64_t(INT32_MAX),
            "budget out of range");
    require(budget == 0 || std::int64_t(budget) < left,
            "budget " + std::to_string(budget) + " ms with " + std::to_string(left) + " ms left");
}

void search(Engine& engine) {
    const GoParameters given = goParams;
    const Board before = engine.board;

    GoParameters bounded = given;
    bounded.infinite = bounded.ponder = false;
    bounded.goNodes = (given.goFlags & GO_NODES) ? std::min(given.goNodes, SEARCH_NODES) : SEARCH_NODES;
    bounded.goFlags |= GO_NODES | GO_UNBOUNDED;
    goParams = bounded;
    engine.executeCommand(CMD_GO);
    goParams = given;

    require(boardDifference(engine.board, before).empty(), "search changed the board: " +
                                                            boardDifference(engine.board, before));
    Board position = engine.board;
    if (hasLegalMove(position))
        require(isLegal(engine.board, engine.bestMove), "best move " + moveToText(engine.bestMove, engine.board) +
                                                            " is not legal");
    else
        require(engine.bestMove == NO_MOVE, "a best move where there is none");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    prepareFuzzTarget();
    // Standard input becomes the read end of a pipe nobody writes to (the
    // write end stays open): the engine polls it during searches and finds
    // nothing, as with a GUI that stays silent.
    int fds[2];
    if (pipe(fds) == 0) dup2(fds[0], 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each input runs alone: a fresh engine, empty table and killers. Both
    // programs' searches are exercised, picked by the input's length.
    selectVariant(size % 2 ? ostrel32Variant : ostrel64Variant);
    resetSearchMemory();
    goParams = GoParameters{};
    stopSearch = false;
    Engine engine;

    const std::string text(reinterpret_cast<const char*>(data), size);
    int lines = 0;
    int searches = 0;
    bool resized = false;
    for (std::size_t start = 0; start <= text.size() && lines < MAX_LINES; ++lines) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, std::min(end - start, InputReader::MAX_LINE));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        const Board before = engine.board;
        unsigned code = CMD_UNKNOWN;
        try {
            code = engine.uci.ParseLine(line);
            switch (code) {
            case CMD_QUIT:
            case CMD_END_OF_INPUT:
                start = text.size() + 1;
                break;
            case CMD_GO:
            case CMD_GO_PONDER:
                checkTimeBudget(engine);
                if (++searches <= MAX_SEARCHES) search(engine);
                break;
            case CMD_BENCH:
                break;  // seconds per run: left to the stream fuzzer's depth-1 benches
            case CMD_HASH_CHANGED:
                if (engine.uci.hashSizeMB <= MAX_HASH_MB) {
                    engine.executeCommand(code);
                    resized = true;
                }
                break;
            case CMD_PERFT:
                engine.uci.perftDepth = std::min(engine.uci.perftDepth, MAX_PERFT_DEPTH);
                engine.executeCommand(code);
                require(boardDifference(engine.board, before).empty(), "perft changed the board");
                break;
            default:
                engine.executeCommand(code);
                break;
            }
        } catch (const EngineError& error) {
            if (code == CMD_POSITION)
                require(boardDifference(engine.board, before).empty(),
                        std::string("\"") + error.what() + "\" changed the board: " + boardDifference(engine.board, before));
        }
        require(incrementalDifference(engine.board).empty(), "after \"" + line.substr(0, 80) + "\": " +
                                                                 incrementalDifference(engine.board));
    }
    setSearchHost(nullptr);
    if (resized) resizeTranspositionTable(1);
    return 0;
}
