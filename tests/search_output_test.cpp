// Whole search transcripts of both programs read through pipes as a GUI or a
// match runner reads them: every info line follows the protocol's grammar,
// every variation is legal move by move and shows a repetition at most once,
// every search ends with a scored info line and a "bestmove" that agrees
// with the last variation.
#include "board/board.h"
#include "board/gamemoves.h"
#include "engine_process.h"
#include "info_line.h"
#include "uci.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct OutputCase {
    int lineNumber;
    std::string position;  // the arguments of "position"
    std::string go;
};

std::vector<OutputCase> loadOutputCases() {
    std::vector<OutputCase> cases;
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/search_output.txt");
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t semicolon = line.find(" ; ");
        cases.push_back({number, line.substr(0, semicolon), line.substr(semicolon + 3)});
    }
    return cases;
}

// The board of a "position" command's arguments, with the game's moves in
// its history.
Board boardOf(const std::string& position) {
    Board board;
    const std::size_t movesAt = position.find(" moves ");
    if (position.rfind("fen ", 0) == 0) board.setFromFen(position.substr(4, movesAt - 4));
    if (movesAt != std::string::npos) {
        std::istringstream words(position.substr(movesAt + 7));
        for (std::string word; words >> word;) EXPECT_TRUE(playMoveText(board, word)) << word;
    }
    return board;
}

bool hasLegalMove(Board board) {
    bool any = false;
    forEachLegalMove(board, [&](Move) { any = true; });
    return any;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

class SearchOutput : public ::testing::TestWithParam<std::string> {};

TEST_P(SearchOutput, TranscriptsReadAsTheProtocolDefinesThem) {
    const std::vector<OutputCase> cases = loadOutputCases();
    ASSERT_GE(cases.size(), 15u);
    TemporaryDirectory dir;
    EngineProcess engine(GetParam(), dir.path());
    engine.send("isready");
    engine.readUntil("readyok");  // past the banner
    int variationsCutAtARepetition = 0;

    for (const OutputCase& c : cases) {
        SCOPED_TRACE("tests/data/search_output.txt:" + std::to_string(c.lineNumber) + ": " + c.go);
        const Board root = boardOf(c.position);
        std::set<std::uint64_t> gamePositions;
        for (int i = 0; i <= root.ply; ++i) gamePositions.insert(root.history[i].hashKey);

        engine.send("position " + c.position);
        engine.send(c.go);
        const std::vector<std::string> lines = engine.readUntil("bestmove");
        ASSERT_GE(lines.size(), 2u);

        std::vector<std::string> lastPv;
        std::optional<InfoLine> lastInfo;
        for (std::size_t n = 0; n + 1 < lines.size(); ++n) {
            const std::string& line = lines[n];
            std::string error;
            const std::optional<InfoLine> info = parseInfoLine(line, error);
            ASSERT_TRUE(info) << error << ": " << line;
            if (info->text) continue;
            lastInfo = info;
            EXPECT_TRUE(info->depth && info->scoreKind && info->time && info->nodes && info->nps) << line;
            if (info->pv.empty()) continue;

            // Legal in turn from the searched position; a position met in
            // the game or earlier in the line may only be the last one.
            Board board = root;
            std::set<std::uint64_t> met = gamePositions;
            for (std::size_t k = 0; k < info->pv.size(); ++k) {
                ASSERT_TRUE(playMoveText(board, info->pv[k])) << "move " << k + 1 << " is illegal: " << line;
                if (!met.insert(board.hashKey()).second) {
                    EXPECT_EQ(k + 1, info->pv.size()) << "the line runs on after a repetition: " << line;
                    ++variationsCutAtARepetition;
                }
            }
            lastPv = info->pv;
        }

        // The last info line before "bestmove" carries the score.
        ASSERT_TRUE(lastInfo) << "no info line before " << lines.back();
        EXPECT_TRUE(lastInfo->scoreKind) << lines[lines.size() - 2];

        const std::vector<std::string> words = wordsOf(lines.back());
        ASSERT_TRUE(words.size() == 2 || (words.size() == 4 && words[2] == "ponder")) << lines.back();
        if (!hasLegalMove(root)) {
            EXPECT_EQ(lines.back(), "bestmove 0000");
            continue;
        }
        Board board = root;
        ASSERT_TRUE(playMoveText(board, words[1])) << lines.back();
        if (words.size() == 4) {
            EXPECT_TRUE(playMoveText(board, words[3])) << "illegal ponder move: " << lines.back();
        }
        // The move played is the one the last variation began with, and the
        // move to ponder on is that variation's reply.
        ASSERT_FALSE(lastPv.empty()) << "no variation before " << lines.back();
        EXPECT_EQ(lastPv[0], words[1]);
        if (lastPv.size() >= 2) {
            EXPECT_TRUE(words.size() == 4 && words[3] == lastPv[1]) << lines.back();
        }
    }
    // The data still holds lines that meet a repetition.
    EXPECT_GT(variationsCutAtARepetition, 0);
    engine.send("quit");
    EXPECT_EQ(engine.waitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, SearchOutput, ::testing::Values(OSTREL64_PATH, OSTREL32_PATH),
                         [](const ::testing::TestParamInfo<std::string>& program) {
                             return program.param == OSTREL64_PATH ? std::string("ostrel64") : std::string("ostrel32");
                         });

TEST(InfoLineReader, FollowsTheGrammar) {
    struct Case {
        const char* line;
        bool valid;
    };
    const Case cases[] = {
        {"info depth 5 score cp 40 time 10 nodes 900 nps 90000 pv e2e4 e7e5 e1g1 a7a8q", true},
        {"info depth 9 score mate -3 time 1 nodes 2 nps 2000", true},
        {"info string 3-fold repetetion, DRAW!", true},
        // What GUIs rejected: fields after "pv", stray blanks, a cp mate code.
        {"info depth 5 pv e2e4 e7e5  time 10 score cp 40", false},
        {"info depth 5 pv e2e4 time 10 score cp 40", false},
        {"info depth 5 score cp", false},
        {"info depth 5 score points 3", false},
        {"info depth five", false},
        {"info depth 5 depth 6", false},
        {"info nodes 5 pv", false},
        {"info depth 1 pv e2e9", false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(parseInfoLine(c.line, error).has_value(), c.valid) << c.line << ": " << error;
    }
}

}  // namespace
