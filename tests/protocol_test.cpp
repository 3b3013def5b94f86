// The engine as a GUI sees it, through pipes, by the transcripts of tests/data/ (see its README.md); and what of
// the front end, the time budget and the log can be tested without a process.
#include "engine.h"
#include "engine_process.h"
#include "log.h"
#include "options.h"

#include <filesystem>
#include <utility>

namespace {

const std::vector<Launcher> programs = {{"ostrel64", "64", {OSTREL64_PATH}}, {"ostrel32", "32", {OSTREL32_PATH}}};

class ThroughPipes : public ::testing::TestWithParam<Transcript> {};

TEST_P(ThroughPipes, Transcript) { runTranscript(GetParam(), programs); }
INSTANTIATE_TRANSCRIPTS(Protocol, ThroughPipes, "protocol.txt");
INSTANTIATE_TRANSCRIPTS(TimeBudget, ThroughPipes, "time_limits.txt");
INSTANTIATE_TRANSCRIPTS(Search, ThroughPipes, "search_output.txt");
INSTANTIATE_TRANSCRIPTS(Robustness, ThroughPipes, "robustness.txt");
INSTANTIATE_TRANSCRIPTS(Analysis, ThroughPipes, "analysis.txt");
INSTANTIATE_TRANSCRIPTS(Threads, ThroughPipes, "threads.txt");
INSTANTIATE_TRANSCRIPTS(Strength, ThroughPipes, "strength.txt");
INSTANTIATE_TRANSCRIPTS(Chess960, ThroughPipes, "chess960.txt");

// The "uci" reply is the table's announcements in its order, and "setoption" understands each option at its
// extremes, with its name in any case, and refuses it past them, with a value of the wrong kind or without one, in
// one info string that names it. Afterwards the engine still searches.
TEST(Protocol, EveryOptionOfTheTableIsAnnouncedAndUnderstood) {
    Transcript options;
    options.where = "the options table";
    options.targets = {"ostrel64", "ostrel32"};
    const auto step = [&](const std::string& text) { options.steps.push_back({options.where, text}); };
    for (const char* text : {"> uci", "< id name Ostrel *", "< id author Belvantor"}) step(text);
    for (const OptionSpec& option : optionTable()) step("< " + optionLine(option));
    step("< uciok");
    for (const OptionSpec& option : optionTable()) {
        std::string upper = option.name, lower = option.name;
        for (char& c : upper) c = char(std::toupper(c));
        for (char& c : lower) c = char(std::tolower(c));
        const auto accepted = [&](const std::string& value) {
            step("> setoption name " + upper + " value " + value);
            step("> isready");
            step("< readyok");
        };
        const std::string range = option.type == OptionType::CHECK
                                      ? "true or false" : std::to_string(option.min) + " to " + std::to_string(option.max);
        const auto refused = [&](const std::string& value, const std::string& problem) {
            step("> setoption name " + lower + (value.empty() ? "" : " value " + value));
            step("< info string " + (option.id == OptionId::HASH ? "Invalid Hash Param given"
                                     : value.empty() ? std::string(option.name) + " needs a value (" + range + ")"
                                                     : std::string(option.name) + " value " + value + " " + problem));
        };
        if (option.type == OptionType::BUTTON) accepted("");
        if (option.type == OptionType::CHECK) {
            for (const char* value : {"true", "FALSE", option.defaultValue ? "true" : "false"}) accepted(value);
            refused("maybe", "is neither true nor false");
            refused("", "");
        }
        if (option.type != OptionType::SPIN) continue;
        for (const int value : {option.min, option.max, option.defaultValue}) accepted(std::to_string(value));
        for (const int value : {option.min - 1, option.max + 1}) refused(std::to_string(value), "is out of range (" + range + ")");
        refused("x", "is not a number (" + range + ")");
        refused("", "");
    }
    for (const char* text : {"> position startpos", "> go depth 3", "<< bestmove"}) step(text);
    runTranscript(options, programs);
}

DATA_TEST(TimeBudget, GoLine, "time_budget.txt", GivesItsBudget) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    TimeControl time;
    time.begin(parseGoLine(fields[1]), fields[0] == "b" ? BLACK : WHITE, fields.size() > 3 ? std::stoi(fields[3]) : 0);
    const bool unbounded = time.baseBudget() == TimeControl::UNBOUNDED;
    EXPECT_EQ(unbounded ? "unbounded" : std::to_string(time.baseBudget()) + " " + std::to_string(time.extraAllowance()),
              fields[2]);
}

TEST(Protocol, ScoresInMovesAndThePvLast) {
    // Mates in moves, signed from the side to move's view, as far as the longest line the search can make.
    const std::pair<int, const char*> scores[] = {
        {35, "cp 35"}, {-35, "cp -35"}, {0, "cp 0"}, {MATE_BOUND - 1, "cp 999871"}, {MATE_BOUND, "mate 64"},
        {MATE_SCORE - 1, "mate 1"}, {MATE_SCORE - 3, "mate 2"}, {MATE_SCORE - 4, "mate 2"}, {-MATE_SCORE, "mate 0"},
        {2 - MATE_SCORE, "mate -1"}, {3 - MATE_SCORE, "mate -2"}, {-MATE_BOUND, "mate -64"},
    };
    for (const auto& [score, text] : scores) EXPECT_EQ(scoreText(score), text) << score;

    // Black castles first in the line; below a millisecond the speed is taken over one, and counts beyond 32 bits
    // do not overflow.
    const Move line[3] = {makeMove(MOVE_CASTLE_SHORT, 0, 0), makeMove(MOVE_CASTLE_LONG, 0, 0),
                          makeMove(MOVE_QUIET, 52, 60)};
    SearchInfo info{.depth = 3, .selDepth = 9, .multiPV = 2, .score = MATE_SCORE - 5, .nodes = 5000000000ULL,
                    .hashfull = 0, .mover = BLACK, .line = line, .lineLength = 3};
    EXPECT_EQ(searchInfoLine(info), "info depth 3 seldepth 9 multipv 2 score mate 3 nodes 5000000000 nps 5000000000000 "
                                    "hashfull 0 time 0 pv e8g8 e1c1 e7e8");
    // In Chess960 the king takes its own rook: kings on b1 and b8, short rooks on c1 and c8, long ones on a1 and a8.
    const CastlingRules chess960 = castlingRules({1, 57}, {2, 0, 58, 56}, true);
    info.castling = &chess960;
    EXPECT_TRUE(searchInfoLine(info).ends_with(" pv b8c8 b1a1 e7e8"));
    info = {.depth = 3, .selDepth = 4, .score = -12, .elapsedMs = 3, .nodes = 5000000000ULL};
    EXPECT_EQ(searchInfoLine(info), "info depth 3 seldepth 4 score cp -12 nodes 5000000000 nps 1666666666666 time 3");
}

// Blank-padded fields, and " (2)" for a second engine started in the same second in the same folder (a run
// without a log is a transcript).
TEST(Protocol, LogFileNamesAndASecondEngineInTheSameSecond) {
    const TemporaryDirectory dir;
    const LocalTime t{2021, 3, 3, 14, 7, 9};
    ASSERT_TRUE(OpenLogFile(t, dir.path));
    std::FILE* first = logFile;
    ASSERT_TRUE(OpenLogFile(t, dir.path));
    EXPECT_NE(first, logFile);
    std::fclose(first);
    std::fclose(std::exchange(logFile, nullptr));
    EXPECT_TRUE(std::filesystem::exists(dir.path + "/2021- 3- 3 14- 7- 9 (2).log"));
}

}  // namespace
