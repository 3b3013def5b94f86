// The protocol front end: reads and logs command lines, recognises them,
// answers the ones that need only a fixed reply, stores the parameters of
// "position", "go" and "setoption name Hash value", and formats every line
// the engine sends.
#pragma once

#include "board/types.h"
#include "options.h"
#include "platform/console.h"
#include "search/search.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

struct Board;

// Command codes returned by UCI::ParseUciCommand.
enum CommandCode : unsigned {
    CMD_UCINEWGAME = 0,
    CMD_UCI = 1,
    CMD_SETOPTION = 2,
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
    CMD_HASH_CHANGED = 16,
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

// goFlags bits.
enum GoFlag : std::uint32_t {
    GO_CLOCK = 0x01,
    GO_INCREMENT = 0x02,
    GO_MOVESTOGO = 0x04,
    GO_DEPTH = 0x08,
    GO_NODES = 0x10,
    GO_MATE = 0x20,
    GO_MOVETIME = 0x40,
    GO_UNBOUNDED = 0x80,
};

// The parameters of the last "go" line.
struct GoParameters {
    std::uint32_t goFlags = 0;
    std::int32_t goTime[2] = {0, 0};
    std::int32_t goInc[2] = {0, 0};
    std::int32_t goMovesToGo = 0;
    std::int32_t goDepth = 0;
    std::int32_t goNodes = 0;
    std::int32_t goMate = 0;
    std::int32_t goMoveTime = 0;
    // Which words made the search unbounded: only "infinite" and "ponder"
    // mean "wait for stop"; depth, nodes, mate and movetime end by themselves.
    bool infinite = false;
    bool ponder = false;
};

extern GoParameters goParams;

// Parses a line beginning with "go" (pure: no stored state changes).
GoParameters parseGoLine(const std::string& line);

// "cp N" for an ordinary score; "mate N" for a mate score, N in moves,
// negative when the side to move is mated.
std::string scoreText(int score);

// The "info" line of a search report: depth, score, time, nodes and nps,
// then "pv" and the line when there is one ("pv" always last, since
// everything after it is read as moves).
std::string searchInfoLine(const SearchInfo& info);

inline constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class UCI {
public:
    bool debugMode = false;
    std::string fenText;
    std::string movesText;
    int hashSizeMB = 1;
    // Options other than Hash, as "setoption" left them; the engine reads
    // them where they take effect (UCI_Chess960 at the next "position").
    OptionValues optionValues;
    int perftDepth = 0;  // depth of the last "perft" line
    int benchDepth = 0;  // depth of the last "bench" line
    InputReader input;
    int inputIsPipe = 0;
    // Lines that arrived during a search and wait to be carried out after
    // its "bestmove", in the order received. They are already logged.
    std::deque<std::string> deferredLines;

    bool Init();
    // True when a command line can be read without waiting (or input ended).
    bool InputAvailable();
    // Reads the next line (deferred lines first), logs it and recognises it.
    unsigned ParseUciCommand();
    // Reads and logs one line from standard input; nullopt at its end.
    std::optional<std::string> ReadInputLine();
    // Recognises a line and carries out the front end's part of it: replies,
    // stored parameters. Throws EngineError on an invalid Hash value.
    unsigned ParseLine(const std::string& line);
    // The code a line would get, without any of its effects (no replies, no
    // stored parameters), for lines that arrive during a search.
    unsigned ClassifyLine(const std::string& line) const;

    void SendMsg(const std::string& message);
    // "bestmove" with the move, or the null move "0000" when there is none.
    void SendBestMove(Move best, const Board& board, Move ponder);
    void SendSearchInfo(const SearchInfo& info);
    void SendInfoString(const std::string& text);
};
