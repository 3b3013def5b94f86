#include "uci.h"

#include "bench.h"
#include "board/board.h"
#include "board/error.h"
#include "log.h"
#include "options.h"
#include "protocol_text.h"
#include "variant.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

GoParameters goParams;

namespace {

constexpr const char* LOG_SOURCE = "source\\UCI";
constexpr int LOG_LINE_IN = 70;
constexpr int LOG_LINE_OUT = 251;

// The number after a word: skips the word itself up to the next white space,
// then reads an integer ("%*s %d"). Without one the value is 0.
std::int32_t readNumberAfterWord(const char* p) {
    while (*p != '\0' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    return readInteger(p);
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
    std::string line = "info depth " + std::to_string(info.depth) + " seldepth " + std::to_string(info.selDepth);
    if (info.multiPV > 0) line += " multipv " + std::to_string(info.multiPV);
    line += " score " + scoreText(info.score) + " nodes " + std::to_string(info.nodes) + " nps " +
            std::to_string(nodesPerSecond(info.nodes, info.elapsedMs));
    if (info.hashfull >= 0) line += " hashfull " + std::to_string(info.hashfull);
    line += " time " + std::to_string(info.elapsedMs);
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
    if (const std::size_t at = line.find("searchmoves"); at != std::string::npos) {
        // The moves run up to the next word the line gives a meaning to.
        const std::vector<std::string> rest = splitWords(line.substr(at));
        for (std::size_t i = 1; i < rest.size(); ++i) {
            const bool keyword = std::any_of(std::begin(words), std::end(words),
                                             [&](const Word& word) { return rest[i] == word.text; });
            if (keyword) break;
            go.searchMoves.push_back(rest[i]);
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

Command UCI::ParseUciCommand() {
    std::optional<std::string> line;
    if (!deferredLines.empty()) {
        line = deferredLines.front();
        deferredLines.pop_front();
    } else if (!input.lineAvailable()) {
        return {};
    } else if (line = ReadInputLine(); !line) {
        return {CMD_END_OF_INPUT, ""};
    }
    return {ClassifyLine(*line), *line};
}

unsigned UCI::ClassifyLine(const std::string& line) {
    if (line == "printboard") return CMD_PRINTBOARD;
    if (line == "uci") return CMD_UCI;
    if (line == "isready") return CMD_ISREADY;
    if (beginsWith(line, "setoption")) return CMD_SETOPTION;
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
