// The board module: hash keys, the board and its FEN reader, the picture,
// move texts, attack tables, generation order, make/unmake details and the
// game moves of the position command, long games included.
#include "board/attacks.h"
#include "board/board.h"
#include "board/error.h"
#include "board/gamemoves.h"
#include "board/limits.h"
#include "board/perft.h"
#include "board_helpers.h"
#include "data_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard set = 0;
    for (const char* name : names) set |= squareBit(makeSquare(name[0] - 'a', name[1] - '1'));
    return set;
}

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Board fromFen(const std::string& fen) {
    Board board;
    board.setFromFen(fen);
    return board;
}

bool fenRejected(const std::string& fen) {
    Board board;
    try {
        board.setFromFen(fen);
    } catch (const EngineError& error) {
        return std::string(error.what()) == "FEN PARSING FAILED";
    }
    return false;
}

std::vector<std::string> moveTexts(const Board& board, bool capturesOnly = false) {
    Move list[MAX_MOVES] = {};
    int count = 0;
    if (capturesOnly) board.generateCaptures(list, count);
    else board.generateMoves(list, count);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) texts.push_back(moveToText(list[i], board));
    return texts;
}

// Earlier occurrences of the current position inside its reversible
// stretch, scanned the way the search does: every second entry back while
// each step back adds one to the countdown.
int repetitionsOnHistory(const Board& board) {
    const HistoryEntry& now = board.history[board.ply];
    int found = 0;
    for (int i = board.ply - 2; i >= 0; i -= 2) {
        if (board.history[i].rule50 != now.rule50 + std::uint32_t(board.ply - i)) break;
        if (board.history[i].hashKey == now.hashKey) ++found;
    }
    return found;
}

// ---------------------------------------------------------------------------

TEST(HashKeys, DrawnFromReferenceTwisterInStatedOrder) {
    // The reference generator seeded with init_by_array({0x123, 0x234, 0x345,
    // 0x456}) starts 1067595299, 955945823, 477289528, 4107218783.
    EXPECT_EQ(zobristPiece[WHITE][PAWN][0], 0x3fa2362338fa935fULL);
    EXPECT_EQ(zobristPiece[WHITE][PAWN][1], 0x1c72dc38f4cf2f5fULL);
    EXPECT_EQ(zobristPiece[BLACK][PAWN][0], 0x23829142263fe2c2ULL);  // after 7 x 64 keys of white
    EXPECT_EQ(zobristEp[0], 0xbfe996daa660fc0bULL);
    EXPECT_EQ(zobristCastle[0], 0xee856e68a90831c6ULL);
    EXPECT_EQ(zobristSide, 0xcb65be32e4fdcf68ULL);

    std::set<std::uint64_t> distinct;
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < 64; ++s) {
            EXPECT_EQ(zobristPiece[c][7][s], 0u);
            for (int k = 0; k <= EMPTY; ++k) distinct.insert(zobristPiece[c][k][s]);
        }
    for (auto key : zobristEp) distinct.insert(key);
    for (auto key : zobristCastle) distinct.insert(key);
    distinct.insert(zobristSide);
    EXPECT_EQ(distinct.size(), 2u * 7 * 64 + 64 + 16 + 1);
}

TEST(BoardSetup, InitialPositionAndHashIdentities) {
    const Board board;
    EXPECT_EQ(popCount(board.bitboards[PAWN]), 16);
    EXPECT_EQ(popCount(board.bitboards[BB_OCCUPIED]), 32);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(board.material[c], 4075u);
        EXPECT_EQ(board.nonPawnMaterial[c], 3275u);
        EXPECT_EQ(board.pieceCount[c][PAWN], 8u);
        EXPECT_EQ(board.pieceCount[c][QUEEN], 1u);
    }
    EXPECT_EQ(board.history[0].ooStatus, 15);
    EXPECT_EQ(board.history[0].epSquare, NO_SQUARE);
    EXPECT_EQ(board.history[0].rule50, 100u);
    EXPECT_EQ(board.squareKind[sq("e1")], KING);
    EXPECT_EQ(board.squareKind[sq("d8")], QUEEN);
    EXPECT_EQ(board.squareKind[sq("e4")], EMPTY);

    // The start FEN gives the very same board.
    EXPECT_EQ(boardDifference(fromFen(START_FEN), board), "");

    // Only the side differs: the keys differ by exactly the side key.
    const Board black = fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(black.hashKey() ^ board.hashKey(), zobristSide);

    // The same position reached two ways hashes alike.
    Board viaMoves;
    for (const char* word : {"g1f3", "g8f6", "b1c3", "b8c6"}) ASSERT_TRUE(playMoveText(viaMoves, word));
    Board otherOrder;
    for (const char* word : {"b1c3", "b8c6", "g1f3", "g8f6"}) ASSERT_TRUE(playMoveText(otherOrder, word));
    EXPECT_EQ(viaMoves.hashKey(), otherOrder.hashKey());
    EXPECT_EQ(viaMoves.hashKey(), fromFen("r1bqkb1r/pppppppp/2n2n2/8/8/2N2N2/PPPPPPPP/R1BQKB1R w KQkq - 4 3").hashKey());
}

TEST(BoardSetup, AddPieceReportsAndSkipsBadPlacements) {
    Board board;
    const Board before = board;
    testing::internal::CaptureStdout();
    board.addPiece(WHITE, QUEEN, 64);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR in Board::addPiece() - illegal parameters");
    testing::internal::CaptureStdout();
    board.addPiece(WHITE, KNIGHT, sq("e2"));  // a white pawn stands there
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR in Board::addPiece() - piece on that square already");
    testing::internal::CaptureStdout();
    board.addPiece(BLACK, PAWN, sq("e2"));  // a pawn of either colour stands there
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR in Board::addPiece() - piece on that square already");
    EXPECT_EQ(boardDifference(board, before), "");
}

TEST(Fen, AcceptedFieldsAndTheirValues) {
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1").history[0].ooStatus, 1);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1").history[0].ooStatus, 0);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1").history[0].ooStatus, 15);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2R w kq - 0 1").history[0].ooStatus, 12);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2R w qKkKQ - 0 1").history[0].ooStatus, 15);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KKKKQQQQkkkkqqq - 0 1").history[0].ooStatus, 15);  // 15 letters

    const Board afterE4 = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(afterE4.history[0].epSquare, 20);
    EXPECT_EQ(afterE4.sideToMove, BLACK);
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 37 1").history[0].rule50, 63u);
    // A clock above 100 wraps, so the fifty-move count never runs out.
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 150 1").history[0].rule50, std::uint32_t(100u - 150u));
    // Words after the six fields are ignored; blanks of any kind separate.
    EXPECT_EQ(fromFen(std::string(START_FEN) + " moves e2e4").hashKey(), Board().hashKey());
    EXPECT_EQ(fromFen("  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\tw  KQkq -  0  1").hashKey(), Board().hashKey());
    // Short ranks leave squares empty.
    EXPECT_EQ(fromFen("4k/8/8/8/8/8/8/4K w - - 0 1").kingSquare(BLACK), sq("e8"));
}

class RejectedFen : public ::testing::TestWithParam<DataLine> {};

TEST_P(RejectedFen, IsRefusedAndKeepsThePreviousPosition) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_EQ(fields.size(), 2u) << "expected: FEN ; reason";
    EXPECT_TRUE(fenRejected(fields[0])) << fields[1];

    // A rejected FEN leaves the board exactly as it was, game line included.
    Board board;
    for (const char* word : {"e2e4", "c7c5", "g1f3"}) ASSERT_TRUE(playMoveText(board, word));
    const Board before = board;
    EXPECT_THROW(board.setFromFen(fields[0]), EngineError);
    EXPECT_EQ(boardDifference(board, before), "");
}

INSTANTIATE_TEST_SUITE_P(Data, RejectedFen, ::testing::ValuesIn(readDataLines("fen_rejected.txt")));

TEST(Fen, RejectedTextsBeyondTheDataFile) {
    EXPECT_GE(readDataLines("fen_rejected.txt").size(), 30u);
    EXPECT_TRUE(fenRejected(std::string(256, '1') + " w - - 0 1"));
    EXPECT_TRUE(fenRejected(""));
}

TEST(Fen, ContradictedRightsAndEnPassantSquaresAreDropped) {
    // Only the long white right has its king and rook at home.
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/R3K3 w KQkq - 0 1").history[0].ooStatus, CASTLE_WHITE_LONG);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R2K3R w KQkq - 0 1").history[0].ooStatus, 12);
    EXPECT_EQ(fromFen("r3k2r/8/8/8/8/8/8/R3K2B w KQkq - 0 1").history[0].ooStatus, 14);  // a bishop is no rook
    EXPECT_EQ(fromFen("r3k1bR/8/8/8/8/8/8/R3K3 w KQkq - 0 1").history[0].ooStatus, 10);  // a white rook on h8

    // Each with the same FEN without the square: dropped before hashing.
    const std::pair<const char*, const char*> dropped[] = {
        // Wrong rank for the side to move.
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e6 0 1",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"},
        // No pawn in front of it.
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq d3 0 1",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"},
        // The pawn's start square occupied.
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPP1PPPP/RNBQKBNR b KQkq e3 0 1",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPP1PPPP/RNBQKBNR b KQkq - 0 1"},
        // The square itself occupied.
        {"rnbqkbnr/pppppppp/8/8/4P3/4N3/PPPP1PPP/R1BQKBNR b KQkq e3 0 1",
         "rnbqkbnr/pppppppp/8/8/4P3/4N3/PPPP1PPP/R1BQKBNR b KQkq - 0 1"},
        // A black double push, but White to move.
        {"rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq e3 0 1",
         "rnbqkbnr/pppp1ppp/8/4p3/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"},
    };
    for (const auto& [fen, plain] : dropped) {
        const Board board = fromFen(fen);
        EXPECT_EQ(board.history[0].epSquare, NO_SQUARE) << fen;
        EXPECT_EQ(board.hashKey(), fromFen(plain).hashKey()) << fen;
    }
    EXPECT_EQ(fromFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2").history[0].epSquare,
              sq("e6"));
}

void shieldAppendix(const Board&) { std::fputs("APPENDIX\n", stdout); }

TEST(PrintBoard, ExactPicture) {
    const Board board = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 37 1");
    const std::string frame(67, '/');
    const std::string expected = "\n<" + frame + "\n" +
                                 " r  n  b  q  k  b  n  r \n\n"
                                 " p  p  p  p  p  p  p  p \n\n"
                                 " .  .  .  .  .  .  .  . \n\n"
                                 " .  .  .  .  .  .  .  . \n\n"
                                 " .  .  .  .  P  .  .  . \n\n"
                                 " .  .  .  .  .  .  .  . \n\n"
                                 " P  P  P  P  .  P  P  P \n\n"
                                 " R  N  B  Q  K  B  N  R \n\n"
                                 "player to move: Black\n"
                                 "ooStatus = 15\n"
                                 "ep square = 20\n"
                                 "rule 50 = 63\n" +
                                 frame + ">\n\n";
    testing::internal::CaptureStdout();
    board.printBoard();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);

    // The appendix goes after the countdown line, inside the frame.
    testing::internal::CaptureStdout();
    board.printBoard(shieldAppendix);
    const std::string withAppendix = testing::internal::GetCapturedStdout();
    EXPECT_NE(withAppendix.find("rule 50 = 63\nAPPENDIX\n" + frame + ">\n\n"), std::string::npos);

    // An occupied square that no piece set claims shows as a question mark.
    Board damaged = board;
    damaged.bitboards[BB_OCCUPIED] |= squareBit(sq("a4"));
    testing::internal::CaptureStdout();
    damaged.printBoard();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("\n ?  .  .  .  P "), std::string::npos);
}

TEST(MoveText, CoordinateAndDiagnosticTexts) {
    const Board white;
    const Board black = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(moveToText(NO_MOVE, white), "");
    EXPECT_EQ(moveToText(withScore(NO_MOVE, 200), white), "");
    EXPECT_EQ(moveToText(MOVE_CASTLE_SHORT, white), "e1g1");
    EXPECT_EQ(moveToText(MOVE_CASTLE_LONG, white), "e1c1");
    EXPECT_EQ(moveToText(MOVE_CASTLE_SHORT, black), "e8g8");
    EXPECT_EQ(moveToText(MOVE_CASTLE_LONG, black), "e8c8");
    EXPECT_EQ(moveToText(makeMove(MOVE_DOUBLE_PUSH, sq("e2"), sq("e4")), white), "e2e4");
    EXPECT_EQ(moveToText(makeMove(MOVE_PROMO_QUEEN, sq("e7"), sq("e8")), white), "e7e8q");
    EXPECT_EQ(moveToText(makeMove(MOVE_PROMO_CAPTURE_KNIGHT, sq("b7"), sq("a8"), ROOK), white), "b7a8n");
    EXPECT_EQ(moveToText(makeMove(MOVE_EN_PASSANT, sq("e5"), sq("d6")), white), "e5d6");

    const Move capture = makeMove(MOVE_CAPTURE, sq("d4"), sq("e5"), PAWN);
    EXPECT_TRUE(sameMove(capture, withScore(capture, 77)));
    EXPECT_FALSE(sameMove(capture, makeMove(MOVE_CAPTURE, sq("d4"), sq("e5"), KNIGHT)));

    const std::pair<Move, const char*> printed[] = {
        {makeMove(MOVE_EN_PASSANT, sq("e5"), sq("d6")), "e5xd6ep\n"},
        {makeMove(MOVE_QUIET, sq("g1"), sq("f3")), "g1-f3\n"},
        {makeMove(MOVE_PROMO_CAPTURE_QUEEN, sq("a7"), sq("b8"), KNIGHT), "a7xb8Q\n"},
        {makeMove(MOVE_PROMO_ROOK, sq("h2"), sq("h1")), "h2-h1R\n"},
        {MOVE_CASTLE_SHORT, "0-0\n"},
        {MOVE_CASTLE_LONG, "0-0-0\n"},
    };
    for (const auto& [move, text] : printed) {
        testing::internal::CaptureStdout();
        printMove(move);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), text);
    }
    EXPECT_STREQ(squareName[0], "a1");
    EXPECT_STREQ(squareName[63], "h8");
}

// Slider attacks by walking each ray, to compare the table lookups against.
Bitboard rayAttacks(Bitboard occupied, Square s, const int (*directions)[2]) {
    Bitboard attacks = 0;
    for (int d = 0; d < 4; ++d) {
        int f = fileOf(s) + directions[d][0], r = rankOf(s) + directions[d][1];
        for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += directions[d][0], r += directions[d][1]) {
            attacks |= squareBit(makeSquare(f, r));
            if (occupied & squareBit(makeSquare(f, r))) break;
        }
    }
    return attacks;
}

TEST(AttackTables, EdgeCasesAndSlidersAgainstRayWalk) {
    EXPECT_EQ(knightAttacks[sq("a1")], squares({"b3", "c2"}));
    EXPECT_EQ(knightAttacks[sq("h8")], squares({"g6", "f7"}));
    EXPECT_EQ(kingAttacks[sq("a1")], squares({"a2", "b1", "b2"}));
    EXPECT_EQ(pawnAttacks[sq("a2")][WHITE], squares({"b3"}));
    EXPECT_EQ(pawnAttacks[sq("h7")][BLACK], squares({"g6"}));
    EXPECT_EQ(pawnAttacks[sq("e8")][WHITE], 0u);
    EXPECT_EQ(pawnDoublePush[sq("e3")][WHITE], 0u);
    EXPECT_EQ(pawnDoublePush[sq("e7")][BLACK], squares({"e5"}));
    EXPECT_EQ(adjacentFilesMask[sq("a5")], fileMask[sq("b1")]);
    EXPECT_EQ(adjacentFilesMask[sq("e5")], fileMask[sq("d1")] | fileMask[sq("f1")]);
    EXPECT_EQ(reverse6(1), 32);
    EXPECT_EQ(reverse6(3), 48);
    EXPECT_EQ(manhattanDistance[sq("a1")][sq("h8")], 14);
    EXPECT_EQ(kingDistance[sq("a1")][sq("h8")], 7);
    EXPECT_EQ(kingDistance[sq("b2")][sq("c5")], 3);

    EXPECT_EQ(popCount(rookAttacks(squareBit(sq("a1")), sq("a1"))), 14);
    EXPECT_EQ(rookAttacks(squares({"a1", "a4"}), sq("a1")),
              squares({"a2", "a3", "a4", "b1", "c1", "d1", "e1", "f1", "g1", "h1"}));
    const Bitboard d1Line = squares({"b1", "d1", "g1"});
    EXPECT_EQ(int((d1Line * 0x0202020202020202ULL) >> 58), 37);
    EXPECT_EQ(rankAttacks[3][37] & rankMask[sq("d1")], squares({"b1", "c1", "e1", "f1", "g1"}));
    EXPECT_EQ(bishopAttacks(squares({"d4", "b2", "f6"}), sq("d4")),
              squares({"c3", "b2", "e5", "f6", "c5", "b6", "a7", "e3", "f2", "g1"}));

    static constexpr int rookDirections[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    static constexpr int bishopDirections[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    std::mt19937_64 random(20240601);
    for (int trial = 0; trial < 2000; ++trial) {
        // Sparse and dense occupancies alike.
        Bitboard occupied = random();
        if (trial % 2) occupied &= random();
        if (trial % 4 == 1) occupied &= random();
        for (Square s = 0; s < 64; ++s) {
            ASSERT_EQ(rookAttacks(occupied, s), rayAttacks(occupied, s, rookDirections)) << s << " " << occupied;
            ASSERT_EQ(bishopAttacks(occupied, s), rayAttacks(occupied, s, bishopDirections)) << s << " " << occupied;
        }
    }

    // isAttacked and castlingPathSafe.
    EXPECT_TRUE(fromFen("4r2k/8/8/8/8/8/8/4K3 w - - 0 1").isAttacked(WHITE, sq("e1")));
    EXPECT_FALSE(fromFen("4r2k/8/8/8/8/8/4P3/4K3 w - - 0 1").isAttacked(WHITE, sq("e1")));
    EXPECT_TRUE(fromFen("7k/8/8/8/8/3p4/8/4K3 w - - 0 1").isAttacked(WHITE, sq("e2")));
    EXPECT_FALSE(fromFen("7k/8/8/8/8/3p4/8/4K3 w - - 0 1").isAttacked(WHITE, sq("d2")));
    const Board bishopOnF1 = fromFen("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_FALSE(castlingPathSafe(bishopOnF1, MOVE_CASTLE_SHORT, WHITE));
    EXPECT_TRUE(castlingPathSafe(bishopOnF1, MOVE_CASTLE_LONG, WHITE));
    const Board onlyB1 = fromFen("r3k2r/8/8/8/8/8/b7/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(castlingPathSafe(onlyB1, MOVE_CASTLE_LONG, WHITE));
    // Castling out of check is refused on both sides.
    const Board checked = fromFen("r3k2r/8/8/1B6/8/8/8/R3K2R b KQkq - 0 1");
    EXPECT_FALSE(castlingPathSafe(checked, MOVE_CASTLE_SHORT, BLACK));
    EXPECT_FALSE(castlingPathSafe(checked, MOVE_CASTLE_LONG, BLACK));
}

TEST(Generation, FixedOrderAndSpecialMoves) {
    // Initial position: each pawn's single then double push, then knights.
    std::vector<std::string> expected;
    for (char file = 'a'; file <= 'h'; ++file) {
        expected.push_back(std::string{file} + "2" + file + "3");
        expected.push_back(std::string{file} + "2" + file + "4");
    }
    for (const char* text : {"b1a3", "b1c3", "g1f3", "g1h3"}) expected.push_back(text);
    const Board start;
    EXPECT_EQ(moveTexts(start), expected);
    EXPECT_TRUE(moveTexts(start, true).empty());

    // Promotions: pushes N, B, R, Q then captures N, B, R, Q; the capture
    // list keeps only the queen promotions.
    const Board promo = fromFen("3r3k/4P3/8/8/8/8/8/K7 w - - 0 1");
    Move list[MAX_MOVES] = {};
    int count = 0;
    promo.generateMoves(list, count);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list[i], makeMove(MOVE_PROMO_KNIGHT + i, sq("e7"), sq("e8")));
        EXPECT_EQ(list[4 + i], makeMove(MOVE_PROMO_CAPTURE_KNIGHT + i, sq("e7"), sq("d8"), ROOK));
    }
    promo.generateCaptures(list, count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0], makeMove(MOVE_PROMO_QUEEN, sq("e7"), sq("e8")));
    EXPECT_EQ(list[1], makeMove(MOVE_PROMO_CAPTURE_QUEEN, sq("e7"), sq("d8"), ROOK));

    // En passant comes right after the pawn's ordinary captures.
    Board ep = fromFen("4k3/8/8/8/3p4/2N5/4P3/4K3 w - - 0 1");
    ASSERT_TRUE(playMoveText(ep, "e2e4"));
    ep.generateMoves(list, count);
    ASSERT_GE(count, 3);
    EXPECT_EQ(list[0], makeMove(MOVE_QUIET, sq("d4"), sq("d3")));
    EXPECT_EQ(list[1], makeMove(MOVE_CAPTURE, sq("d4"), sq("c3"), KNIGHT));
    EXPECT_EQ(list[2], makeMove(MOVE_EN_PASSANT, sq("d4"), sq("e3")));

    // Castling needs only the right and an empty path: an attacked f1 does
    // not stop short castling, an occupied d1 stops the long one.
    const Board castle = fromFen("4k3/8/b7/8/8/8/8/R2QK2R w KQ - 0 1");
    castle.generateMoves(list, count);
    EXPECT_EQ(std::count(list, list + count, Move(MOVE_CASTLE_SHORT)), 1);
    EXPECT_EQ(std::count(list, list + count, Move(MOVE_CASTLE_LONG)), 0);

    // No double push over a blocked square, even to an empty destination.
    const auto blocked = moveTexts(fromFen("4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1"));
    EXPECT_EQ(std::count(blocked.begin(), blocked.end(), "e2e4"), 0);
    EXPECT_EQ(std::count(blocked.begin(), blocked.end(), "e2e3"), 0);

    // A king is never taken by promotion, while plain captures include it
    // (only in positions the FEN reader refuses, so the board is built here).
    Board raw;
    for (int k = PAWN; k <= KING; ++k) raw.bitboards[k] = 0;
    raw.bitboards[BB_WHITE] = raw.bitboards[BB_WHITE + BLACK] = 0;
    raw.addPiece(WHITE, KING, sq("a1"));
    raw.addPiece(WHITE, PAWN, sq("c7"));
    raw.addPiece(WHITE, PAWN, sq("f6"));
    raw.addPiece(BLACK, KING, sq("d8"));
    raw.addPiece(BLACK, KING, sq("e7"));
    raw.history[0].ooStatus = 0;
    raw.bitboards[BB_OCCUPIED] = raw.bitboards[BB_WHITE] | raw.bitboards[BB_WHITE + BLACK];
    raw.bitboards[BB_EMPTY] = ~raw.bitboards[BB_OCCUPIED];
    raw.rebuild();
    raw.generateMoves(list, count);
    EXPECT_EQ(std::count(list, list + count, makeMove(MOVE_CAPTURE, sq("f6"), sq("e7"), KING)), 1);
    for (int i = 0; i < count; ++i) EXPECT_FALSE(isPromotion(list[i]) && isCapture(list[i]));
}

// Positions with the most moves known: every generated move fits the list,
// and the counts are right.
class MoveCount : public ::testing::TestWithParam<DataLine> {};

TEST_P(MoveCount, GeneratedAndLegalMovesFitTheList) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_EQ(fields.size(), 3u) << "expected: FEN ; generated ; legal";
    Board board = fromFen(fields[0]);
    Move list[MAX_MOVES] = {};
    int count = 0;
    board.generateMoves(list, count);
    EXPECT_EQ(count, std::stoi(fields[1]));
    EXPECT_EQ(perft(board, 1), std::stoull(fields[2]));
    int captures = 0;
    board.generateCaptures(list, captures);
    EXPECT_LE(captures, count);
}

INSTANTIATE_TEST_SUITE_P(Data, MoveCount, ::testing::ValuesIn(readDataLines("move_counts.txt")));

TEST(Generation, MoveListBoundFollowsFromTheMen) {
    // The most moves of each kind on an empty board, from the attack tables:
    // a side has at most a king, nine queens and two of each other piece.
    Board empty;
    empty.bitboards[BB_OCCUPIED] = 0;
    int most[6] = {};
    for (int kind = KNIGHT; kind <= KING; ++kind)
        for (Square s = 0; s < 64; ++s)
            most[kind] = std::max(most[kind], popCount(empty.attacksFrom(s, WHITE, PieceKind(kind))));
    const int castling = 2;
    EXPECT_EQ(MOST_PSEUDO_LEGAL_MOVES,
              most[KING] + castling + 9 * most[QUEEN] + 2 * (most[ROOK] + most[BISHOP] + most[KNIGHT]));
    EXPECT_GE(MAX_MOVES, MOST_PSEUDO_LEGAL_MOVES);
}

TEST(MakeMove, DocumentedEffects) {
    // Double push: en-passant square, countdown reset, hash as from the FEN.
    Board board;
    ASSERT_TRUE(playMoveText(board, "e2e4"));
    EXPECT_EQ(board.history[1].epSquare, 20);
    EXPECT_EQ(board.history[1].rule50, 100u);
    EXPECT_EQ(board.hashKey(), fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1").hashKey());

    // A knight out and back: start hash again, countdown four lower.
    Board knights;
    for (const char* word : {"g1f3", "g8f6", "f3g1", "f6g8"}) ASSERT_TRUE(playMoveText(knights, word));
    EXPECT_EQ(knights.hashKey(), Board().hashKey());
    EXPECT_EQ(knights.current().rule50, 96u);
    EXPECT_EQ(repetitionsOnHistory(knights), 1);

    // Short castling.
    Board castle = fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 10 1");
    ASSERT_TRUE(playMoveText(castle, "e1g1"));
    EXPECT_EQ(castle.squareKind[sq("g1")], KING);
    EXPECT_EQ(castle.squareKind[sq("f1")], ROOK);
    EXPECT_EQ(castle.squareKind[sq("e1")], EMPTY);
    EXPECT_EQ(castle.squareKind[sq("h1")], EMPTY);
    EXPECT_EQ(castle.current().ooStatus, 12);
    EXPECT_EQ(castle.current().rule50, 89u);
    EXPECT_EQ(castle.hashKey(), fromFen("r3k2r/8/8/8/8/8/8/R4RK1 b kq - 11 1").hashKey());

    // A black rook taking on h1 ends White's short right.
    Board corner = fromFen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
    ASSERT_TRUE(playMoveText(corner, "h8h1"));
    EXPECT_EQ(corner.current().ooStatus, CASTLE_WHITE_LONG | CASTLE_BLACK_LONG);

    // En passant removes the pawn behind the destination; unmake restores it.
    Board ep = fromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Board beforeEp = ep;
    const Move take = makeMove(MOVE_EN_PASSANT, sq("e5"), sq("d6"));
    ep.makeMove(take);
    EXPECT_EQ(ep.squareKind[sq("d5")], EMPTY);
    EXPECT_EQ(ep.pieceCount[BLACK][PAWN], 0u);
    EXPECT_EQ(ep.material[BLACK], 0u);
    EXPECT_EQ(ep.hashKey(), fromFen("4k3/8/3P4/8/8/8/8/4K3 b - - 0 1").hashKey());
    ep.unmakeMove(take);
    EXPECT_EQ(boardDifference(ep, beforeEp), "");

    // Promotion with capture.
    Board promo = fromFen("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    const Board beforePromo = promo;
    const Move promote = makeMove(MOVE_PROMO_CAPTURE_QUEEN, sq("a7"), sq("b8"), ROOK);
    promo.makeMove(promote);
    EXPECT_EQ(promo.pieceCount[WHITE][PAWN], 0u);
    EXPECT_EQ(promo.pieceCount[WHITE][QUEEN], 1u);
    EXPECT_EQ(promo.pieceCount[BLACK][ROOK], 0u);
    EXPECT_EQ(promo.nonPawnMaterial[WHITE], 975u);
    EXPECT_EQ(promo.hashKey(), fromFen("1Q2k3/8/8/8/8/8/8/4K3 b - - 0 1").hashKey());
    promo.unmakeMove(promote);
    EXPECT_EQ(boardDifference(promo, beforePromo), "");

    // A null move touches only ply, side, en-passant square, countdown, hash.
    Board null = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 5 1");
    const Board beforeNull = null;
    const std::uint64_t counted = nodeCount;
    null.makeNullMove();
    EXPECT_EQ(nodeCount, counted);
    EXPECT_EQ(null.ply, 1);
    EXPECT_EQ(null.sideToMove, WHITE);
    EXPECT_EQ(null.current().epSquare, NO_SQUARE);
    EXPECT_EQ(null.current().rule50, 94u);
    EXPECT_EQ(null.hashKey(), beforeNull.hashKey() ^ zobristSide ^ zobristEp[20]);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(null.bitboards[i], beforeNull.bitboards[i]);
    null.unmakeNullMove();
    EXPECT_EQ(boardDifference(null, beforeNull), "");

    board.makeMove(makeMove(MOVE_QUIET, sq("g8"), sq("f6")));
    EXPECT_EQ(nodeCount, counted + 1);
}

TEST(GameMoves, WordsAreMatchedExactlyAndPlayedOnlyWhenLegal) {
    Board board;
    for (const char* word : {"moves", "e2e4", "E7E5", "e7e5", "e1e2x", ""}) playMoveText(board, word);
    EXPECT_EQ(board.ply, 2);
    EXPECT_EQ(board.hashKey(), fromFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2").hashKey());

    // Promotions must be written in lower case.
    Board promo = fromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(playMoveText(promo, "a7a8Q"));
    EXPECT_EQ(promo.ply, 0);
    EXPECT_TRUE(playMoveText(promo, "a7a8q"));
    EXPECT_EQ(promo.squareKind[sq("a8")], QUEEN);

    // A pinned bishop stays; the king can step aside.
    Board pinned = fromFen("k3r3/8/8/8/8/8/4B3/4K3 w - - 0 1");
    const Board beforePin = pinned;
    EXPECT_FALSE(playMoveText(pinned, "e2d3"));
    EXPECT_EQ(boardDifference(pinned, beforePin), "");
    EXPECT_TRUE(playMoveText(pinned, "e1d1"));

    // Castling across an attacked square is refused, across only an
    // attacked b1 it is played.
    Board castle = fromFen("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq - 0 1");
    const Board beforeCastle = castle;
    EXPECT_FALSE(playMoveText(castle, "e1g1"));
    EXPECT_EQ(boardDifference(castle, beforeCastle), "");
    Board longCastle = fromFen("r3k2r/8/8/8/8/8/b7/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(playMoveText(longCastle, "e1c1"));
    EXPECT_EQ(longCastle.squareKind[sq("c1")], KING);
    EXPECT_EQ(longCastle.squareKind[sq("d1")], ROOK);
    EXPECT_TRUE(playMoveText(longCastle, "e8g8"));
    EXPECT_EQ(longCastle.squareKind[sq("g8")], KING);
}

// Plays a long game and checks after every ply that the kept history is the
// tail of the full game record, covers the current reversible stretch (up to
// the bound), and leaves room for a search above it.
class LongGame {
public:
    explicit LongGame(const std::string& fen) {
        board.setFromFen(fen);
        record.push_back(board.history[0]);
    }

    void play(const std::string& word) {
        ASSERT_TRUE(playMoveText(board, word)) << word << " at game ply " << record.size();
        if (board.current().rule50 == 100) cyclesInStretch = 0;
        record.push_back(board.history[board.ply]);
        if (board.ply < lastPly) ++compactions;
        lastPly = board.ply;

        ASSERT_LE(board.ply, GAME_HISTORY_TRIGGER);
        const std::size_t kept = std::size_t(board.ply) + 1;
        ASSERT_LE(kept, record.size());
        for (std::size_t i = 0; i < kept; ++i) {
            const HistoryEntry& have = board.history[i];
            const HistoryEntry& want = record[record.size() - kept + i];
            ASSERT_TRUE(have.hashKey == want.hashKey && have.rule50 == want.rule50 &&
                        have.ooStatus == want.ooStatus && have.epSquare == want.epSquare)
                << "entry " << i << " after game ply " << record.size() - 1;
        }
        std::size_t stretch = 1;
        while (stretch < record.size() &&
               record[record.size() - 1 - stretch].rule50 == record.back().rule50 + std::uint32_t(stretch))
            ++stretch;
        ASSERT_GE(kept, std::min<std::size_t>(stretch, GAME_HISTORY_KEEP));
    }

    // Kings step aside and back: the position after each cycle repeats.
    void shuffleKings(int cycles) {
        for (int i = 0; i < cycles; ++i) {
            for (const char* word : {"e1d1", "e8d8", "d1e1", "d8e8"}) play(word);
            const int n = ++cyclesInStretch;
            // Every earlier occurrence inside the kept part is found, and at
            // least those of the last 127 plies are always kept.
            const int found = repetitionsOnHistory(board);
            ASSERT_EQ(found, std::min(n, board.ply / 4));
            ASSERT_GE(found, std::min(n, (GAME_HISTORY_KEEP - 1) / 4));
        }
    }

    Board board;
    std::vector<HistoryEntry> record;
    int compactions = 0;
    int lastPly = 0;
    int cyclesInStretch = 0;
};

TEST(GameMoves, LongGameKeepsRepetitionsWithinTheHistory) {
    LongGame game("4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1");
    // Sixteen pawn steps per side, each pair followed by a king shuffle.
    for (int step = 0; step < 2; ++step) {
        for (char file = 'a'; file <= 'h'; ++file) {
            game.play(std::string{file} + char('2' + step) + file + char('3' + step));
            game.play(std::string{file} + char('7' - step) + file + char('6' - step));
            game.shuffleKings(16);
            if (testing::Test::HasFatalFailure()) return;
        }
    }
    // Then a stretch far longer than what is kept.
    game.shuffleKings(100);
    EXPECT_GE(game.record.size(), 1400u);
    EXPECT_GE(game.compactions, 5);
    EXPECT_EQ(game.board.pieceCount[WHITE][PAWN], 8u);
    EXPECT_EQ(game.board.pieceCount[BLACK][PAWN], 8u);
}

TEST(GameMoves, WrappedCountdownIsStillBounded) {
    // A FEN clock above 100: the countdown has wrapped, the stretch never ends.
    LongGame game("4k3/8/8/8/8/8/8/4K3 w - - 150 1");
    game.shuffleKings(300);
    EXPECT_EQ(game.record.size(), 1201u);
    EXPECT_GE(game.compactions, 8);
    EXPECT_LE(game.board.ply, GAME_HISTORY_TRIGGER);
}

}  // namespace
