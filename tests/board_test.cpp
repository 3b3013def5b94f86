// Board and moves: the cases of tests/data/ one per line, and round trips and long games over many positions.
#include "board/error.h"
#include "board/gamemoves.h"
#include "board/limits.h"
#include "board/perft.h"
#include "eval/eval.h"
#include "search/nodes.h"
#include "unit_cases.h"

#include <climits>
#include <random>
#include <set>

namespace {

DATA_TEST(BoardAndMoves, Perft, "perft.epd", LeafCountsMatchTheReference) {
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

DATA_TEST(BoardAndMoves, RejectedFen, "fen_rejected.txt", IsRefusedAndTheGameLineKept) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    Board board = fromFen("startpos", "e2e4 c7c5 g1f3");
    const Board before = board;
    try {
        setFen(board, fields[0]);
        ADD_FAILURE() << "accepted, though " << fields.back();
    } catch (const EngineError& error) {
        EXPECT_STREQ(error.what(), "FEN PARSING FAILED");
    }
    EXPECT_EQ(boardDifference(board, before), "");
}

DATA_TEST(BoardAndMoves, GameLine, "game_lines.txt", ReachesThePositionExpected) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 3u) << "expected: FEN ; moves ; facts [; FEN]";
    Board board = fromFen(fields[0]);
    for (const std::string& word : wordsOf(fields[1])) {
        const Board before = board;
        const std::uint64_t nodes = board.nodeCount;
        if (word == "null") {
            board.makeNullMove();
            EXPECT_EQ(board.nodeCount, nodes) << "a pass counts no node";
        } else if (word[0] == '!') {
            EXPECT_FALSE(playMoveText(board, word.substr(1))) << word;
            EXPECT_EQ(boardDifference(board, before), "") << word;
        } else if (word != "-") {
            ASSERT_TRUE(playMoveText(board, word)) << word;
        }
    }
    const HistoryEntry& now = board.current();
    std::string rights, rooks;
    for (int right = 0; right < 4; ++right)
        if (now.ooStatus >> right & 1) rights += "KQkq"[right], rooks += squareName[board.castling.rights[right].rookFrom];
    const std::map<std::string, std::string> found = {{"rights", rights.empty() ? "-" : rights}, {"rooks", rooks},
        {"ep", now.epSquare == NO_SQUARE ? "-" : squareName[now.epSquare]}, {"rule50", std::to_string(now.rule50)},
        {"ply", std::to_string(board.ply)}, {"side", board.sideToMove == BLACK ? "b" : "w"},
        {"key", std::to_string(board.hashKey())}};
    expectFacts(fields[2], [&](const std::string& name) { return found.count(name) ? found.at(name) : "unknown"; });
    if (fields.size() > 3) { EXPECT_EQ(board.hashKey(), fromFen(fields[3]).hashKey()) << "not the position of " << fields[3]; }
    EXPECT_EQ(incrementalDifference(board), "");
}

DATA_TEST(BoardAndMoves, Moves, "moves.txt", GeneratedInOrderPrintedAndCounted) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_GE(fields.size(), 3u) << "expected: FEN ; moves in order ; their prints [; generated legal]";
    Board board = fromFen(fields[0]);
    const std::vector<Move> list = generatedMoves(board);
    std::vector<std::string> texts, run;
    for (Move move : list) texts.push_back(moveToText(move, board));
    for (const std::string& word : wordsOf(fields[1])) {
        if (word[0] != '-') run.push_back(word);
        else EXPECT_EQ(std::count(texts.begin(), texts.end(), word.substr(1)), 0) << word;
    }
    const auto at = std::search(texts.begin(), texts.end(), run.begin(), run.end());
    ASSERT_TRUE(run.empty() || at != texts.end()) << "not generated one after the other";
    testing::internal::CaptureStdout();
    for (std::size_t i = 0; i < run.size(); ++i) printMove(list[at - texts.begin() + i]);
    std::string printed = testing::internal::GetCapturedStdout();
    std::replace(printed.begin(), printed.end(), '\n', ' ');
    if (fields[2] != "-") { EXPECT_EQ(printed, fields[2] + " "); }
    const std::string counts = std::to_string(list.size()) + " " + std::to_string(perft(board, 1));
    if (fields.size() > 3) { EXPECT_EQ(counts, fields[3]) << "generated and legal moves"; }
}

// Every generated move, legal or not, made and taken back: the board equals a rebuild after it and itself after
// taking it back; the same for a pass. The capture list is the full list's captures, perft 1 its legal moves.
void checkEveryMoveTakenBack(Board& board, std::set<std::uint32_t>& kindsMade) {
    const Board before = board;
    board.makeNullMove();
    ASSERT_EQ(incrementalDifference(board), "") << "after a pass";
    board.unmakeNullMove();
    ASSERT_EQ(boardDifference(board, before), "") << "after taking back a pass";
    Move captures[MAX_MOVES];
    int captureCount = 0;
    board.generateCaptures(captures, captureCount);
    std::vector<Move> expectedCaptures;
    std::uint64_t legal = 0;
    for (Move move : generatedMoves(board)) {
        const std::uint32_t kind = moveKind(move);
        if (kind == MOVE_CAPTURE || kind == MOVE_EN_PASSANT || kind == MOVE_PROMO_QUEEN || kind == MOVE_PROMO_CAPTURE_QUEEN)
            expectedCaptures.push_back(move);
        board.makeMove(move);
        ASSERT_EQ(incrementalDifference(board), "") << "after " << moveToText(move, before);
        board.unmakeMove(move);
        ASSERT_EQ(boardDifference(board, before), "") << "after taking back " << moveToText(move, before);
        if (!makeMoveIfLegal(board, move)) continue;
        ++legal;
        kindsMade.insert(kind);
        board.unmakeMove(move);
    }
    ASSERT_EQ(std::vector<Move>(captures, captures + captureCount), expectedCaptures) << "capture list";
    ASSERT_EQ(perft(board, 1), legal) << "perft counts the last ply without making the moves";
}

TEST(BoardAndMoves, EveryMoveMadeAndTakenBackRestoresTheBoard) {
    std::set<std::uint32_t> kindsMade;
    const int positions = walkPerftPositions(2, [&](Board& board) { checkEveryMoveTakenBack(board, kindsMade); });
    EXPECT_GT(positions, 2000);
    for (std::uint32_t kind : {MOVE_CASTLE_SHORT, MOVE_CASTLE_LONG, MOVE_EN_PASSANT, MOVE_PROMO_KNIGHT, MOVE_PROMO_CAPTURE_QUEEN})
        EXPECT_EQ(kindsMade.count(kind), 1u) << "the walk made no move of kind " << kind;
}

// Random games from the Chess960 positions of perft.epd, castling whenever a coin says so, every move of every
// position on the way made and taken back.
TEST(BoardAndMoves, RandomChess960GamesMakeAndTakeBackEveryMove) {
    std::mt19937 random(960);
    std::set<std::uint32_t> kindsMade;
    for (const DataLine& line : readDataLines("perft.epd")) {
        for (int game = 0; game < 8 && line.text.starts_with("chess960 ") && !HasFailure(); ++game) {
            Board board = fromFen(line.text.substr(0, line.text.find(';')));
            for (int ply = 0; ply < 100 && !HasFailure(); ++ply) {
                checkEveryMoveTakenBack(board, kindsMade);
                std::vector<Move> legal;
                if (forEachLegalMove(board, [&](Move move) { legal.push_back(move); }); legal.empty()) break;
                const auto castling = std::find_if(legal.begin(), legal.end(), isCastling);
                board.makeMove(castling != legal.end() && random() % 2 ? *castling : legal[random() % legal.size()]);
            }
        }
    }
    EXPECT_EQ(kindsMade.count(MOVE_CASTLE_SHORT) + kindsMade.count(MOVE_CASTLE_LONG), 2u);
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

// Plays long games of king shuffles. After every ply the history stays within its bound yet holds the current
// reversible stretch up to what is kept, and the search counts exactly the repetitions it holds.
TEST(BoardAndMoves, LongGamesKeepTheirRepetitionsWithinTheHistory) {
    Board board;
    std::vector<std::uint64_t> stretch;  // the keys since the last pawn move
    int compactions = 0;
    const auto play = [&](const std::string& word) {
        if (HasFatalFailure()) return;
        const int plyBefore = board.ply;
        ASSERT_TRUE(playMoveText(board, word)) << word;
        compactions += board.ply < plyBefore;
        if (board.current().rule50 == 100) stretch.clear();
        stretch.push_back(board.hashKey());
        const std::size_t kept = std::min<std::size_t>(stretch.size(), board.ply + 1);
        ASSERT_LE(board.ply, GAME_HISTORY_TRIGGER);
        ASSERT_GE(kept, std::min<std::size_t>(stretch.size(), GAME_HISTORY_KEEP)) << "stretch of " << stretch.size();
        ASSERT_EQ(countRepetitions(board, INT_MAX), std::count(stretch.end() - kept, stretch.end() - 1, stretch.back()))
            << "stretch of " << stretch.size();
    };
    const auto shuffleKings = [&](int cycles) {
        for (int i = 0; i < 4 * cycles; ++i) play(std::vector<std::string>{"e1d1", "e8d8", "d1e1", "d8e8"}[i % 4]);
    };
    // Pawn steps, each pair followed by king shuffles, then a stretch far longer than what is kept.
    board = fromFen("4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1");
    for (int step = 0; step < 2; ++step)
        for (char file = 'a'; file <= 'h'; ++file) {
            play({file, char('2' + step), file, char('3' + step)});
            play({file, char('7' - step), file, char('6' - step)});
            shuffleKings(16);
        }
    shuffleKings(100);
    EXPECT_GE(compactions, 5);
    // A FEN clock above 100: the countdown has wrapped, the stretch never ends.
    board = fromFen("4k3/8/8/8/8/8/8/4K3 w - - 150 1");
    stretch = {board.hashKey()};
    shuffleKings(300);
    EXPECT_GE(compactions, 5 + 8);
}

TEST(BoardAndMoves, BoardPictureWithItsPawnShieldAnalysis) {
    // The data file holds a FEN, then the exact picture of its position with the pawn-shield analysis and a
    // square occupied but in no piece set (a4).
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
