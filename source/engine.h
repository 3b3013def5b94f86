// The one engine object: the game position, the protocol front end, the
// options, the time control and the search threads. It runs the main loop,
// carries out commands, drives the iterative deepening of the main search
// thread and is that thread's only door to input, clock and output.
#pragma once

#include "board/board.h"
#include "options.h"
#include "search/skill.h"
#include "search/threads.h"
#include "timecontrol.h"
#include "uci.h"

#include <cstdint>
#include <functional>

struct Variant;

// A seed that differs from run to run: the time of day and the system's randomness.
std::uint64_t freshSeed();

enum SearchState : std::int32_t { STATE_IDLE = 0, STATE_SEARCHING = 1, STATE_PONDERING = 2 };

class Engine final : public SearchHost {
public:
    Engine();

    Board board;  // the game position; each search thread searches a copy
    UCI uci;
    OptionValues options;
    bool debugMode = false;  // "debug on"; nothing the engine says depends on it
    std::int32_t searchState = STATE_IDLE;
    TimeControl time;  // the budget and limits of the current or last search
    SearchThreads threads;
    // Standard input has ended (the GUI closed the pipe).
    bool inputEnded = false;

    // The root of the current or last search: its best move, ponder move and lines.
    const RootMoves& rootMoves() { return threads.main().root; }

    [[noreturn]] void mainLoop();
    // Carries out one command line; errors that protocol input can reach
    // come back as EngineError, which the caller reports.
    void executeCommand(const Command& command);
    // Reads the next command line and carries it out, reporting any error as
    // an info string. Returns the code (CMD_QUIT and CMD_END_OF_INPUT are
    // left to the caller, which ends the process).
    unsigned handleOneCommand();
    // A "setoption" line: applied when valid, else answered with an info
    // string that names the option and the problem.
    void setOption(const std::string& line);
    // A "position" line: the FEN (or the start position), then its moves.
    void setupPosition(const std::string& line);
    // Runs a long command of the developers ("perft", "bench") the way a
    // search runs: `work` gets a test to ask now and then, which polls the
    // input through checkInputAndClock, so "isready" is answered, "stop",
    // "quit" or the end of the input end the command, and other lines wait
    // until it is done.
    void runInterruptible(const std::function<void(const std::function<bool()>&)>& work);
    // The search of a "go" line: iterative deepening on the main thread with
    // the helpers beside it, then "bestmove".
    void think(const GoParameters& go);
    // Stops every thread and ends the process.
    [[noreturn]] void exitProgram();

    bool checkInputAndClock(bool betweenIterations) override;
    bool deadlinePassed() override;
    std::uint64_t otherThreadsNodes() override;
    void reportBestLine(const SearchInfo& info) override;
    void reportRootDraw(const char* text) override;
    void reportCurrentMove(int depth, Move move, Colour mover, int number) override;
    void reportKingCapture(const Board& board, Move move) override;

private:
    // What the driver knows of the search under way.
    struct Progress {
        bool haveBestMove = false;  // an iteration has completed with a real best move
        int completedDepth = 0;     // the deepest completed iteration ...
        int completedScore = 0;     // ... and its score, which the self-ending limits judge
    };
    Progress progress_;
    // The node budget of the limited strength, all ones at full strength.
    std::uint64_t strengthNodes_ = TimeControl::UNBOUNDED;
    // Draws the weaker player's moves, seeded anew in every process so that games differ.
    SkillRandom skillRandom_{freshSeed()};

    // The line after each completed iteration: depth, score, time, nodes.
    void reportIteration(int depth, int score);
    std::int64_t elapsedMs() const;
    // Every thread's nodes in the current or last search.
    std::uint64_t totalNodes();
    // The nodes a node budget counts: the helpers' only once the main thread
    // has completed an iteration, so that helpers crowding the cores cannot
    // use up a small budget before the search has a move to play.
    std::uint64_t budgetNodes();
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
    // The main thread's node budget: that of "go nodes", and once the first
    // iteration has completed, that of a limited strength.
    void setNodeLimit();
    // Takes the deepest iteration a helper has completed as the search's
    // own, reports it and returns its depth.
    int adoptHelperIteration();
    // A limited strength's search has used its nodes.
    bool strengthBudgetUsed();
    // The move a weaker player of that level plays, drawn among the lines.
    void playAsWeakerPlayer(const SkillLevel& level);
    void sendInfoStrings(const std::vector<std::string>& texts);
};

extern Engine* theEngine;

// Both programs' main(): builds the tables, then runs the main loop, or the
// benchmark when the first argument is "bench".
int runProgram(const Variant& variant, int argc, char** argv);
