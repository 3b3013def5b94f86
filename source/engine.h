// The one engine object: the position, the protocol front end and the search
// driver state. It runs the main loop, carries out commands, drives the
// iterative deepening and is the search's only door to input and clock.
#pragma once

#include "board/board.h"
#include "options.h"
#include "search/rootmoves.h"
#include "search/search.h"
#include "uci.h"

#include <cstdint>
#include <functional>

struct Variant;

enum SearchState : std::int32_t { STATE_IDLE = 0, STATE_SEARCHING = 1, STATE_PONDERING = 2 };

class Engine final : public SearchHost {
public:
    Board board;
    UCI uci;
    OptionValues options;
    bool debugMode = false;  // "debug on"; nothing the engine says depends on it
    std::int32_t searchState = STATE_IDLE;
    // The root of the current or last search: its best move, ponder move and lines.
    RootMoves rootMoves;
    std::int64_t searchStart = 0;
    std::uint64_t timeAllocated = 0;  // all ones: unbounded
    std::int64_t moveTimeLimit = 0;
    std::uint64_t extraTime = 0;
    std::int32_t depthLimit = 0;
    std::int32_t mateLimit = 0;
    std::int64_t nodesLimit = 0;
    bool haveBestMove = false;

    // The deepest iteration completed by the current search and its score;
    // the self-ending limits of "go" are judged by them.
    int completedDepth = 0;
    int completedScore = 0;
    // Standard input has ended (the GUI closed the pipe).
    bool inputEnded = false;

    [[noreturn]] void mainLoop();
    // Carries out one command line; errors that protocol input can reach
    // come back as EngineError, which the caller reports.
    void executeCommand(const Command& command);
    // A "setoption" line: applied when valid, else answered with an info
    // string that names the option and the problem.
    void setOption(const std::string& line);
    // Reads the next command line and carries it out, reporting any error as
    // an info string. Returns the code (CMD_QUIT and CMD_END_OF_INPUT are
    // left to the caller, which ends the process).
    unsigned handleOneCommand();
    // A "position" line: the FEN (or the start position), then its moves.
    void setupPosition(const std::string& line);
    // Runs a long command of the developers ("perft", "bench") the way a
    // search runs: `work` gets a test to ask now and then, which polls the
    // input through checkInputAndClock, so "isready" is answered, "stop",
    // "quit" or the end of the input end the command, and other lines wait
    // until it is done.
    void runInterruptible(const std::function<void(const std::function<bool()>&)>& work);
    void think();
    void allocateTime();

    bool checkInputAndClock(bool betweenIterations) override;
    bool deadlinePassed() override;
    void reportBestLine(const SearchInfo& info) override;
    void reportRootDraw(const char* text) override;
    void reportCurrentMove(int depth, Move move, Colour mover, int number) override;

private:
    // Whether the search only ends on "stop" (or "ponderhit" and the clock).
    bool waitsForStop() const;
    // Whether a "depth", "mate", "nodes" or "movetime" limit is used up.
    bool limitReached() const;
    // Under a clock: the completed iterations have proved a mate that no
    // deeper one can shorten.
    bool mateProvedUnderClock() const;
    // The line after each completed iteration: depth, score, time, nodes.
    void reportIteration(int depth, int score);
    std::int64_t elapsedMs() const;
    // Whether the search ends by itself at a point it can still reach: a
    // depth or mate limit within the iterations, a node budget, a move time
    // or a clock, while iterations remain. Once the input has ended no
    // "stop" can come, so a search without such an end ends as if "stop"
    // had come (also one queued behind the end); one with it runs to it.
    bool hasReachableEnd() const;
    // Handles one line that arrived while a search runs.
    void handleLineDuringSearch(const std::string& line);
    // A legal move for a search that ended without one (a drawn root, a
    // stop before the first iteration completed), among the moves the root
    // may search; NO_MOVE only when the side to move has no legal move at all.
    Move fallbackMove();
    // Limits the root to the legal moves of "go searchmoves", if any.
    void restrictRootMoves(const std::vector<std::string>& words);
    // Carries out one of the options (its value already stored).
    void applyOption(OptionId id);
};

extern Engine* theEngine;

// Both programs' main(): builds the tables, then runs the main loop, or the
// benchmark when the first argument is "bench".
int runProgram(const Variant& variant, int argc, char** argv);
