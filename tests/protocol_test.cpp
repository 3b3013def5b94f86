// The engine as a GUI sees it, through pipes, by the transcripts of tests/data/ (see its README.md); and what of
// the front end, the time budget and the log can be tested without a process.
#include "engine.h"
#include "engine_process.h"
#include "log.h"

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
INSTANTIATE_TRANSCRIPTS(Chess960, ThroughPipes, "chess960.txt");

DATA_TEST(TimeBudget, GoLine, "time_budget.txt", GivesItsBudget) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    Engine engine;
    engine.board.sideToMove = fields[0] == "b" ? BLACK : WHITE;
    goParams = parseGoLine(fields[1]);
    engine.allocateTime();
    goParams = GoParameters{};
    const bool unbounded = engine.timeAllocated == ~std::uint64_t{0};
    EXPECT_EQ(unbounded ? "unbounded" : std::to_string(engine.timeAllocated) + " " + std::to_string(engine.extraTime),
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
    SearchInfo info{.depth = 3, .score = MATE_SCORE - 5, .nodes = 5000000000ULL, .mover = BLACK, .line = line,
                    .lineLength = 3};
    EXPECT_EQ(searchInfoLine(info),
              "info depth 3 score mate 3 time 0 nodes 5000000000 nps 5000000000000 pv e8g8 e1c1 e7e8");
    // In Chess960 the king takes its own rook: kings on b1 and b8, the short rooks on c1 and c8, the long ones on a1 and a8.
    const CastlingRules chess960 = castlingRules({1, 57}, {2, 0, 58, 56}, true);
    info.castling = &chess960;
    EXPECT_TRUE(searchInfoLine(info).ends_with(" pv b8c8 b1a1 e7e8"));
    info.lineLength = 0;
    info.elapsedMs = 3;
    info.score = -12;
    EXPECT_EQ(searchInfoLine(info), "info depth 3 score cp -12 time 3 nodes 5000000000 nps 1666666666666");
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
