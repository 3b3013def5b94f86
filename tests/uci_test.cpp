// Recognition of command lines and the stored parameters of "go",
// "position" and "setoption", without pipes.
#include "board/error.h"
#include "engine_process.h"
#include "log.h"
#include "uci.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(UciParsing, GoLinesIntoFlagsAndParameters) {
    {
        const GoParameters go = parseGoLine("go wtime 60000 btime 50000");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_CLOCK));
        EXPECT_EQ(go.goTime[WHITE], 60000);
        EXPECT_EQ(go.goTime[BLACK], 50000);
    }
    {
        const GoParameters go = parseGoLine("go wtime 1000 btime 2000 winc 10 binc 20 movestogo 30");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_CLOCK | GO_INCREMENT | GO_MOVESTOGO));
        EXPECT_EQ(go.goInc[WHITE], 10);
        EXPECT_EQ(go.goInc[BLACK], 20);
        EXPECT_EQ(go.goMovesToGo, 30);
    }
    for (const char* line : {"go", "go infinite", "go searchmoves e2e4", "gobbledygook"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(parseGoLine(line).goFlags, std::uint32_t(GO_UNBOUNDED));
    }
    {
        const GoParameters go = parseGoLine("go depth 7");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_DEPTH | GO_UNBOUNDED));
        EXPECT_EQ(go.goDepth, 7);
        EXPECT_FALSE(go.infinite);
    }
    {
        const GoParameters go = parseGoLine("go movetime 1500 nodes 20000 mate 3");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_MOVETIME | GO_NODES | GO_MATE | GO_UNBOUNDED));
        EXPECT_EQ(go.goMoveTime, 1500);
        EXPECT_EQ(go.goNodes, 20000);
        EXPECT_EQ(go.goMate, 3);
    }
    {
        const GoParameters go = parseGoLine("go ponder wtime 100 btime 200");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_UNBOUNDED | GO_CLOCK));
        EXPECT_TRUE(go.ponder);
        EXPECT_EQ(go.goTime[WHITE], 100);
        EXPECT_EQ(go.goTime[BLACK], 200);
    }
    {
        // A word without a number leaves 0; a negative number is kept;
        // an absurd one is clamped instead of overflowing.
        const GoParameters go = parseGoLine("go wtime btime -30 winc 99999999999999");
        EXPECT_EQ(go.goTime[WHITE], 0);
        EXPECT_EQ(go.goTime[BLACK], -30);
        EXPECT_EQ(go.goInc[WHITE], 2147483647);
    }
    {
        // Only increments or movestogo: a budget of zero, not unbounded.
        const GoParameters go = parseGoLine("go winc 100 binc 100");
        EXPECT_EQ(go.goFlags, std::uint32_t(GO_INCREMENT));
    }
}

TEST(UciParsing, CommandCodesInOrder) {
    UCI uci;
    struct Case {
        const char* line;
        unsigned code;
    };
    const Case cases[] = {
        {"printboard", CMD_PRINTBOARD}, {"isready", CMD_ISREADY},
        {"setoption name Hash value 64", CMD_HASH_CHANGED}, {"setoption name Hash value 1", CMD_SETOPTION},
        {"setoption name Style value Risky", CMD_SETOPTION}, {"ucinewgame", CMD_UCINEWGAME},
        {"position startpos", CMD_POSITION}, {"go", CMD_GO}, {"go ponder", CMD_GO_PONDER},
        {"debug", CMD_DEBUG_ON}, {"debugger", CMD_DEBUG_ON}, {"debug off", CMD_DEBUG_OFF},
        {"ponderhit", CMD_PONDERHIT}, {"stop", CMD_STOP}, {"quit", CMD_QUIT}, {"stop ", CMD_UNKNOWN},
        {"", CMD_UNKNOWN}, {"Stop", CMD_UNKNOWN}, {"perft 3", CMD_PERFT}, {"eval", CMD_EVAL},
        {"bench", CMD_BENCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(uci.ClassifyLine(c.line), c.code);
    }
}

TEST(UciParsing, PositionHashAndDebugStoreTheirParameters) {
    UCI uci;
    EXPECT_EQ(uci.ParseLine("position startpos moves e2e4 e7e5"), unsigned(CMD_POSITION));
    EXPECT_EQ(uci.fenText, START_FEN);
    EXPECT_EQ(uci.movesText, "moves e2e4 e7e5");

    const std::string fen = "8/8/8/8/8/8/8/K6k w - - 0 1";
    uci.ParseLine("position fen " + fen + " moves a1a2");
    EXPECT_EQ(uci.fenText, fen + " moves a1a2");
    EXPECT_EQ(uci.movesText, "moves a1a2");

    uci.ParseLine("position fen");
    EXPECT_EQ(uci.fenText, "");
    EXPECT_EQ(uci.movesText, "");

    uci.ParseLine("position startpos");
    EXPECT_EQ(uci.movesText, "");

    EXPECT_EQ(uci.ParseLine("setoption name Hash value 64"), unsigned(CMD_HASH_CHANGED));
    EXPECT_EQ(uci.hashSizeMB, 64);
    EXPECT_EQ(uci.ParseLine("setoption name Hash value 64"), unsigned(CMD_SETOPTION));
    EXPECT_EQ(uci.ParseLine("setoption name Hash value  +32"), unsigned(CMD_HASH_CHANGED));
    EXPECT_EQ(uci.hashSizeMB, 32);
    EXPECT_THROW(uci.ParseLine("setoption name Hash value 2049"), EngineError);
    EXPECT_THROW(uci.ParseLine("setoption name Hash value x"), EngineError);
    EXPECT_EQ(uci.hashSizeMB, 32);
    // Only the classification: no stored change.
    EXPECT_EQ(uci.ClassifyLine("setoption name Hash value 8"), unsigned(CMD_HASH_CHANGED));
    EXPECT_EQ(uci.hashSizeMB, 32);

    uci.ParseLine("debug on");
    EXPECT_TRUE(uci.debugMode);
    uci.ParseLine("debug off");
    EXPECT_FALSE(uci.debugMode);

    EXPECT_EQ(uci.ParseLine("perft 4"), unsigned(CMD_PERFT));
    EXPECT_EQ(uci.perftDepth, 4);
    EXPECT_THROW(uci.ParseLine("perft 11"), EngineError);
    EXPECT_THROW(uci.ParseLine("perft"), EngineError);
}

TEST(UciOutput, ScoresAndSearchInfoLines) {
    // Mates in moves, signed from the side to move's view; the boundary is
    // the longest line the search can make.
    const struct {
        int score;
        const char* text;
    } scores[] = {
        {35, "cp 35"},
        {-35, "cp -35"},
        {0, "cp 0"},
        {MATE_SCORE - 1, "mate 1"},
        {MATE_SCORE - 3, "mate 2"},
        {MATE_SCORE - 4, "mate 2"},
        {-(MATE_SCORE - 2), "mate -1"},
        {-(MATE_SCORE - 3), "mate -2"},
        {-MATE_SCORE, "mate 0"},
        {MATE_BOUND, "mate 64"},
        {MATE_BOUND - 1, "cp 999871"},
        {-MATE_BOUND, "mate -64"},
    };
    for (const auto& c : scores) EXPECT_EQ(scoreText(c.score), c.text) << c.score;

    // Black castles first in the line; below a millisecond the speed is
    // taken over one.
    const Move line[3] = {makeMove(MOVE_CASTLE_SHORT, 0, 0), makeMove(MOVE_CASTLE_LONG, 0, 0),
                          makeMove(MOVE_QUIET, 52, 60)};
    SearchInfo info;
    info.depth = 3;
    info.score = MATE_SCORE - 5;
    info.elapsedMs = 0;
    info.nodes = 5000000000ULL;
    info.mover = BLACK;
    info.line = line;
    info.lineLength = 3;
    EXPECT_EQ(searchInfoLine(info),
              "info depth 3 score mate 3 time 0 nodes 5000000000 nps 5000000000000 pv e8g8 e1c1 e7e8");
    info.lineLength = 0;
    info.elapsedMs = 3;
    info.score = -12;
    EXPECT_EQ(searchInfoLine(info), "info depth 3 score cp -12 time 3 nodes 5000000000 nps 1666666666666");
}

TEST(Log, FileNamesAndSecondEngineInTheSameSecond) {
    EXPECT_EQ(logFileName(2021, 3, 3, 14, 7, 9, 1), "2021- 3- 3 14- 7- 9.log");
    EXPECT_EQ(logFileName(2021, 12, 12, 9, 30, 45, 1), "2021-12-12  9-30-45.log");
    EXPECT_EQ(logFileName(2021, 12, 12, 9, 30, 45, 2), "2021-12-12  9-30-45 (2).log");

    TemporaryDirectory dir;
    const LocalTime t{2021, 3, 3, 14, 7, 9};
    ASSERT_TRUE(OpenLogFile(t, dir.path()));
    std::FILE* first = logFile;
    ASSERT_TRUE(OpenLogFile(t, dir.path()));
    std::FILE* second = logFile;
    EXPECT_NE(first, second);
    std::fclose(first);
    std::fclose(second);
    logFile = nullptr;
    logReady = false;
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/2021- 3- 3 14- 7- 9.log"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/2021- 3- 3 14- 7- 9 (2).log"));

    EXPECT_FALSE(OpenLogFile(t, "/proc"));
    EXPECT_EQ(logFile, nullptr);
    // Writing without a log does nothing and does not fail.
    WriteLog("source\\UCI", 70, "UCI::ParseUciCommand", "IN:  uci");
}
