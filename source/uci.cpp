#include "uci.h"

#include "bench.h"
#include "board/board.h"
#include "board/error.h"
#include "log.h"
#include "options.h"
#include "variant.h"

#include <cctype>
#include <cstdio>
#include <climits>
#include <cstring>

GoParameters goParams;

namespace {

constexpr const char* LOG_SOURCE = "source\\UCI";
constexpr int LOG_LINE_IN = 70;
constexpr int LOG_LINE_OUT = 251;

constexpr const char* HASH_PREFIX = "setoption name Hash value";
constexpr int HASH_MIN_MB = 1;
constexpr int HASH_MAX_MB = 2048;
constexpr int PERFT_MIN_DEPTH = 1;
constexpr int PERFT_MAX_DEPTH = 10;

bool beginsWith(const std::string& line, const char* word) { return line.rfind(word, 0) == 0; }

// A decimal integer as the C library's conversions read it: leading white
// space, an optional sign, then digits up to the first non-digit; no digits
// give 0. Values beyond the 32-bit range are clamped rather than overflowing.
std::int32_t readInteger(const char* p) {
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return std::int32_t(value);
}

// The number after a word: skips the word itself up to the next white space,
// then reads an integer ("%*s %d"). Without one the value is 0.
std::int32_t readNumberAfterWord(const char* p) {
    while (*p != '\0' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    return readInteger(p);
}

// The value of a "setoption name Hash value N" line, from its 27th character on.
std::int32_t hashValueOf(const std::string& line) {
    const std::size_t start = std::strlen(HASH_PREFIX) + 1;
    return line.size() > start ? readInteger(line.c_str() + start) : 0;
}

// Nodes per second. Below a millisecond the clock cannot tell, so at least
// one is taken; the division comes first so that no count can overflow.
std::uint64_t nodesPerSecond(std::uint64_t nodes, std::uint64_t elapsedMs) {
    const std::uint64_t ms = elapsedMs > 0 ? elapsedMs : 1;
    return nodes / ms * 1000 + nodes % ms * 1000 / ms;
}

}  // namespace

std::string scoreText(int score) {
    if (!isMateScore(score)) return "cp " + std::to_string(score);
    // Moves, not plies: the mating move is the side to move's own when it
    // mates (odd plies), the opponent's when it is mated (even plies).
    const int moves = (matePlies(score) + 1) / 2;
    return "mate " + std::to_string(score > 0 ? moves : -moves);
}

std::string searchInfoLine(const SearchInfo& info) {
    std::string line = "info depth " + std::to_string(info.depth) + " score " + scoreText(info.score) + " time " +
                       std::to_string(info.elapsedMs) + " nodes " + std::to_string(info.nodes) + " nps " +
                       std::to_string(nodesPerSecond(info.nodes, info.elapsedMs));
    if (info.lineLength > 0) {
        line += " pv";
        Colour mover = info.mover;
        for (int i = 0; i < info.lineLength; ++i) {
            line += ' ';
            line += moveToText(info.line[i], mover, *info.castling);
            mover = opponent(mover);
        }
    }
    return line;
}

GoParameters parseGoLine(const std::string& line) {
    struct Word {
        const char* text;
        std::uint32_t flags;
        std::int32_t GoParameters::*value;  // nullptr for words without a number
        int side;                           // for the per-colour arrays, else -1
    };
    static const Word words[] = {
        {"infinite", GO_UNBOUNDED, nullptr, -1},
        {"ponder", GO_UNBOUNDED, nullptr, -1},
        {"searchmoves", GO_UNBOUNDED, nullptr, -1},
        {"wtime", GO_CLOCK, nullptr, WHITE},
        {"btime", GO_CLOCK, nullptr, BLACK},
        {"winc", GO_INCREMENT, nullptr, WHITE},
        {"binc", GO_INCREMENT, nullptr, BLACK},
        {"movestogo", GO_MOVESTOGO, &GoParameters::goMovesToGo, -1},
        {"depth", GO_DEPTH | GO_UNBOUNDED, &GoParameters::goDepth, -1},
        {"nodes", GO_NODES | GO_UNBOUNDED, &GoParameters::goNodes, -1},
        {"mate", GO_MATE | GO_UNBOUNDED, &GoParameters::goMate, -1},
        {"movetime", GO_MOVETIME | GO_UNBOUNDED, &GoParameters::goMoveTime, -1},
    };

    GoParameters go;
    for (const Word& word : words) {
        const std::size_t at = line.find(word.text);
        if (at == std::string::npos) continue;
        go.goFlags |= word.flags;
        const char* from = line.c_str() + at;
        if (word.value != nullptr) {
            go.*word.value = readNumberAfterWord(from);
        } else if (word.side >= 0) {
            std::int32_t* target = (word.flags & GO_CLOCK) ? go.goTime : go.goInc;
            target[word.side] = readNumberAfterWord(from);
        }
    }
    go.infinite = line.find("infinite") != std::string::npos;
    go.ponder = line.find("ponder") != std::string::npos;
    if (go.goFlags == 0) go.goFlags = GO_UNBOUNDED;
    return go;
}

bool UCI::Init() {
    inputIsPipe = input.isPipe() ? 1 : 0;
    prepareStandardOutput();
    input.prepare();
    if (!input.isOpen()) {
        // Not logged: there is no protocol to speak of. The loop still runs
        // and meets the end of input at once.
        std::printf("UCI init failed\n");
        return false;
    }
    return true;
}

bool UCI::InputAvailable() { return !deferredLines.empty() || input.lineAvailable(); }

std::optional<std::string> UCI::ReadInputLine() {
    std::optional<std::string> line = input.readLine();
    if (line) WriteLog(LOG_SOURCE, LOG_LINE_IN, "UCI::ParseUciCommand", "IN:  " + *line);
    return line;
}

unsigned UCI::ParseUciCommand() {
    if (!deferredLines.empty()) {
        const std::string line = deferredLines.front();
        deferredLines.pop_front();
        return ParseLine(line);
    }
    if (!input.lineAvailable()) return CMD_NONE;
    const std::optional<std::string> line = ReadInputLine();
    if (!line) return CMD_END_OF_INPUT;
    return ParseLine(*line);
}

unsigned UCI::ClassifyLine(const std::string& line) const {
    if (line == "printboard") return CMD_PRINTBOARD;
    if (line == "uci") return CMD_UCI;
    if (line == "isready") return CMD_ISREADY;
    if (beginsWith(line, "setoption")) {
        if (!beginsWith(line, HASH_PREFIX)) return CMD_SETOPTION;
        const std::int32_t value = hashValueOf(line);
        const bool valid = value >= HASH_MIN_MB && value <= HASH_MAX_MB;
        return valid && value != hashSizeMB ? CMD_HASH_CHANGED : CMD_SETOPTION;
    }
    if (line == "ucinewgame") return CMD_UCINEWGAME;
    if (beginsWith(line, "position")) return CMD_POSITION;
    if (beginsWith(line, "go")) return line.find("ponder") != std::string::npos ? CMD_GO_PONDER : CMD_GO;
    if (beginsWith(line, "debug")) return line == "debug off" ? CMD_DEBUG_OFF : CMD_DEBUG_ON;
    if (line == "ponderhit") return CMD_PONDERHIT;
    if (line == "stop") return CMD_STOP;
    if (line == "quit") return CMD_QUIT;
    if (line == "perft" || beginsWith(line, "perft ")) return CMD_PERFT;
    if (line == "eval") return CMD_EVAL;
    if (line == "bench" || beginsWith(line, "bench ")) return CMD_BENCH;
    return CMD_UNKNOWN;
}

unsigned UCI::ParseLine(const std::string& line) {
    const unsigned code = ClassifyLine(line);
    switch (code) {
    case CMD_UCI:
        SendMsg(activeVariant().idName);
        SendMsg("id author Belvantor");
        for (const OptionSpec& option : optionTable()) SendMsg(optionLine(option));
        SendMsg("uciok");
        break;
    case CMD_ISREADY:
        SendMsg("readyok");
        break;
    case CMD_SETOPTION:
    case CMD_HASH_CHANGED:
        if (beginsWith(line, HASH_PREFIX)) {
            const std::int32_t value = hashValueOf(line);
            if (value < HASH_MIN_MB || value > HASH_MAX_MB) throw EngineError("Invalid Hash Param given");
            hashSizeMB = value;
        } else if (const OptionRequest request = readSetOption(line);
                   request.option != nullptr && request.option->id == OptionId::CHESS960) {
            if (!request.error.empty()) throw EngineError(request.error);
            optionValues.set(OptionId::CHESS960, request.value);
        }
        break;
    case CMD_POSITION:
        fenText.clear();
        movesText.clear();
        if (beginsWith(line, "position fen")) {
            const std::size_t start = std::strlen("position fen") + 1;
            if (line.size() > start) fenText = line.substr(start);
        } else {
            fenText = START_FEN;
        }
        if (const std::size_t at = line.find("moves"); at != std::string::npos) movesText = line.substr(at);
        break;
    case CMD_GO:
    case CMD_GO_PONDER:
        goParams = parseGoLine(line);
        break;
    case CMD_DEBUG_ON:
    case CMD_DEBUG_OFF:
        debugMode = code == CMD_DEBUG_ON;
        break;
    case CMD_PERFT: {
        const std::int32_t depth = line.size() > 5 ? readInteger(line.c_str() + 5) : 0;
        if (depth < PERFT_MIN_DEPTH || depth > PERFT_MAX_DEPTH) throw EngineError("Invalid perft depth given");
        perftDepth = depth;
        break;
    }
    case CMD_BENCH: {
        const std::int32_t depth = line.size() > 5 ? readInteger(line.c_str() + 5) : BENCH_DEFAULT_DEPTH;
        if (depth < 1 || depth > BENCH_MAX_DEPTH) throw EngineError("Invalid bench depth given");
        benchDepth = depth;
        break;
    }
    default:
        break;
    }
    return code;
}

void UCI::SendMsg(const std::string& message) {
    WriteLog(LOG_SOURCE, LOG_LINE_OUT, "UCI::SendMsg", "OUT: " + message);
    writeOutputLine(message);
}

void UCI::SendBestMove(Move best, const Board& board, Move ponder) {
    std::string line = "bestmove " + (sameMove(best, NO_MOVE) ? std::string("0000") : moveToText(best, board));
    if (!sameMove(ponder, NO_MOVE)) line += " ponder " + moveToText(ponder, opponent(board.sideToMove), board.castling);
    SendMsg(line);
}

void UCI::SendSearchInfo(const SearchInfo& info) { SendMsg(searchInfoLine(info)); }

void UCI::SendInfoString(const std::string& text) { SendMsg("info string " + text); }
