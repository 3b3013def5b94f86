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
#include "search/skill.h"
#include "search/tt.h"
#include "startup.h"
#include "variant.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

Engine* theEngine = nullptr;

namespace {

// Driver timing, all in milliseconds.
constexpr int IDLE_WAIT_MS = 100;          // longest wait for input in the main loop
constexpr int FINISHED_SEARCH_WAIT_MS = 10;  // pause between checks once the iterations are done
// Once a search has run this long, the root says which move it is on.
constexpr std::int64_t CURRMOVE_AFTER_MS = 1000;

}  // namespace

Engine::Engine() { threads.main().setHost(this); }

std::uint64_t freshSeed() {
    std::random_device device;
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    return ((std::uint64_t(now) * 0x9E3779B97F4A7C15ULL) ^ (std::uint64_t(device()) << 32 | device())) | 1;
}

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
        if (code == CMD_QUIT || code == CMD_END_OF_INPUT) exitProgram();
    }
}

unsigned Engine::handleOneCommand() {
    Command command;
    try {
        command = uci.ParseUciCommand();
        if (command.code != CMD_QUIT && command.code != CMD_END_OF_INPUT) executeCommand(command);
    } catch (const EngineError& error) {
        // Protocol input never ends the process: the GUI hears about it.
        threads.setStopped(false);
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
        searchState = command.code == CMD_GO ? STATE_SEARCHING : STATE_PONDERING;
        think(parseGoLine(line));
        break;
    case CMD_PONDERHIT:
        // The clock given with "go ponder" applies from now on, measured
        // from the start of the ponder search; so may its node budget.
        sendInfoStrings(time.ponderhit(board.sideToMove, options.get(OptionId::MOVE_OVERHEAD)));
        setNodeLimit();
        searchState = STATE_SEARCHING;
        break;
    case CMD_STOP:
        threads.setStopped(true);
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
    case OptionId::THREADS:
        threads.setCount(options.get(OptionId::THREADS));
        break;
    case OptionId::CLEAR_HASH:
        clearTranspositionTable();
        threads.clearMemory();
        break;
    case OptionId::PONDER:          // only announced: "go ponder" is what makes the engine ponder
    case OptionId::MULTI_PV:        // read by the next search
    case OptionId::LIMIT_STRENGTH:  // read by the next search
    case OptionId::ELO:             // read by the next search
    case OptionId::MOVE_OVERHEAD:   // read by the next time budget
    case OptionId::CHESS960:        // read by the next "position" or "ucinewgame"
    case OptionId::COUNT:
        break;
    }
}

void Engine::runInterruptible(const std::function<void(const std::function<bool()>&)>& work) {
    // Run as "go infinite" runs, so no limit or clock of the last "go" ends
    // the command; that "go" is put back afterwards for a later "ponderhit".
    const TimeControl lastGo = time;
    GoParameters infinite;
    infinite.goFlags = GO_UNBOUNDED;
    infinite.infinite = true;
    time.begin(infinite, board.sideToMove, 0);
    time.startClock(clockMs());
    threads.setStopped(false);
    searchState = STATE_SEARCHING;
    work([this] { return checkInputAndClock(false); });
    threads.setStopped(false);
    searchState = STATE_IDLE;
    time = lastGo;
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

void Engine::think(const GoParameters& go) {
    progress_ = {};
    threads.setStopped(false);
    sendInfoStrings(time.begin(go, board.sideToMove, options.get(OptionId::MOVE_OVERHEAD)));

    // Looked for before the count starts, so the search's node count stays
    // its own.
    SearchWorker& main = threads.main();
    const bool limited = options.enabled(OptionId::LIMIT_STRENGTH);
    const SkillLevel level = skillLevel(options.get(OptionId::ELO));
    strengthNodes_ = limited ? level.nodes : TimeControl::UNBOUNDED;
    // A weaker player's move is drawn among several best lines; the GUI is
    // shown as many as it asked for.
    const int shown = options.get(OptionId::MULTI_PV);
    main.root.reset(limited ? std::max(shown, level.lines) : shown, shown);
    restrictRootMoves(go.searchMoves);
    const Move firstLegalMove = fallbackMove();
    const bool finishedGame = sameMove(firstLegalMove, NO_MOVE);

    time.startClock(clockMs());
    main.board = board;
    main.startCounting();
    setNodeLimit();
    // Threads settle iterations for each other only where one line decides
    // the move; several lines must all come from one search.
    threads.startHelpers(time.startMs(), main.root.wantedLines() == 1, time.depthLimit());
    // However the search ends, even by an error, no helper searches on.
    struct HelpersStop {
        SearchThreads& threads;
        ~HelpersStop() { threads.stopHelpers(); }
    } helpersStop{threads};

    for (int depth = 1; depth <= search_params::MAX_ITERATIONS; ++depth) {
        // Between iterations: only once a real move is known, so a search
        // always has something to play.
        if (progress_.haveBestMove && checkInputAndClock(true)) break;
        // Mated or stalemated: the first iteration has said all there is.
        if (finishedGame && depth > 1) break;
        if (strengthBudgetUsed()) break;

        const int score = main.rootSearch(depth, time.startMs());
        if (main.stopped()) {
            // A helper has completed this iteration or a deeper one first:
            // its result stands for it, and the search goes on beyond it.
            if (main.resumeIfOvertaken()) depth = adoptHelperIteration();
            continue;  // interrupted: its score means nothing
        }

        main.root.completeIteration();
        threads.mainCompleted(depth);
        if (!sameMove(main.root.bestMove, NO_MOVE)) progress_.haveBestMove = true;
        progress_.completedDepth = depth;
        progress_.completedScore = score;
        reportIteration(depth, score);
        // The strength limit lets the first iteration complete, so that a
        // mate in one is always seen.
        setNodeLimit();
    }

    // A search at a limited strength has said all it will; an analysis or
    // a ponder search still waits for the GUI, so it is no longer stopped.
    const bool strengthDone = strengthBudgetUsed();
    if (strengthDone && searchState != STATE_IDLE) {
        threads.stopHelpers();
        threads.setStopped(false);
    }
    // The iterations are exhausted (or were left at a check): an unbounded
    // search waits for "stop" or "ponderhit", a timed one for its budget.
    // A finished game (or a search at a limited strength that is done) has
    // no move to find, so only a search that the GUI ends itself waits.
    while (!checkInputAndClock(true) && (time.waitsForStop() || !(finishedGame || strengthDone))) {
        if (inputEnded)
            std::this_thread::sleep_for(std::chrono::milliseconds(FINISHED_SEARCH_WAIT_MS));
        else
            uci.input.waitForInput(FINISHED_SEARCH_WAIT_MS);
    }

    // "bestmove" only once every thread has stopped.
    threads.stopHelpers();
    main.publishNodes();
    RootMoves& root = main.root;
    if (limited) playAsWeakerPlayer(level);
    if (sameMove(root.bestMove, NO_MOVE)) {
        root.bestMove = firstLegalMove;
        root.ponderMove = NO_MOVE;
    }
    uci.SendBestMove(root.bestMove, board, root.ponderMove);

    threads.setStopped(false);
    if (searchState != STATE_IDLE && searchState != STATE_SEARCHING) {
        searchState = STATE_IDLE;
        throw EngineError("ITS NOT POSSIBLE!!! leaving search with nor search and nor idle state");
    }
}

int Engine::adoptHelperIteration() {
    const SearchThreads::HelperIteration deepest = threads.deepestHelperIteration();
    SearchWorker& main = threads.main();
    RootMoves& root = main.root;
    main.selDepth = deepest.selDepth;
    root.bestMove = deepest.bestMove;
    root.ponderMove = deepest.ponderMove;
    threads.mainCompleted(deepest.depth);
    progress_.haveBestMove = true;
    progress_.completedDepth = deepest.depth;
    progress_.completedScore = deepest.score;
    uci.SendSearchInfo({.depth = deepest.depth, .selDepth = deepest.selDepth, .score = deepest.score,
                        .elapsedMs = std::uint64_t(elapsedMs()), .nodes = totalNodes(), .mover = board.sideToMove,
                        .line = deepest.line.moves, .lineLength = deepest.line.length, .castling = &board.castling});
    reportIteration(deepest.depth, deepest.score);
    setNodeLimit();
    return deepest.depth;
}

void Engine::setNodeLimit() {
    const std::uint64_t strength = progress_.completedDepth > 0 ? strengthNodes_ : TimeControl::UNBOUNDED;
    threads.main().nodeLimit = std::min(time.nodeBudget(), strength);
}

bool Engine::strengthBudgetUsed() {
    return strengthNodes_ != TimeControl::UNBOUNDED && progress_.completedDepth > 0 && budgetNodes() >= strengthNodes_;
}

void Engine::playAsWeakerPlayer(const SkillLevel& level) {
    RootMoves& root = threads.main().root;
    if (progress_.completedDepth == 0 || root.lineCount() == 0) return;
    const int chosen = chooseLine(root, level, skillRandom_);
    const RootLine& line = root.line(chosen);
    root.bestMove = line.move;
    root.ponderMove = line.pv.ponder;
    if (chosen == 0) return;
    // The GUI sees the line of the move played last, so its move begins the
    // line shown.
    uci.SendSearchInfo({.depth = progress_.completedDepth, .selDepth = threads.main().selDepth,
                        .score = line.score, .elapsedMs = std::uint64_t(elapsedMs()), .nodes = totalNodes(),
                        .mover = board.sideToMove, .line = line.pv.moves, .lineLength = line.pv.length});
}

void Engine::exitProgram() {
    threads.shutdown();
    std::exit(0);
}

void Engine::sendInfoStrings(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) uci.SendInfoString(text);
}

Move Engine::fallbackMove() {
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i) {
        if (!threads.main().root.allowed(list[i])) continue;
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
        if (std::find(words.begin(), words.end(), text) != words.end()) threads.main().root.allow(move);
    });
    if (!threads.main().root.restricted())
        uci.SendInfoString("searchmoves names no legal move here, so every move is searched");
}

std::int64_t Engine::elapsedMs() const { return clockMs() - time.startMs(); }

std::uint64_t Engine::totalNodes() { return threads.main().board.nodeCount + threads.helperNodes(); }

std::uint64_t Engine::budgetNodes() { return threads.main().board.nodeCount + otherThreadsNodes(); }

std::uint64_t Engine::otherThreadsNodes() { return progress_.completedDepth > 0 ? threads.helperNodes() : 0; }

bool Engine::deadlinePassed() { return time.deadlinePassed(elapsedMs()); }

void Engine::handleLineDuringSearch(const std::string& line) {
    const unsigned code = uci.ClassifyLine(line);
    switch (code) {
    case CMD_QUIT:
        exitProgram();
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
    if (threads.stopped()) return true;

    if (!inputEnded && uci.input.lineAvailable()) {
        if (const std::optional<std::string> line = uci.ReadInputLine()) {
            handleLineDuringSearch(*line);
        } else {
            inputEnded = true;
        }
    }
    // Once the input has ended no "stop" can come, so a search without an
    // end of its own ends as if "stop" had come (also one queued behind the
    // end); one with it runs to it.
    if (inputEnded && !time.hasReachableEnd(progress_.completedDepth)) executeCommand({CMD_STOP, "stop"});

    const std::int64_t elapsed = elapsedMs();
    const Progress& p = progress_;
    if (time.overBudget(elapsed, betweenIterations) ||
        time.limitReached(p.completedDepth, p.completedScore, budgetNodes(), elapsed) ||
        time.mateProved(p.completedDepth, p.completedScore))
        threads.setStopped(true);
    return threads.stopped();
}

void Engine::reportIteration(int depth, int score) {
    const SearchWorker& main = threads.main();
    SearchInfo info{.depth = depth, .selDepth = main.selDepth, .score = score,
                    .elapsedMs = std::uint64_t(elapsedMs()), .nodes = totalNodes(), .hashfull = ttHashfull(),
                    .castling = &board.castling};
    // With several lines wanted, the iteration ends with each of them; a
    // drawn or finished root has none and ends as with one.
    const RootMoves& root = main.root;
    if (root.wantedLines() == 1 || root.lineCount() == 0) {
        uci.SendSearchInfo(info);
        return;
    }
    info.mover = board.sideToMove;
    const int shown = std::min(root.shownLines(), root.lineCount());
    for (int k = 0; k < shown; ++k) {
        const RootLine& line = root.line(k);
        info.multiPV = shown > 1 ? k + 1 : 0;
        info.score = line.score;
        info.line = line.pv.moves;
        info.lineLength = line.pv.length;
        uci.SendSearchInfo(info);
    }
}

void Engine::reportBestLine(const SearchInfo& info) {
    SearchInfo everyThread = info;
    everyThread.nodes += threads.helperNodes();
    uci.SendSearchInfo(everyThread);
}

void Engine::reportRootDraw(const char* text) { writeOutputLine(text); }

void Engine::reportKingCapture(const Board& position, Move move) {
    std::printf("EZ MI EZ??? seeValue >= 10000\n");
    std::fflush(stdout);
    position.printBoard(printPawnShieldAnalysis);
    printMove(move);
    std::fflush(stdout);
}

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
