// The protocol front end: reads and logs command lines, recognises them, and
// formats every line the engine sends. What a line asks for is carried out by
// the Engine, which reads the line's words where it acts on them.
#pragma once

#include "board/types.h"
#include "platform/console.h"
#include "search/search.h"
#include "timecontrol.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

struct Board;

// Command codes of the lines UCI::ParseUciCommand reads.
enum CommandCode : unsigned {
    CMD_UCINEWGAME = 0,
    CMD_UCI = 1,
    CMD_SETOPTION = 2,  // every "setoption" line, valid or not
    CMD_ISREADY = 4,
    CMD_POSITION = 5,
    CMD_GO = 7,
    CMD_GO_PONDER = 8,
    CMD_DEBUG_ON = 9,
    CMD_DEBUG_OFF = 10,
    CMD_PONDERHIT = 11,
    CMD_STOP = 12,
    CMD_NONE = 14,
    CMD_PRINTBOARD = 15,
    CMD_UNKNOWN = 17,
    // Codes of this build beyond the classic set: the process-ending ones
    // are returned to the caller, which ends the process, so the parser can
    // be exercised without exiting.
    CMD_QUIT = 18,
    CMD_END_OF_INPUT = 19,
    CMD_PERFT = 20,
    CMD_EVAL = 21,
    CMD_BENCH = 22,
};

// Parses a line beginning with "go" (pure: no stored state changes).
GoParameters parseGoLine(const std::string& line);

// "cp N" for an ordinary score; "mate N" for a mate score, N in moves,
// negative when the side to move is mated.
std::string scoreText(int score);

// The "info" line of a search report: depth, seldepth, the line's number
// when there are several, score, nodes, nps, hashfull at the end of an
// iteration, time, then "pv" and the line when there is one ("pv" always
// last, since everything after it is read as moves).
std::string searchInfoLine(const SearchInfo& info);

inline constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// A line read from the GUI and what kind of command it is.
struct Command {
    unsigned code = CMD_NONE;
    std::string line;
};

class UCI {
public:
    InputReader input;
    int inputIsPipe = 0;
    // Lines that arrived during a search and wait to be carried out after
    // its "bestmove", in the order received. They are already logged.
    std::deque<std::string> deferredLines;

    bool Init();
    // True when a command line can be read without waiting (or input ended).
    bool InputAvailable();
    // The next line (deferred lines first), logged and recognised; CMD_NONE
    // when none is waiting, CMD_END_OF_INPUT once the input has ended.
    Command ParseUciCommand();
    // Reads and logs one line from standard input; nullopt at its end.
    std::optional<std::string> ReadInputLine();
    // The code of a line; reading it has no effect of any kind.
    static unsigned ClassifyLine(const std::string& line);

    void SendMsg(const std::string& message);
    // "bestmove" with the move, or the null move "0000" when there is none.
    void SendBestMove(Move best, const Board& board, Move ponder);
    void SendSearchInfo(const SearchInfo& info);
    void SendInfoString(const std::string& text);
};
