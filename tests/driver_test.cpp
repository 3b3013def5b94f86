// The search driver as a GUI sees it: "go" in its forms, "stop", "ponderhit",
// commands during a search, and the legality of every "bestmove".
#include "board/board.h"
#include "board_helpers.h"
#include "engine_process.h"
#include "info_line.h"
#include "uci.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string ostrel64 = OSTREL64_PATH;
const std::string ostrel32 = OSTREL32_PATH;

struct Session {
    TemporaryDirectory dir;
    EngineProcess engine;
    explicit Session(const std::string& program = ostrel64) : engine(program, dir.path()) {
        // Past the banner, whatever its length.
        engine.send("isready");
        engine.readUntil("readyok");
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The last info line before the "bestmove" that ends the lines.
InfoLine lastInfo(const std::vector<std::string>& lines) {
    std::string error;
    const std::optional<InfoLine> info = lines.size() >= 2 ? parseInfoLine(lines[lines.size() - 2], error) : std::nullopt;
    EXPECT_TRUE(info) << error;
    return info.value_or(InfoLine{});
}

}  // namespace

TEST(Driver, GoDepthEndsByItselfAfterThatIteration) {
    Session s;
    s.engine.send("position startpos moves e2e4");
    s.engine.send("go depth 4");
    const std::vector<std::string> lines = s.engine.readUntil("bestmove");
    std::vector<std::string> depthLines;
    for (const std::string& line : lines)
        if (line.rfind("info depth ", 0) == 0 && line.find(" pv ") == std::string::npos) depthLines.push_back(line);
    ASSERT_EQ(depthLines.size(), 4u);
    EXPECT_EQ(depthLines.back().rfind("info depth 4 score cp ", 0), 0u);
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN, {"e2e4"}));
}

TEST(Driver, ClockSearchAnswersWithinItsBudget) {
    Session s;
    // 3,000 ms left: a base budget of 75 ms and an extra allowance of 50 ms.
    s.engine.send("position startpos");
    const std::int64_t start = steadyMs();
    s.engine.send("go wtime 3000 btime 3000");
    const std::vector<std::string> lines = s.engine.readUntil("bestmove");
    const std::int64_t elapsed = steadyMs() - start;
    EXPECT_LT(elapsed, 125 + 1500) << "slack for a loaded machine and sanitizers";
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));

    // Black to move takes black's clock; with movestogo 0 counting as absent.
    s.engine.send("position startpos moves d2d4");
    s.engine.send("go wtime 600000 btime 2000 movestogo 0");
    EXPECT_TRUE(isLegalBestMove(s.engine.readUntil("bestmove").back(), START_FEN, {"d2d4"}));
}

TEST(Driver, MovetimeNodesAndMateEndByThemselves) {
    Session s;
    s.engine.send("position startpos");
    std::int64_t start = steadyMs();
    s.engine.send("go movetime 400");
    std::vector<std::string> lines = s.engine.readUntil("bestmove");
    std::int64_t elapsed = steadyMs() - start;
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 400 + 1000) << "slack for pipes on a loaded machine";
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));

    s.engine.send("go nodes 20000");
    lines = s.engine.readUntil("bestmove");
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));

    // Mate in two: the search ends once the mate is proved, with its score.
    const std::string mateInTwo = "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 0";
    s.engine.send("position fen " + mateInTwo);
    s.engine.send("go mate 2");
    lines = s.engine.readUntil("bestmove");
    EXPECT_TRUE(isLegalBestMove(lines.back(), mateInTwo));
    EXPECT_EQ(lines.back().rfind("bestmove d5f6", 0), 0u);
    EXPECT_TRUE(lastInfo(lines).scoreKind == "mate" && lastInfo(lines).scoreValue == 2) << lines[lines.size() - 2];
}

TEST(Driver, MateScoresInMovesAndTheClockSearchThatEndsOnAProvedMate) {
    const struct {
        const char* fen;
        int mate;  // moves, negative when the side to move is mated
    } cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", 1},
        {"7k/8/5K2/8/8/8/8/6R1 w - - 0 1", 2},
        {"7k/8/8/8/8/1r6/r7/7K w - - 0 1", -1},
        {"6k1/8/6K1/8/8/8/8/R7 b - - 0 1", -2},
    };
    for (const std::string& program : {ostrel64, ostrel32}) {
        Session s(program);
        for (const auto& c : cases) {
            SCOPED_TRACE(program + " " + c.fen);
            s.engine.send(std::string("position fen ") + c.fen);
            // A fixed depth runs to its end whatever it finds.
            s.engine.send("go depth 5");
            std::vector<std::string> lines = s.engine.readUntil("bestmove");
            InfoLine last = lastInfo(lines);
            EXPECT_EQ(last.depth, 5);
            EXPECT_TRUE(last.scoreKind == "mate" && last.scoreValue == c.mate) << lines[lines.size() - 2];

            // A clock of hours: the search ends after the first iteration
            // at least as deep as the mate is long, which a deeper one could
            // not shorten.
            s.engine.send(std::string("position fen ") + c.fen);
            s.engine.send("go wtime 10000000 btime 10000000");
            lines = s.engine.readUntil("bestmove");
            std::vector<InfoLine> iterations;
            for (const std::string& line : lines) {
                std::string error;
                const std::optional<InfoLine> info = parseInfoLine(line, error);
                if (info && info->depth && info->pv.empty()) iterations.push_back(*info);
            }
            ASSERT_FALSE(iterations.empty());
            const auto provedAt = [&](const InfoLine& info) {
                return info.scoreKind == "mate" && 2 * std::abs(info.scoreValue) - (info.scoreValue > 0) <= *info.depth;
            };
            EXPECT_TRUE(provedAt(iterations.back()) && iterations.back().scoreValue == c.mate) << lines[lines.size() - 2];
            for (std::size_t i = 0; i + 1 < iterations.size(); ++i) EXPECT_FALSE(provedAt(iterations[i]));
            EXPECT_TRUE(isLegalBestMove(lines.back(), c.fen));
        }
    }
}

TEST(Driver, InfiniteSearchWaitsForStop) {
    Session s;
    s.engine.send("position startpos moves g1f3");
    s.engine.send("go infinite");
    // No "bestmove" by itself; "isready" is answered during the search.
    s.engine.send("isready");
    std::vector<std::string> lines = s.engine.readUntil("readyok");
    for (const std::string& line : lines) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    for (const std::string& line : s.engine.drain(300)) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    s.engine.send("stop");
    lines = s.engine.readUntil("bestmove");
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN, {"g1f3"}));
}

TEST(Driver, PonderThenPonderhitOrStop) {
    Session s;
    s.engine.send("position startpos moves e2e4 e7e5");
    s.engine.send("go ponder wtime 600000 btime 600000");
    for (const std::string& line : s.engine.drain(300)) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    s.engine.send("stop");
    EXPECT_TRUE(isLegalBestMove(s.engine.readUntil("bestmove").back(), START_FEN, {"e2e4", "e7e5"}));

    // After "ponderhit" the clock budget applies, measured from the start of
    // the ponder search: 2,000 ms give 50 ms plus 33 ms, long gone.
    s.engine.send("go ponder wtime 2000 btime 2000");
    for (const std::string& line : s.engine.drain(300)) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    s.engine.send("ponderhit");
    EXPECT_TRUE(isLegalBestMove(s.engine.readUntil("bestmove", 3000).back(), START_FEN, {"e2e4", "e7e5"}));

    // "ponderhit" with a long clock keeps searching until "stop".
    s.engine.send("go ponder wtime 600000 btime 600000");
    s.engine.send("ponderhit");
    for (const std::string& line : s.engine.drain(300)) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    s.engine.send("stop");
    EXPECT_TRUE(isLegalBestMove(s.engine.readUntil("bestmove").back(), START_FEN, {"e2e4", "e7e5"}));
}

TEST(Driver, CommandsDuringASearchAreReportedAndCarriedOutAfterwards) {
    Session s;
    s.engine.send("position startpos");
    s.engine.send("go infinite");
    s.engine.send("setoption name Hash value 16");
    s.engine.readUntil("info string During a search I have not got STOP or PONDERHIT, but: 16");
    s.engine.send("position startpos moves e2e4");
    s.engine.readUntil("info string During a search I have not got STOP or PONDERHIT, but: 5");
    s.engine.send("uci");
    s.engine.readUntil("info string During a search I have not got STOP or PONDERHIT, but: 1");
    s.engine.send("stop");
    // The search was of the start position; then the deferred lines run in order.
    std::vector<std::string> lines = s.engine.readUntil("bestmove");
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));
    s.engine.readUntil("uciok");

    // The Hash change happened: the same value is no longer a change.
    s.engine.send("go infinite");
    s.engine.send("setoption name Hash value 16");
    s.engine.readUntil("info string During a search I have not got STOP or PONDERHIT, but: 2");
    s.engine.send("stop");
    lines = s.engine.readUntil("bestmove");
    // The deferred "position" was applied: Black is to move.
    EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN, {"e2e4"}));
}

TEST(Driver, QuitDuringASearchEndsAtOnce) {
    Session s;
    s.engine.send("position startpos");
    s.engine.send("go infinite");
    s.engine.drain(200);
    s.engine.send("quit");
    EXPECT_EQ(s.engine.waitForExit(), 0);
}

TEST(Driver, RemainingTimeOfZeroOrLessStillAnswers) {
    struct Case {
        std::string program;
        std::string go;
        bool errorLine;
    };
    const Case cases[] = {
        {ostrel64, "go wtime 0 btime 1000", true},
        {ostrel64, "go wtime -50 btime 1000", true},
        {ostrel32, "go wtime 0 btime 1000", false},
        {ostrel32, "go wtime -50 btime 1000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.go);
        Session s(c.program);
        s.engine.send("position startpos");
        s.engine.send(c.go);
        const std::vector<std::string> lines = s.engine.readUntil("bestmove");
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0].rfind("info string alloc: ", 0), 0u) << lines[0];
        EXPECT_EQ(contains(lines, "info string too much time has been allocated"), c.errorLine);
        EXPECT_TRUE(isLegalBestMove(lines.back(), START_FEN));
    }
}

TEST(Driver, RejectedFenKeepsThePreviousPosition) {
    Session s;
    s.engine.send("position startpos moves e2e4");
    for (const char* bad : {"position fen 8/8/8/8/8/8/8/8 w - - 0 1", "position fen garbage",
                            "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
                            "position fen QQQQQQnk/Q4Qpp/Q5QQ/Q6Q/Q6Q/Q6Q/Q6Q/KQQQQQQQ w - - 0 1 moves a1a2"}) {
        SCOPED_TRACE(bad);
        s.engine.send(bad);
        EXPECT_EQ(s.engine.readLine(), "info string FEN PARSING FAILED");
    }
    s.engine.send("go depth 3");
    EXPECT_TRUE(isLegalBestMove(s.engine.readUntil("bestmove").back(), START_FEN, {"e2e4"}));
}

TEST(Driver, RootsWithoutLegalMovesOrAlreadyDrawn) {
    Session s;
    // Checkmated and stalemated roots: one line with the score, then the
    // null move at once, however long the search was allowed to run (the
    // limits are far beyond the read timeout); a search that only ends on
    // "stop" or "ponderhit" waits for it.
    const struct {
        const char* fen;
        const char* score;
    } roots[] = {{"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "score mate 0"}, {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "score cp 0"}};
    for (const auto& root : roots) {
        for (const char* go : {"go depth 30", "go movetime 100000", "go wtime 10000000 btime 10000000", "go infinite",
                               "go ponder wtime 10000000 btime 10000000"}) {
            SCOPED_TRACE(std::string(root.fen) + " " + go);
            s.engine.send(std::string("position fen ") + root.fen);
            s.engine.send(go);
            std::vector<std::string> lines;
            if (std::string(go).find("infinite") != std::string::npos || std::string(go).find("ponder") != std::string::npos) {
                lines = s.engine.drain(300);
                s.engine.send(std::string(go).find("ponder") != std::string::npos ? "ponderhit" : "stop");
            }
            for (const std::string& line : s.engine.readUntil("bestmove")) lines.push_back(line);
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_EQ(lines[0].rfind(std::string("info depth 1 ") + root.score + " time ", 0), 0u) << lines[0];
            EXPECT_EQ(lines[1], "bestmove 0000");
        }
    }
    // A root whose fifty-move countdown has run out is a draw; the engine
    // says so and still answers with a legal move.
    const std::string fifty = "8/8/3k4/8/8/3K4/3R4/8 w - - 100 80";
    s.engine.send("position fen " + fifty);
    s.engine.send("go depth 3");
    const std::vector<std::string> lines = s.engine.readUntil("bestmove");
    EXPECT_TRUE(contains(lines, "info string 50 move reached, DRAW!"));
    EXPECT_TRUE(isLegalBestMove(lines.back(), fifty));
}

TEST(Driver, EveryBestmoveOfAShortGameIsLegal) {
    for (const std::string& program : {ostrel64, ostrel32}) {
        SCOPED_TRACE(program);
        Session s(program);
        std::vector<std::string> moves;
        for (int ply = 0; ply < 24; ++ply) {
            std::string line = "position startpos";
            if (!moves.empty()) {
                line += " moves";
                for (const std::string& m : moves) line += " " + m;
            }
            s.engine.send(line);
            s.engine.send("go wtime 2000 btime 2000 winc 20 binc 20");
            const std::string best = s.engine.readUntil("bestmove").back();
            ASSERT_TRUE(isLegalBestMove(best, START_FEN, moves)) << "at ply " << ply;
            std::istringstream words(best);
            std::string keyword, move;
            words >> keyword >> move;
            moves.push_back(move);
        }
    }
}

TEST(Driver, BenchNodeCountIsTheSameOnEveryRun) {
    // A shallow depth keeps this quick under sanitizers; the signature is the
    // same kind of number at any depth.
    for (const std::string& program : {ostrel64, ostrel32}) {
        SCOPED_TRACE(program);
        std::vector<std::string> counts;
        for (int run = 0; run < 2; ++run) {
            TemporaryDirectory dir;
            EngineProcess engine(program, dir.path(), {"bench", "5"});
            const std::vector<std::string> lines = engine.readUntil("Nodes searched: ");
            ASSERT_FALSE(lines.empty());
            counts.push_back(lines.back());
            EXPECT_EQ(engine.readUntil("Nodes/second: ").size(), 1u);
            EXPECT_EQ(engine.waitForExit(), 0);
        }
        // The command inside a session gives the same count after a search
        // has filled the table and the killers.
        Session s(program);
        s.engine.send("position startpos");
        s.engine.send("go depth 6");
        s.engine.readUntil("bestmove");
        s.engine.send("bench 5");
        counts.push_back(s.engine.readUntil("Nodes searched: ").back());
        EXPECT_EQ(counts[0], counts[1]);
        EXPECT_EQ(counts[0], counts[2]);
        EXPECT_NE(counts[0], "Nodes searched: 0");
    }
}
