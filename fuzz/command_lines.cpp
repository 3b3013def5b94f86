// The command-line parser with what it reaches in the same process, each line carried out as the main loop would
// and a "go" as a real search that always ends (its limits plus a small node budget). Invariants: a rejected FEN
// or move word leaves the position as it was, every position's derived fields equal a rebuild, a clock budget
// stays below the time left, a search leaves the board as it found it and plays a legal move when there is one.
#include "board/error.h"
#include "engine.h"
#include "protocol_text.h"
#include "fuzz_support.h"
#include "search/tt.h"

namespace {

constexpr int MAX_LINES = 48;
constexpr int MAX_SEARCHES = 6;
constexpr std::int32_t SEARCH_NODES = 2000;
constexpr int MAX_PERFT_DEPTH = 2;
constexpr int MAX_HASH_MB = 4;
constexpr int MAX_THREADS = 3;

void checkTimeBudget(const GoParameters& go, Colour side) {
    TimeControl time;
    time.begin(go, side, 0);
    if (time.baseBudget() == TimeControl::UNBOUNDED || !(go.goFlags & GO_CLOCK)) return;
    const std::int64_t left = go.goTime[side];
    const std::uint64_t budget = time.baseBudget() + time.extraAllowance();
    require(time.baseBudget() <= std::uint64_t(INT32_MAX) && time.extraAllowance() <= std::uint64_t(INT32_MAX),
            "budget out of range");
    require(budget == 0 || std::int64_t(budget) < left,
            "budget " + std::to_string(budget) + " ms with " + std::to_string(left) + " ms left");
}

void search(Engine& engine, GoParameters go) {
    const Board before = engine.board;
    go.infinite = go.ponder = false;
    go.goNodes = (go.goFlags & GO_NODES) ? std::min(go.goNodes, SEARCH_NODES) : SEARCH_NODES;
    go.goFlags |= GO_NODES | GO_UNBOUNDED;
    engine.think(go);
    requireSame(engine.board, before, "the search changed the board");
    const std::set<std::string> legal = legalMoveTexts(engine.board);
    const Move played = engine.rootMoves().bestMove;
    const std::string best = played == NO_MOVE ? "none" : moveToText(played, engine.board);
    require(legal.empty() ? best == "none" : legal.count(best) > 0,
            "best move " + best + " among " + std::to_string(legal.size()) + " legal ones");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each input runs alone: a fresh engine, empty table and killers. Both programs' searches are exercised,
    // picked by the input's length.
    selectVariant(size % 2 ? ostrel32Variant : ostrel64Variant);
    clearTranspositionTable();
    Engine engine;

    const std::string text(reinterpret_cast<const char*>(data), size);
    int searches = 0;
    bool resized = false;
    for (std::size_t start = 0, lines = 0; start <= text.size() && lines < MAX_LINES; ++lines) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, std::min(end - start, InputReader::MAX_LINE));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        const Board before = engine.board;
        const unsigned code = UCI::ClassifyLine(line);
        try {
            if (code == CMD_QUIT || code == CMD_END_OF_INPUT) break;
            if (code == CMD_GO || code == CMD_GO_PONDER) {
                const GoParameters go = parseGoLine(line);
                checkTimeBudget(go, engine.board.sideToMove);
                if (++searches <= MAX_SEARCHES) search(engine, go);
            } else if (code == CMD_PERFT) {
                if (readInteger(line.c_str() + 5) > MAX_PERFT_DEPTH) continue;
                engine.executeCommand({code, line});
                requireSame(engine.board, before, "perft changed the board");
            } else if (code == CMD_SETOPTION) {
                // A large table takes long to clear, many threads long to start: both kept small.
                const OptionRequest request = readSetOption(line);
                if (request.option && request.option->id == OptionId::HASH && request.value > MAX_HASH_MB) continue;
                if (request.option && request.option->id == OptionId::THREADS && request.value > MAX_THREADS) continue;
                engine.executeCommand({code, line});
                resized = true;
            } else if (code != CMD_BENCH) {
                // A bench takes seconds: left to the stream fuzzer's depth-1 benches.
                engine.executeCommand({code, line});
            }
        } catch (const EngineError& error) {
            if (code == CMD_POSITION) requireSame(engine.board, before, std::string("\"") + error.what() + "\" changed the board");
        }
        requireConsistent(engine.board, "after \"" + line.substr(0, 80) + "\"");
    }
    if (resized) resizeTranspositionTable(1);
    return 0;
}
