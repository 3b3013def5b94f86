#include "engine.h"

#include "bench.h"
#include "board/error.h"
#include "board/gamemoves.h"
#include "board/perft.h"
#include "eval/eval.h"
#include "log.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "protocol_text.h"
#include "search/params.h"
#include "search/tt.h"
#include "startup.h"
#include "variant.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <thread>

Engine* theEngine = nullptr;

namespace {

// Driver timing, all in milliseconds.
constexpr int IDLE_WAIT_MS = 100;          // longest wait for input in the main loop
constexpr int FINISHED_SEARCH_WAIT_MS = 10;  // pause between checks once the iterations are done
constexpr std::int64_t MOVETIME_MARGIN_MS = 5;  // "movetime" stops this much early ...
constexpr std::int64_t MOVETIME_MARGIN_DIVISOR = 10;  // ... but never more than a tenth of it
constexpr int MAX_ITERATIONS = 64;
// Once a search has run this long, the root says which move it is on.
constexpr std::int64_t CURRMOVE_AFTER_MS = 1000;
// The range of the developers' "perft" command.
constexpr int PERFT_MIN_DEPTH = 1;
constexpr int PERFT_MAX_DEPTH = 10;
// The clock share is only topped up from the increment while this much
// time would still remain.
constexpr std::int64_t INCREMENT_RESERVE_MS = 500;

constexpr std::uint64_t UNBOUNDED = ~std::uint64_t{0};

std::uint64_t widen(std::int64_t value) { return static_cast<std::uint64_t>(value); }

// The plies in which "go mate N" looks for a mate: 2N - 1 in 64 bits, since N
// may be any 32-bit number, and never more than a mate score can hold, so
// that a huge N still asks for a mate rather than for any score at all.
std::int64_t goMatePlies(std::int32_t moves) {
    return std::min<std::int64_t>(2 * std::int64_t{moves} - 1, search_params::MAX_SEARCH_PLY);
}

}  // namespace

// ---------------------------------------------------------------------------
// Main loop and dispatch
// ---------------------------------------------------------------------------

void Engine::mainLoop() {
    uci.Init();
    const Variant& variant = activeVariant();
    uci.SendMsg(variant.bannerLine);
    uci.SendMsg("Belvantor");
    if (variant.announceHashAtStart) uci.SendMsg("info string 1MB Hash");

    for (;;) {
        if (!uci.InputAvailable()) {
            // Instead of a fixed pause: sleep until a line arrives, at most
            // the idle period, so a waiting command is served at once and an
            // idle engine uses no processor time.
            uci.input.waitForInput(IDLE_WAIT_MS);
            continue;
        }
        const unsigned code = handleOneCommand();
        if (code == CMD_QUIT || code == CMD_END_OF_INPUT) std::exit(0);
    }
}

unsigned Engine::handleOneCommand() {
    Command command;
    try {
        command = uci.ParseUciCommand();
        if (command.code != CMD_QUIT && command.code != CMD_END_OF_INPUT) executeCommand(command);
    } catch (const EngineError& error) {
        // Protocol input never ends the process: the GUI hears about it.
        stopSearch = false;
        uci.SendInfoString(error.what());
    }
    return command.code;
}

void Engine::executeCommand(const Command& command) {
    const std::string& line = command.line;
    switch (command.code) {
    case CMD_UCI:
        uci.SendMsg(activeVariant().idName);
        uci.SendMsg("id author Belvantor");
        for (const OptionSpec& option : optionTable()) uci.SendMsg(optionLine(option));
        uci.SendMsg("uciok");
        break;
    case CMD_ISREADY:
        uci.SendMsg("readyok");
        break;
    case CMD_SETOPTION:
        setOption(line);
        break;
    case CMD_DEBUG_ON:
    case CMD_DEBUG_OFF:
        debugMode = command.code == CMD_DEBUG_ON;
        break;
    case CMD_UCINEWGAME:
        board.setFromFen(START_FEN, options.enabled(OptionId::CHESS960));
        break;
    case CMD_POSITION:
        setupPosition(line);
        break;
    case CMD_GO:
    case CMD_GO_PONDER:
        goParams = parseGoLine(line);
        searchState = command.code == CMD_GO ? STATE_SEARCHING : STATE_PONDERING;
        stopSearch = false;
        think();
        break;
    case CMD_PONDERHIT:
        goParams.goFlags &= ~GO_UNBOUNDED;
        goParams.ponder = false;
        allocateTime();
        searchState = STATE_SEARCHING;
        break;
    case CMD_STOP:
        stopSearch = true;
        searchState = STATE_IDLE;
        break;
    case CMD_PRINTBOARD:
        board.printBoard(printPawnShieldAnalysis);
        break;
    case CMD_PERFT: {
        const std::int32_t depth = line.size() > 5 ? readInteger(line.c_str() + 5) : 0;
        if (depth < PERFT_MIN_DEPTH || depth > PERFT_MAX_DEPTH) throw EngineError("Invalid perft depth given");
        runInterruptible([this, depth](const std::function<bool()>& interrupted) {
            const std::string text = perftDivide(board, depth, interrupted);
            std::fwrite(text.data(), 1, text.size(), stdout);
        });
        break;
    }
    case CMD_EVAL:
        printEvalBreakdown(board);
        break;
    case CMD_BENCH: {
        const std::int32_t depth = line.size() > 5 ? readInteger(line.c_str() + 5) : BENCH_DEFAULT_DEPTH;
        if (depth < 1 || depth > BENCH_MAX_DEPTH) throw EngineError("Invalid bench depth given");
        runInterruptible([depth](const std::function<bool()>& interrupted) { runBench(depth, interrupted); });
        break;
    }
    default:
        break;
    }
}

void Engine::setOption(const std::string& line) {
    const OptionRequest request = readSetOption(line);
    if (!request.error.empty()) {
        uci.SendInfoString(request.error);
        return;
    }
    const OptionId id = request.option->id;
    // A table of the size it already has is kept, with what it holds (and
    // ostrel32's larger table at start stays for the value 1).
    if (id == OptionId::HASH && request.value == options.get(id)) return;
    options.set(id, request.value);
    applyOption(id);
}

void Engine::applyOption(OptionId id) {
    switch (id) {
    case OptionId::HASH: {
        const int megabytes = options.get(OptionId::HASH);
        if (!resizeTranspositionTable(megabytes))
            uci.SendInfoString("Hash of " + std::to_string(megabytes) +
                               " MB could not be allocated, a smaller table is in use");
        break;
    }
    case OptionId::CLEAR_HASH:
        resetSearchMemory();
        break;
    case OptionId::PONDER:          // only announced: "go ponder" is what makes the engine ponder
    case OptionId::MULTI_PV:        // read by the next search
    case OptionId::MOVE_OVERHEAD:   // read by the next time budget
    case OptionId::CHESS960:        // read by the next "position" or "ucinewgame"
    case OptionId::COUNT:
        break;
    }
}

void Engine::runInterruptible(const std::function<void(const std::function<bool()>&)>& work) {
    // Run as "go infinite" runs, so no limit or clock of the last "go" ends
    // the command; that "go" is put back afterwards for a later "ponderhit".
    const GoParameters lastGo = goParams;
    goParams = GoParameters{};
    goParams.goFlags = GO_UNBOUNDED;
    goParams.infinite = true;
    timeAllocated = UNBOUNDED;
    extraTime = 0;
    searchStart = clockMs();
    stopSearch = false;
    searchState = STATE_SEARCHING;
    work([this] { return checkInputAndClock(false); });
    stopSearch = false;
    searchState = STATE_IDLE;
    goParams = lastGo;
}

void Engine::setupPosition(const std::string& line) {
    // "position fen <FEN> [moves ...]"; any other "position" line means the
    // start position. The FEN reader stops after its six fields.
    std::string fen = START_FEN;
    if (beginsWith(line, "position fen")) {
        const std::size_t start = std::strlen("position fen") + 1;
        fen = line.size() > start ? line.substr(start) : "";
    }
    // A rejected FEN throws before the board is touched, so the previous
    // position stays whole and searchable.
    board.setFromFen(fen, options.enabled(OptionId::CHESS960));
    if (const std::size_t at = line.find("moves"); at != std::string::npos) {
        const std::vector<std::string> words = splitWords(line.substr(at));
        for (std::size_t i = 1; i < words.size(); ++i) playMoveText(board, words[i]);
    }
}

// ---------------------------------------------------------------------------
// Search driver
// ---------------------------------------------------------------------------

void Engine::think() {
    haveBestMove = false;
    timeAllocated = 0;
    moveTimeLimit = 0;
    depthLimit = 0;
    mateLimit = 0;
    nodesLimit = 0;
    extraTime = 0;
    completedDepth = 0;
    completedScore = 0;
    stopSearch = false;

    allocateTime();

    // Looked for before the count starts, so the search's node count stays
    // its own.
    rootMoves.reset(options.get(OptionId::MULTI_PV));
    restrictRootMoves(goParams.searchMoves);
    const Move firstLegalMove = fallbackMove();
    const bool finishedGame = sameMove(firstLegalMove, NO_MOVE);

    searchStart = clockMs();
    nodeCount = 0;
    setSearchHost(this);

    for (int depth = 1; depth <= MAX_ITERATIONS; ++depth) {
        // Between iterations: only once a real move is known, so a search
        // always has something to play.
        if (haveBestMove && checkInputAndClock(true)) break;
        // Mated or stalemated: the first iteration has said all there is.
        if (finishedGame && depth > 1) break;

        const int score = rootSearch(board, depth, rootMoves, searchStart);
        if (stopSearch) continue;  // interrupted: its score means nothing

        if (!sameMove(rootMoves.bestMove, NO_MOVE)) haveBestMove = true;
        rootMoves.completeIteration();
        completedDepth = depth;
        completedScore = score;
        reportIteration(depth, score);
    }

    // The iterations are exhausted (or were left at a check): an unbounded
    // search waits for "stop" or "ponderhit", a timed one for its budget.
    // A finished game has no move to find, so only a search that the GUI
    // ends itself waits.
    while (!checkInputAndClock(true) && (!finishedGame || waitsForStop())) {
        if (inputEnded)
            std::this_thread::sleep_for(std::chrono::milliseconds(FINISHED_SEARCH_WAIT_MS));
        else
            uci.input.waitForInput(FINISHED_SEARCH_WAIT_MS);
    }

    if (sameMove(rootMoves.bestMove, NO_MOVE)) {
        rootMoves.bestMove = firstLegalMove;
        rootMoves.ponderMove = NO_MOVE;
    }
    uci.SendBestMove(rootMoves.bestMove, board, rootMoves.ponderMove);

    stopSearch = false;
    if (searchState != STATE_IDLE && searchState != STATE_SEARCHING) {
        searchState = STATE_IDLE;
        throw EngineError("ITS NOT POSSIBLE!!! leaving search with nor search and nor idle state");
    }
}

Move Engine::fallbackMove() {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i) {
        if (!rootMoves.allowed(list[i])) continue;
        if (makeMoveIfLegal(board, list[i])) {
            board.unmakeMove(list[i]);
            return list[i];
        }
    }
    return NO_MOVE;
}

void Engine::restrictRootMoves(const std::vector<std::string>& words) {
    if (words.empty()) return;
    // Words that are not legal moves here are skipped, as on the "position" line.
    forEachLegalMove(board, [&](Move move) {
        const std::string text = moveToText(move, opponent(board.sideToMove), board.castling);
        if (std::find(words.begin(), words.end(), text) != words.end()) rootMoves.allow(move);
    });
    if (!rootMoves.restricted())
        uci.SendInfoString("searchmoves names no legal move here, so every move is searched");
}

bool Engine::waitsForStop() const {
    return goParams.infinite || goParams.ponder ||
           (goParams.goFlags & (GO_DEPTH | GO_NODES | GO_MATE | GO_MOVETIME | GO_CLOCK)) == 0;
}

void Engine::allocateTime() {
    const GoParameters& go = goParams;
    const bool unbounded =
        (go.goFlags & GO_UNBOUNDED) && (go.infinite || go.ponder || (go.goFlags & GO_CLOCK) == 0);

    if (unbounded) {
        timeAllocated = UNBOUNDED;
    } else if (go.goFlags & GO_CLOCK) {
        // 64-bit arithmetic: the same results as 32-bit for every sensible
        // clock, and no overflow for absurd ones.
        const Colour side = board.sideToMove;
        // What the GUI or the connection loses on every move is not ours to
        // spend. A clock that still has time keeps at least a millisecond,
        // which gives the smallest budget: the first iteration's move.
        const std::int64_t overhead = options.get(OptionId::MOVE_OVERHEAD);
        const std::int64_t remaining = go.goTime[side] > 0 && overhead > 0
                                           ? std::max<std::int64_t>(go.goTime[side] - overhead, 1)
                                           : go.goTime[side];
        std::int64_t base = 0;
        std::int64_t extra = 0;
        // A "movestogo" of 0 or less would divide by zero: it counts as absent.
        if ((go.goFlags & GO_MOVESTOGO) && go.goMovesToGo > 0) {
            const std::int64_t share = remaining / go.goMovesToGo;
            base = share * 7 / 10;
            extra = share * 2 / 10;
        } else {
            base = remaining / 40;
            extra = remaining / 60;
        }
        if (go.goFlags & GO_INCREMENT) {
            const std::int64_t increment = std::max<std::int32_t>(go.goInc[side], 0);
            const std::int64_t half = increment / 2;
            const std::int64_t sixth = increment / 6;
            if (base + extra + half + sixth <= remaining - INCREMENT_RESERVE_MS) {
                base += half;
                extra += sixth;
            }
        }
        timeAllocated = widen(base);
        extraTime = widen(extra);
        if (timeAllocated + extraTime >= widen(remaining)) {
            std::ostringstream text;
            text << "alloc: " << timeAllocated << " extra: " << extraTime << " sum: " << timeAllocated + extraTime
                 << " remaining: " << std::int32_t(remaining);
            uci.SendInfoString(text.str());
            if (!(remaining == 0 && activeVariant().zeroTimeRaisesNoError))
                uci.SendInfoString("too much time has been allocated");
            // Out of time: no budget at all, so the search plays the move of
            // its first completed iteration instead of giving up.
            timeAllocated = 0;
            extraTime = 0;
        }
    }

    // Every limit given is kept; the first one used up ends the search.
    if (go.goFlags & GO_MATE) mateLimit = go.goMate;
    if (go.goFlags & GO_MOVETIME) moveTimeLimit = go.goMoveTime;
    if (go.goFlags & GO_DEPTH) depthLimit = go.goDepth;
    if (go.goFlags & GO_NODES) nodesLimit = go.goNodes;

    // The node budget the search watches itself, at every node. Set here so
    // that a "ponderhit" that turns a ponder search into one with a node
    // limit makes it stop on time too, not only at the next input poll.
    searchNodeLimit = (!waitsForStop() && (go.goFlags & GO_NODES)) ? widen(std::max<std::int64_t>(nodesLimit, 0))
                                                                   : std::numeric_limits<std::uint64_t>::max();
}

std::int64_t Engine::elapsedMs() const { return clockMs() - searchStart; }

bool Engine::limitReached() const {
    if (waitsForStop()) return false;
    const std::uint32_t flags = goParams.goFlags;
    if ((flags & GO_DEPTH) && completedDepth >= depthLimit) return true;
    if (flags & GO_MATE) {
        const std::int64_t plies = goMatePlies(mateLimit);
        if (completedDepth >= plies) return true;
        if (completedDepth > 0 && completedScore >= MATE_SCORE - plies) return true;
    }
    // Nothing is searched past the last iteration: a depth, node or mate
    // limit it has not reached by then never will be.
    if ((flags & (GO_DEPTH | GO_NODES | GO_MATE)) && completedDepth >= MAX_ITERATIONS) return true;
    if ((flags & GO_NODES) && nodeCount >= widen(std::max<std::int64_t>(nodesLimit, 0))) return true;
    if (flags & GO_MOVETIME) {
        const std::int64_t margin = std::min(MOVETIME_MARGIN_MS, moveTimeLimit / MOVETIME_MARGIN_DIVISOR);
        if (elapsedMs() >= moveTimeLimit - margin) return true;
    }
    return false;
}

bool Engine::deadlinePassed() {
    const std::uint64_t elapsed = widen(elapsedMs());
    if (elapsed > timeAllocated + extraTime && timeAllocated != UNBOUNDED) return true;
    if ((goParams.goFlags & GO_MOVETIME) && !waitsForStop()) {
        const std::int64_t margin = std::min(MOVETIME_MARGIN_MS, moveTimeLimit / MOVETIME_MARGIN_DIVISOR);
        if (elapsedMs() >= moveTimeLimit - margin) return true;
    }
    return false;
}

bool Engine::hasReachableEnd() const {
    if (waitsForStop() || completedDepth >= MAX_ITERATIONS) return false;
    const std::uint32_t flags = goParams.goFlags;
    if ((flags & GO_DEPTH) && depthLimit <= MAX_ITERATIONS) return true;
    if ((flags & GO_MATE) && goMatePlies(mateLimit) <= MAX_ITERATIONS) return true;
    return (flags & (GO_NODES | GO_MOVETIME)) || timeAllocated != UNBOUNDED;
}

void Engine::handleLineDuringSearch(const std::string& line) {
    const unsigned code = uci.ClassifyLine(line);
    switch (code) {
    case CMD_QUIT:
        std::exit(0);
    case CMD_STOP:
    case CMD_PONDERHIT:
    case CMD_ISREADY:
        // The same as between searches; the running search sees the change.
        executeCommand({code, line});
        break;
    case CMD_UNKNOWN:
        break;
    default:
        // Not for a running search: say so, and keep it for afterwards so
        // that nothing the GUI sent is lost or applied out of order.
        uci.SendInfoString("During a search I have not got STOP or PONDERHIT, but: " + std::to_string(code));
        uci.deferredLines.push_back(line);
        break;
    }
}

bool Engine::checkInputAndClock(bool betweenIterations) {
    if (stopSearch) return true;

    if (!inputEnded && uci.input.lineAvailable()) {
        if (const std::optional<std::string> line = uci.ReadInputLine()) {
            handleLineDuringSearch(*line);
        } else {
            inputEnded = true;
        }
    }
    if (inputEnded && !hasReachableEnd()) executeCommand({CMD_STOP, "stop"});

    const std::uint64_t limit = timeAllocated + (betweenIterations ? 0 : extraTime);
    const bool overBudget = timeAllocated != UNBOUNDED && widen(elapsedMs()) > limit;
    if (overBudget || limitReached() || mateProvedUnderClock()) stopSearch = true;
    return stopSearch;
}

bool Engine::mateProvedUnderClock() const {
    // A mate no longer than the completed depth was found by a search that
    // looked at every line that far: a deeper one cannot shorten it, and
    // the clock time is worth more to the games ahead.
    if (!(goParams.goFlags & GO_CLOCK) || waitsForStop() || completedDepth == 0) return false;
    return isMateScore(completedScore) && matePlies(completedScore) <= completedDepth;
}

void Engine::reportIteration(int depth, int score) {
    SearchInfo info{.depth = depth, .selDepth = selDepth, .score = score, .elapsedMs = widen(elapsedMs()),
                    .nodes = nodeCount, .hashfull = ttHashfull(), .castling = &board.castling};
    // With several lines wanted, the iteration ends with each of them; a
    // drawn or finished root has none and ends as with one.
    if (rootMoves.wantedLines() == 1 || rootMoves.lineCount() == 0) {
        uci.SendSearchInfo(info);
        return;
    }
    info.mover = board.sideToMove;
    for (int k = 0; k < rootMoves.lineCount(); ++k) {
        const RootLine& line = rootMoves.line(k);
        info.multiPV = k + 1;
        info.score = line.score;
        info.line = line.pv.moves;
        info.lineLength = line.pv.length;
        uci.SendSearchInfo(info);
    }
}

void Engine::reportBestLine(const SearchInfo& info) { uci.SendSearchInfo(info); }

void Engine::reportRootDraw(const char* text) { writeOutputLine(text); }

void Engine::reportCurrentMove(int depth, Move move, Colour mover, int number) {
    // Short searches (fast games, tests) say nothing more than before.
    if (elapsedMs() < CURRMOVE_AFTER_MS) return;
    uci.SendMsg("info depth " + std::to_string(depth) + " currmove " + moveToText(move, mover, board.castling) +
                " currmovenumber " + std::to_string(number));
}

// ---------------------------------------------------------------------------
// Program start
// ---------------------------------------------------------------------------

int runProgram(const Variant& variant, int argc, char** argv) {
    initialiseEngine(variant);
    if (argc > 1 && std::strcmp(argv[1], "bench") == 0) {
        prepareStandardOutput();
        const int depth = argc > 2 ? std::atoi(argv[2]) : BENCH_DEFAULT_DEPTH;
        if (depth < 1 || depth > BENCH_MAX_DEPTH) {
            std::printf("bench depth must be 1 to %d\n", BENCH_MAX_DEPTH);
            return 2;
        }
        runBench(depth);
        return 0;
    }
    theEngine = new Engine();
    OpenLogFile();
    theEngine->mainLoop();
}
