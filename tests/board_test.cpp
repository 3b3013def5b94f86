// Board and moves: perft counts, FEN input, game moves and what they change,
// generation order and move texts, make/unmake round trips, long games, the
// hash keys and the board picture with its pawn-shield analysis.
#include "board/error.h"
#include "board/gamemoves.h"
#include "board/limits.h"
#include "board/perft.h"
#include "board_helpers.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "unit_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <set>
#include <string_view>

namespace {

const std::string START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class Perft : public DataCase {};
TEST_P(Perft, LeafCountsMatchTheReference) {
    // Depths whose counts stay below 300,000; scripts/perft-deep.sh runs the rest.
    const std::string fen = GetParam().text.substr(0, GetParam().text.find(';'));
    Board board = fromFen(fen);
    std::istringstream counts(GetParam().text.substr(fen.size()));
    int checked = 0;
    std::string tag;
    for (std::uint64_t expected; counts >> tag >> expected && expected < 300000; ++checked)
        EXPECT_EQ(perft(board, std::stoi(tag.substr(2))), expected) << tag;
    EXPECT_GE(checked, 3);
    EXPECT_EQ(boardDifference(board, fromFen(fen)), "");
}
INSTANTIATE_DATA_CASES(BoardAndMoves, Perft, "perft.epd");

class RejectedFen : public DataCase {};
TEST_P(RejectedFen, IsRefusedAndTheGameLineKept) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    Board board = fromFen(START_FEN, "e2e4 c7c5 g1f3");
    const Board before = board;
    try {
        board.setFromFen(fields[0]);
        ADD_FAILURE() << "accepted, though " << fields.back();
    } catch (const EngineError& error) {
        EXPECT_STREQ(error.what(), "FEN PARSING FAILED");
    }
    EXPECT_EQ(boardDifference(board, before), "");
}
INSTANTIATE_DATA_CASES(BoardAndMoves, RejectedFen, "fen_rejected.txt");

class GameLine : public DataCase {};
TEST_P(GameLine, ReachesThePositionExpected) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 3u) << "expected: FEN ; moves ; facts [; FEN]";
    Board board = fromFen(fields[0]);
    std::istringstream words(fields[1]);
    for (std::string word; words >> word;) {
        const Board before = board;
        const std::uint64_t nodes = nodeCount;
        if (word == "null") {
            board.makeNullMove();
            EXPECT_EQ(nodeCount, nodes) << "a pass counts no node";
        } else if (word[0] == '!') {
            EXPECT_FALSE(playMoveText(board, word.substr(1))) << word;
            EXPECT_EQ(boardDifference(board, before), "") << word;
        } else if (word != "-") {
            ASSERT_TRUE(playMoveText(board, word)) << word;
        }
    }
    std::istringstream facts(fields[2]);
    for (std::string fact; facts >> fact;) {
        SCOPED_TRACE(fact);
        const std::string name = fact.substr(0, fact.find('=')), value = fact.substr(fact.find('=') + 1);
        int rights = 0;
        for (char letter : value) rights |= std::string_view("KQkq").find(letter) < 4 ? 1 << std::string_view("KQkq").find(letter) : 0;
        if (name == "rights") EXPECT_EQ(board.current().ooStatus, rights);
        else if (name == "ep") EXPECT_EQ(board.current().epSquare, value == "-" ? NO_SQUARE : sq(value));
        else if (name == "rule50") EXPECT_EQ(board.current().rule50, std::stoul(value));
        else if (name == "ply") EXPECT_EQ(board.ply, std::stoi(value));
        else if (name == "side") EXPECT_EQ(board.sideToMove, value == "b" ? BLACK : WHITE);
        else ADD_FAILURE() << "unknown fact";
    }
    if (fields.size() > 3) {
        EXPECT_EQ(board.hashKey(), fromFen(fields[3]).hashKey()) << "not the position of " << fields[3];
    }
    EXPECT_EQ(incrementalDifference(board), "");
}
INSTANTIATE_DATA_CASES(BoardAndMoves, GameLine, "game_lines.txt");

class Moves : public DataCase {};
TEST_P(Moves, GeneratedInOrderPrintedAndCounted) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 3u) << "expected: FEN ; moves in order ; their prints [; generated legal]";
    Board board = fromFen(fields[0]);
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    std::vector<std::string> texts, run;
    for (int i = 0; i < count; ++i) texts.push_back(moveToText(list[i], board));
    std::istringstream words(fields[1]);
    for (std::string word; words >> word;) {
        if (word[0] != '-') run.push_back(word);
        else EXPECT_EQ(std::count(texts.begin(), texts.end(), word.substr(1)), 0) << word;
    }
    const auto at = std::search(texts.begin(), texts.end(), run.begin(), run.end());
    ASSERT_TRUE(run.empty() || at != texts.end()) << "not generated one after the other";
    testing::internal::CaptureStdout();
    for (std::size_t i = 0; i < run.size(); ++i) printMove(list[at - texts.begin() + i]);
    std::string printed = testing::internal::GetCapturedStdout();
    std::replace(printed.begin(), printed.end(), '\n', ' ');
    if (fields[2] != "-") {
        EXPECT_EQ(printed, fields[2] + " ");
    }
    if (fields.size() > 3) {
        EXPECT_EQ(std::to_string(count) + " " + std::to_string(perft(board, 1)), fields[3]) << "generated and legal moves";
    }
}
INSTANTIATE_DATA_CASES(BoardAndMoves, Moves, "moves.txt");

TEST(BoardAndMoves, EveryMoveMadeAndTakenBackRestoresTheBoard) {
    std::set<std::uint32_t> kindsMade;
    const int positions = walkPerftPositions(2, [&](Board& board) {
        const Board before = board;
        board.makeNullMove();
        ASSERT_EQ(incrementalDifference(board), "") << "after a pass";
        board.unmakeNullMove();
        ASSERT_EQ(boardDifference(board, before), "") << "after taking back a pass";
        Move list[MAX_MOVES], captures[MAX_MOVES];
        int count = 0, captureCount = 0;
        board.generateMoves(list, count);
        board.generateCaptures(captures, captureCount);
        std::vector<Move> expectedCaptures;
        std::uint64_t legal = 0;
        for (int i = 0; i < count; ++i) {
            const std::uint32_t kind = moveKind(list[i]);
            if (kind == MOVE_CAPTURE || kind == MOVE_EN_PASSANT || kind == MOVE_PROMO_QUEEN || kind == MOVE_PROMO_CAPTURE_QUEEN)
                expectedCaptures.push_back(list[i]);
            // Legal or not, every generated move must round-trip.
            board.makeMove(list[i]);
            ASSERT_EQ(incrementalDifference(board), "") << "after " << moveToText(list[i], before);
            board.unmakeMove(list[i]);
            ASSERT_EQ(boardDifference(board, before), "") << "after taking back " << moveToText(list[i], before);
            if (!makeMoveIfLegal(board, list[i])) continue;
            ++legal;
            kindsMade.insert(kind);
            board.unmakeMove(list[i]);
        }
        // The captures, en-passant captures and queen promotions of the full list, in its order.
        ASSERT_EQ(std::vector<Move>(captures, captures + captureCount), expectedCaptures) << "capture list";
        ASSERT_EQ(perft(board, 1), legal) << "perft counts the last ply without making the moves";
    });
    EXPECT_GT(positions, 2000);
    for (std::uint32_t kind : {MOVE_CASTLE_SHORT, MOVE_CASTLE_LONG, MOVE_EN_PASSANT, MOVE_PROMO_KNIGHT, MOVE_PROMO_CAPTURE_QUEEN})
        EXPECT_EQ(kindsMade.count(kind), 1u) << "the walk made no move of kind " << kind;
}

TEST(BoardAndMoves, MoveListBoundFollowsFromTheMen) {
    // A side has at most a king, nine queens and two of each other piece.
    Board empty;
    empty.bitboards[BB_OCCUPIED] = 0;
    int most[6] = {};
    for (int kind = KNIGHT; kind <= KING; ++kind)
        for (Square s = 0; s < 64; ++s) most[kind] = std::max(most[kind], popCount(empty.attacksFrom(s, WHITE, PieceKind(kind))));
    const int castling = 2;
    EXPECT_EQ(MOST_PSEUDO_LEGAL_MOVES, most[KING] + castling + 9 * most[QUEEN] + 2 * (most[ROOK] + most[BISHOP] + most[KNIGHT]));
    EXPECT_GE(MAX_MOVES, MOST_PSEUDO_LEGAL_MOVES);
}

// Plays a long game; after every ply the kept history must be the tail of the
// whole game's record and hold the current reversible stretch up to the
// bound, and the search must count every repetition it holds.
struct LongGame {
    Board board;
    std::vector<HistoryEntry> record;
    int compactions = 0, cycles = 0;

    explicit LongGame(const std::string& fen) : board(fromFen(fen)), record{board.history[0]} {}

    void play(const std::string& word) {
        const int plyBefore = board.ply;
        ASSERT_TRUE(playMoveText(board, word)) << word << " at game ply " << record.size();
        record.push_back(board.current());
        compactions += board.ply < plyBefore;
        if (board.current().rule50 == 100) cycles = 0;
        ASSERT_LE(board.ply, GAME_HISTORY_TRIGGER);
        const std::size_t kept = board.ply + 1, first = record.size() - kept;
        for (std::size_t i = 0; i < kept; ++i)  // the key holds the rights and the en-passant square
            ASSERT_TRUE(board.history[i].hashKey == record[first + i].hashKey && board.history[i].rule50 == record[first + i].rule50)
                << "entry " << i << " after game ply " << record.size() - 1;
        std::size_t stretch = 1;
        while (stretch < record.size() && record[record.size() - 1 - stretch].rule50 == record.back().rule50 + stretch)
            ++stretch;
        ASSERT_GE(kept, std::min<std::size_t>(stretch, GAME_HISTORY_KEEP));
    }

    // The kings step aside and back: the position repeats after each cycle.
    void shuffleKings(int count) {
        for (int i = 0; i < count && !::testing::Test::HasFatalFailure(); ++i) {
            for (const char* word : {"e1d1", "e8d8", "d1e1", "d8e8"}) play(word);
            const int found = countRepetitions(board, INT_MAX);
            ASSERT_EQ(found, std::min(++cycles, board.ply / 4)) << "after cycle " << i;
            ASSERT_GE(found, std::min(cycles, (GAME_HISTORY_KEEP - 1) / 4));
        }
    }
};

TEST(BoardAndMoves, LongGamesKeepTheirRepetitionsWithinTheHistory) {
    // Pawn steps, each pair followed by king shuffles, then a stretch far
    // longer than what is kept.
    LongGame game("4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1");
    for (int step = 0; step < 2; ++step)
        for (char file = 'a'; file <= 'h' && !HasFatalFailure(); ++file) {
            game.play(std::string{file, char('2' + step), file, char('3' + step)});
            game.play(std::string{file, char('7' - step), file, char('6' - step)});
            game.shuffleKings(16);
        }
    game.shuffleKings(100);
    EXPECT_GE(game.compactions, 5);
    // A FEN clock above 100: the countdown has wrapped, the stretch never ends.
    LongGame wrapped("4k3/8/8/8/8/8/8/4K3 w - - 150 1");
    wrapped.shuffleKings(300);
    EXPECT_GE(wrapped.compactions, 8);
}

TEST(BoardAndMoves, HashKeysFromTheSeededTwister) {
    // The reference generator seeded with init_by_array({0x123, 0x234, 0x345,
    // 0x456}) starts 1067595299, 955945823, 477289528, 4107218783.
    EXPECT_EQ(zobristPiece[WHITE][PAWN][0], 0x3fa2362338fa935fULL);
    EXPECT_EQ(zobristSide, 0xcb65be32e4fdcf68ULL);
    EXPECT_EQ(fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1").hashKey() ^ Board().hashKey(), zobristSide);
    EXPECT_EQ(boardDifference(fromFen(START_FEN), Board()), "");
}

TEST(BoardAndMoves, BoardPictureWithItsPawnShieldAnalysis) {
    // The data file holds a FEN, then the exact picture of its position with
    // the pawn-shield analysis and a square occupied but in no piece set (a4).
    std::ifstream file(std::string(OSTREL_DATA_DIR) + "/board_picture.txt");
    std::string fen, line, expected;
    std::getline(file, fen);
    while (std::getline(file, line)) expected += line + "\n";
    Board board = fromFen(fen);
    board.bitboards[BB_OCCUPIED] |= squareBit(sq("a4"));
    testing::internal::CaptureStdout();
    board.printBoard(printPawnShieldAnalysis);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

}  // namespace
