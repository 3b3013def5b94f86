// Evaluation tests: masks, hand-worked values of every term, the ending
// recogniser and the king-and-pawn rules with their colour mirrors, the
// ostrel32 differences, the colour-flip property over perft walks, and the
// pawn cache against recomputation.
#include "board/attacks.h"
#include "eval/eval.h"
#include "eval/masks.h"
#include "eval/tables.h"
#include "variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unordered_set>

namespace {

Board fromFen(const std::string& fen) {
    Board board;
    board.setFromFen(fen);
    return board;
}

int evaluateFen(const std::string& fen) { return evaluate(fromFen(fen)); }

Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard set = 0;
    for (const char* name : names) set |= squareBit(sq(name));
    return set;
}

// Selects a variant for one scope and restores ostrel64 afterwards.
struct VariantScope {
    explicit VariantScope(const Variant& variant) { selectVariant(variant); }
    ~VariantScope() { selectVariant(ostrel64Variant); }
    VariantScope(const VariantScope&) = delete;
    VariantScope& operator=(const VariantScope&) = delete;
};

// The position mirrored top to bottom with the colours and the side to move
// swapped (a White pawn on e2 becomes a Black pawn on e7). Castling rights and
// the en-passant square are left out: the evaluation reads neither.
std::string flippedFen(const Board& board) {
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Square source = mirror(makeSquare(file, rank));
            if (board.squareKind[source] == EMPTY) {
                ++empty;
                continue;
            }
            if (empty) fen += char('0' + empty), empty = 0;
            const char letter = "pnbrqk"[board.squareKind[source]];
            fen += (board.colourSet(WHITE) & squareBit(source)) ? letter : char(letter - 'a' + 'A');
        }
        if (empty) fen += char('0' + empty);
        if (rank) fen += '/';
    }
    return fen + (board.sideToMove == WHITE ? " b - - 0 1" : " w - - 0 1");
}

// ---------------------------------------------------------------------------
// Masks and tables
// ---------------------------------------------------------------------------

TEST(EvalMasks, KingZoneFrontSpanBackwardAndPromotion) {
    // King zones: a corner 9 squares, b2 16, c3 to f6 25.
    EXPECT_EQ(kingZone[sq("a1")], squares({"a1", "b1", "c1", "a2", "b2", "c2", "a3", "b3", "c3"}));
    EXPECT_EQ(popCount(kingZone[sq("h8")]), 9);
    EXPECT_EQ(popCount(kingZone[sq("b2")]), 16);
    EXPECT_EQ(popCount(kingZone[sq("c3")]) + popCount(kingZone[sq("f6")]), 50);

    // White e2: d3 to f8; Black d4: c3 to e1; White a2: a3 to b8; the seventh rank: rank 8 only.
    EXPECT_EQ(frontSpan[WHITE][sq("e2")], 0x3838383838380000ULL);
    EXPECT_EQ(frontSpan[BLACK][sq("d4")], squares({"c3", "d3", "e3", "c2", "d2", "e2", "c1", "d1", "e1"}));
    EXPECT_EQ(popCount(frontSpan[WHITE][sq("a2")]), 12);
    EXPECT_EQ(frontSpan[WHITE][sq("a7")], squares({"a8", "b8"}));

    // White d2, the second test: c2, e2, c3, e3 own, c5, e5 enemy; Black's mirror
    // d7. The first and third tests are worked through in the pawn-term values.
    EXPECT_EQ(backwardOwnMask[1][WHITE][sq("d2")], squares({"c2", "e2", "c3", "e3"}));
    EXPECT_EQ(backwardEnemyMask[1][WHITE][sq("d2")], squares({"c5", "e5"}));
    EXPECT_EQ(backwardOwnMask[1][BLACK][sq("d7")], squares({"c7", "e7", "c6", "e6"}));
    EXPECT_EQ(backwardEnemyMask[1][BLACK][sq("d7")], squares({"c4", "e4"}));
    // Nothing for pawns beyond their third rank, or on the other tests' rank.
    for (int test = 0; test < BACKWARD_TESTS; ++test) {
        const int whiteRank = test < 2 ? 1 : 2;
        for (Square s = 0; s < 64; ++s) {
            const Bitboard white = backwardOwnMask[test][WHITE][s] | backwardEnemyMask[test][WHITE][s];
            const Bitboard black = backwardOwnMask[test][BLACK][s] | backwardEnemyMask[test][BLACK][s];
            EXPECT_EQ(white != 0, rankOf(s) == whiteRank) << test << " " << s;
            EXPECT_EQ(black != 0, rankOf(s) == 7 - whiteRank) << test << " " << s;
        }
    }

    EXPECT_EQ(promotionSquare[WHITE][3], sq("d8"));
    EXPECT_EQ(promotionSquare[BLACK][6], sq("g1"));
}

// ---------------------------------------------------------------------------
// Hand-worked values, by term
// ---------------------------------------------------------------------------

TEST(EvalTerms, PhaseAndTempo) {
    // 16 x (2 + 2 + 2 + 10 x 1) = 256 each side.
    EXPECT_EQ(getPhase(Board()), 256);
    // A queen against a bare king: min(160, 0); queen against queen 160; rook against queen 16.
    EXPECT_EQ(getPhase(fromFen("4k3/8/8/8/8/8/8/3QK3 w - - 0 1")), 0);
    EXPECT_EQ(getPhase(fromFen("3qk3/8/8/8/8/8/8/3QK3 w - - 0 1")), 160);
    EXPECT_EQ(getPhase(fromFen("3rk3/8/8/8/8/8/8/3QK3 w - - 0 1")), 16);
    // Two rooks, a bishop and a knight: 16 x 4 = 64.
    EXPECT_EQ(getPhase(fromFen("rnb1k2r/8/8/8/8/8/8/RNBQKBNR w - - 0 1")), 64);

    // Everything but the tempo is symmetric in the initial position: 5 x 256 / 256.
    EXPECT_EQ(evaluate(Board()), 5);
    EXPECT_EQ(evaluateFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), -5);
}

TEST(EvalTerms, Material) {
    // White: Q, B, B, 8 pawns = 975 + 650 + 800 = 2425; bishop pair +50.
    // Black: R, R, N, N, 3 pawns = 1000 + 650 + 300 = 1950;
    //   rooks 2 x rookPawnAdjust[3] = 2 x 25 = 50, knights 2 x knightPawnAdjust[3] = 2 x -13 = -26,
    //   rook pair -5, knight pair -5: 50 - 26 - 10 = 14, subtracted.
    // 2425 - 1950 + 50 - 14 = 511.
    EXPECT_EQ(getMaterialScore(fromFen("rn2k1nr/ppp5/8/8/8/8/PPPPPPPP/2BQKB2 w - - 0 1")), 511);
    // Three bishops earn no pair: 975. Two do: 650 + 50 = 700.
    EXPECT_EQ(getMaterialScore(fromFen("4k3/8/8/8/8/8/8/2B1KBB1 w - - 0 1")), 975);
    EXPECT_EQ(getMaterialScore(fromFen("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1")), 700);
    // A black rook with no pawns: -(500 + rookPawnAdjust[0] 63); a white knight
    // with 8 pawns: 325 + 800 + knightPawnAdjust[8] 19. Total 1144 - 563 = 581.
    EXPECT_EQ(getMaterialScore(fromFen("4k2r/8/8/8/8/8/PPPPPPPP/4KN2 w - - 0 1")), 581);
}

TEST(EvalTerms, BishopFileParityAndRookFiles) {
    // White Bd3 (files b, d, f, h) with own pawns b2, d4, f2 there: n = 3, mg -3, eg -15.
    // Black Bc8 (files a, c, e, g) with own pawns a7, c6 there (h7 is not): n = 2, mg +2, eg +10.
    // mg -1, eg -5; phase 16 (a bishop each): (240 x -5 + 16 x -1) / 256 = -1216 / 256 = -4.
    const Board parity = fromFen("2b3k1/p6p/2p5/8/3P4/3B4/PP3P2/6K1 w - - 0 1");
    EXPECT_EQ(getPhase(parity), 16);
    EXPECT_EQ(getBadBishopScore(parity, 16), -4);
    EXPECT_EQ(getBadBishopScore(parity, 256), -1);
    EXPECT_EQ(getBadBishopScore(parity, 0), -5);

    // Rd1 on the open d-file +20; Re1 with only a black pawn on e6 +10;
    // Ra8 with only a white pawn on a2 -10; Rh8 with pawns of both colours 0.
    EXPECT_EQ(getRookFileScore(fromFen("r5kr/7p/4p3/8/8/8/P6P/3RR1K1 w - - 0 1")), 20);
    // A black rook on the open c-file: -20 more.
    EXPECT_EQ(getRookFileScore(fromFen("r1r3kr/7p/4p3/8/8/8/P6P/3RR1K1 w - - 0 1")), 0);
}

TEST(EvalTerms, Mobility) {
    // Knight a1 with own pawns on b3 and c2: no square, -50 / -50.
    EXPECT_EQ(getMobilityScore(fromFen("7k/8/8/8/8/1P6/2P5/N6K w - - 0 1"), 256), -50);
    // Knight d4, eight squares: mg 24, eg 16; phase 128: 20.
    EXPECT_EQ(getMobilityScore(fromFen("k7/8/8/8/3N4/8/8/7K w - - 0 1"), 128), 20);
    // Bishop d4 with own pawns c3, e5: c5, b6, a7, e3, f2, g1 = 6 squares (mg 12, eg 18);
    // through pawns only it reaches those and c3, e5 = 8 (mg 16, eg 8). mg 28, eg 26.
    const Board bishop = fromFen("k7/8/8/4P3/3B4/2P5/8/7K w - - 0 1");
    EXPECT_EQ(getMobilityScore(bishop, 256), 28);
    EXPECT_EQ(getMobilityScore(bishop, 0), 26);
    // Bishop c1 boxed in by b2, d2: -20; its reach through the pawns (b2, d2) then does not count.
    EXPECT_EQ(getMobilityScore(fromFen("7k/8/8/8/8/8/1P1P4/2B4K w - - 0 1"), 256), -20);
    // Queen a1 looks through the rook b1: c1-g1 5, a2-a8 7, b2-h8 7 (the black king
    // counts) = 19, mg 0, eg 38. Rook b1 looks through the queen: c1-g1 5 (not its
    // own king's h1), b2-b8 7 = 12, mg 36, eg 60. Total mg 36, eg 98.
    const Board heavy = fromFen("7k/8/8/8/8/8/8/QR5K b - - 0 1");
    EXPECT_EQ(getMobilityScore(heavy, 256), 36);
    EXPECT_EQ(getMobilityScore(heavy, 0), 98);
    // Two black rooks on the a-file see through each other (each skips the other's
    // square and its own king's): a8 6 + 6, a6 7 + 6 = 25, eg 125, subtracted.
    EXPECT_EQ(getMobilityScore(fromFen("r6k/8/r7/8/8/8/8/7K w - - 0 1"), 0), -125);
}

TEST(EvalTerms, PawnStructureAndPassers) {
    // Doubled e-pawns: kings g1/g8 cancel. e2 is behind e4, so not passed:
    // pawn mg 5, isolated (no enemy pawn on the file) -20, doubled -10 = -25.
    // e4 passed: 29; Black has no pieces and e4 is not unstoppable (4 < 2 fails). mg 4.
    const Board doubled = fromFen("6k1/8/8/8/4P3/8/4P3/6K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(doubled, 256), 4);
    // Phase 0: bare king -10 x d(g1,g8) 7 = -70;
    // e2: 10 x (3 x 6 - 2) = 160, pawn eg 12, isolated -20, doubled -20 = 132;
    // e4: 10 x (3 x 4 - 3) = 90, passed eg 41 = 131. Total 193.
    EXPECT_EQ(getPawnScore(doubled, 0), 193);
    // The whole evaluation: material 200 and the pawn term; nothing else applies.
    EXPECT_EQ(evaluate(doubled), 393);

    // Passers c4 and d5 against a black rook and an h7 pawn.
    // c4: passed 24 / 36, not unstoppable (4 < 4 fails), enemy king 4 files away: 12 / 40.
    // d5: passed 30 / 44, 3 files: 9 / 30, connected to c4: 10 / 20, protected by c4: 10 / 15.
    // h7 (Black): passed at h2 0 / 10; White has no pieces, h7 is not unstoppable.
    // mg 36 + 59 - 0 = 95; eg 76 + 109 - 10 = 175; phase 128: (175 + 95) / 2 = 135.
    const Board passers = fromFen("r5k1/7p/8/3P4/2P5/8/8/6K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(passers, 256), 95);
    EXPECT_EQ(getPawnScore(passers, 128), 135);

    // Unstoppable b6 (2 < d(h8,b8) 6) while Black keeps a knight on e6.
    // Knight e6 -> e3: -3 / -3. Kings: g1 30 / 8 against h8 -> h1 30 / 0: 0 / 8.
    // e5: passed 30 / 44, not unstoppable (3 < 3 fails), 3 files: 9 / 30.
    // b6: passed 30 / 37, unstoppable 10 / 50. mg 76, eg 166; phase 128: 121.
    const Board unstoppable = fromFen("7k/8/1P2n3/4P3/8/8/8/6K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(unstoppable, 256), 76);
    EXPECT_EQ(getPawnScore(unstoppable, 128), 121);

    // Not passed: White c4 (10 / 16) and d2 backward by the first test (own c2, e2
    // empty, black e4), enemy pawn on its file: 5 - 8 / 12 - 10.
    // Black e4 at e5: 33 / 34. Black d6 at d3: 20 / 19, backward by the third
    // test (no c6, e6, c7, e7; white c4), white pawn on its file: -8 / -10.
    // mg 10 - 3 - 33 - 12 = -38; eg 16 + 2 - 34 - 9 = -25. Phase 128: -63 / 2 = -31.
    const Board backward = fromFen("r5k1/8/3p4/8/2P1p3/8/3P4/1R4K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(backward, 256), -38);
    EXPECT_EQ(getPawnScore(backward, 128), -31);

    // Isolated pawns. a2: -15 / -13, isolated on a file without enemy pawns -20 / -20,
    // backward by the second test (no b2, b3; black b5) -16 / -10: -51 / -43.
    // h4: -13 / -7, isolated with a black pawn on the file -10 / -20: -23 / -27.
    // Black b5 at b4: 2 / 8, isolated on an open file -20 / -20: -18 / -12, subtracted.
    // Black h6 at h3: -14 / -10, isolated, closed file -10 / -20: -24 / -30, subtracted.
    // mg -51 - 23 + 18 + 24 = -32; eg -43 - 27 + 12 + 30 = -28.
    const Board isolated = fromFen("3r2k1/8/7p/1p6/7P/8/P7/3R2K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(isolated, 256), -32);
    EXPECT_EQ(getPawnScore(isolated, 128), -30);
}

TEST(EvalTerms, PawnRace) {
    EXPECT_EQ(getUnstoppablePasserScore(3, 4), 110);
    EXPECT_EQ(getUnstoppablePasserScore(5, 2), -400);
    // Differences past the table (up to 11 in a game) score like its end; equal
    // counts cannot arise in a position, score 0 and never throw.
    EXPECT_EQ(getUnstoppablePasserScore(12, 1), -600);
    EXPECT_NO_THROW(EXPECT_EQ(getUnstoppablePasserScore(5, 5), 0));

    // a5 is unstoppable (3 + 1 < 7), h7 is not (the white king stands on h1): +600.
    // eg: kings h1 / h8 0; a5: 10 x (3 x 7 - 7) = 140 + passed 19; h7: -10 x (3 x 6 - 1)
    // = -170, passed at h2 -10. eg -21, plus 600 = 579. Material and the rest are 0.
    EXPECT_EQ(evaluateFen("7k/7p/8/P7/8/8/8/7K w - - 0 1"), 579);
    EXPECT_EQ(evaluateFen("7k/7p/8/P7/8/8/8/7K b - - 0 1"), 579);

    // Both unstoppable, Black to move: White a7 counts 2 x 1 = 2, Black h7 counts
    // 2 x 6 - 1 = 11; a difference of 9 is past the table: +600.
    // eg: kings b8 8, h4 -> h5 24: -16; a7: 10 x (3 x 7 - 1) = 200 + 35;
    // h7: -10 x (3 x 6 - 3) = -150, passed -10. 59 + 600 = 659.
    EXPECT_EQ(evaluateFen("1K6/P6p/8/8/7k/8/8/8 b - - 0 1"), 659);
}

TEST(EvalTerms, KingAttack) {
    // Queen e4 hits c6, b7, a8 of the a8 king's zone: (1 + 2) x 3 = 9; it stands
    // 8 steps away, costing 8 at full phase.
    const Board queen = fromFen("k7/8/8/8/4Q3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(getKingAttackScore(queen, 0), 9);
    EXPECT_EQ(getKingAttackScore(queen, 256), 1);

    // Pawns alone: f6 hits e7, g7, h6 hits g7: 3 hits, units 1 x 3. Both pawns are on
    // or beside the g-file, 3 steps each: -6 at full phase.
    const Board pawns = fromFen("6k1/8/5P1P/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(getKingAttackScore(pawns, 0), 3);
    EXPECT_EQ(getKingAttackScore(pawns, 256), -3);

    // Black's knight f4 hits e2, g2, h3 of the g1 king's zone: (1 + 1) x 3 = 6, 4 steps away.
    EXPECT_EQ(getKingAttackScore(fromFen("4k3/8/8/8/5n2/8/8/6K1 w - - 0 1"), 256), -2);

    // A rook on the a-file looks through the other rook: a1 and a3 both hit the
    // a8 zone (a6, a7, a8): attackers 2, hits 6: 12. Distances 7 + 5 = 12 at phase 64: -3.
    EXPECT_EQ(getKingAttackScore(fromFen("k7/8/8/8/8/R7/8/R6K b - - 0 1"), 64), 9);
}

TEST(EvalTerms, PawnShield) {
    struct Case {
        const char* fen;
        int phase, value;
    };
    const Case cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 256, 0},   // e1 / e8: not castled
        {"4k3/8/8/8/8/5N2/5PPP/6K1 w - - 0 1", 128, 25},     // D with a knight on f3: 50
        {"4k3/8/8/8/8/6P1/5PBP/6K1 w - - 0 1", 256, 50},     // A with a bishop on g2
        {"4k3/8/8/8/8/6P1/4BP1P/6K1 w - - 0 1", 256, 20},    // A, the bishop on e2 does not count
        {"4k3/8/8/8/8/6PP/5PB1/6K1 w - - 0 1", 256, 40},     // G with the bishop on g2
        {"4k3/8/8/8/8/8/6P1/7K w - - 0 1", 256, 10},         // I, king h1
        {"8/5kpp/8/8/8/8/8/4K3 w - - 0 1", 256, -20},        // Black f7 is short castled: C
        {"5k2/5ppp/8/8/8/8/8/4K3 w - - 0 1", 256, 0},        // f8 is not
        {"4k3/8/8/8/8/8/PPK5/8 w - - 0 1", 256, 20},         // White c2 is long castled: C
        {"4k3/8/8/8/8/8/PP6/2K5 w - - 0 1", 256, 0},         // c1 is not
        {"4k3/8/8/8/8/8/5PPP/5K2 w - - 0 1", 256, 45},       // f1 is short castled: D alone
        {"1k6/1pp5/p1n5/8/8/8/8/4K3 w - - 0 1", 64, -11},    // Black long F (b7, c7, a6), knight c6: 47
    };
    for (const Case& c : cases) EXPECT_EQ(getPawnShieldScore(fromFen(c.fen), c.phase, false), c.value) << c.fen;

    // The debug lines of the board picture.
    testing::internal::CaptureStdout();
    printPawnShieldAnalysis(fromFen("4k3/8/8/8/8/5N2/5PPP/6K1 w - - 0 1"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "WHITE is shortcastled\nD!!\nBLACK is not castled\npawnshield val(w/b) = 50 / 0 \n");
    testing::internal::CaptureStdout();
    printPawnShieldAnalysis(fromFen("1k6/8/8/8/8/8/P7/K7 w - - 0 1"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "WHITE is longcastled\nNO PAWNSHIELD PATTERN HAS BEEN FOUND FOR WHITE\n"
              "BLACK is longcastled\nNO PAWNSHIELD PATTERN HAS BEEN FOUND FOR BLACK\n"
              "pawnshield val(w/b) = 0 / 0 \n");
}

// The "eval" command's breakdown gives evaluate()'s value and prints it as
// its last line, also where evaluate() returns early. The shield is left out at phase 0.
TEST(EvalTerms, BreakdownMatchesEvaluate) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "4k2r/8/8/8/8/8/5PPP/5RK1 w - - 0 1",   // shield 45 at phase 16
        "4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1",     // shield left out at phase 0
        "7k/p7/8/8/8/8/8/N6K w - - 0 1",        // halved
        "4k3/4P3/3K4/8/8/8/8/8 b - - 0 1",      // decided by the king-and-pawn rules
        "4k3/8/8/8/8/8/8/4K3 w - - 0 1",        // dead draw
    };
    for (const char* fen : fens) {
        const Board board = fromFen(fen);
        const EvalBreakdown parts = evaluateWithBreakdown(board);
        EXPECT_EQ(parts.total, evaluate(board)) << fen;
        testing::internal::CaptureStdout();
        printEvalBreakdown(board);
        const std::string text = testing::internal::GetCapturedStdout();
        const std::size_t lastLine = text.rfind('\n', text.size() - 2);
        EXPECT_EQ(text.substr(lastLine + 1), "Total: " + std::to_string(evaluate(board)) + "\n") << fen;
    }
    EXPECT_EQ(evaluateWithBreakdown(fromFen(fens[1])).pawnShield, 45 * 16 / 256);
    EXPECT_EQ(evaluateWithBreakdown(fromFen(fens[2])).pawnShield, 0);
}

// ---------------------------------------------------------------------------
// Ending recogniser and the king-and-pawn rules
// ---------------------------------------------------------------------------

TEST(EvalEndings, RecogniserCodesAndMirrors) {
    struct Case {
        const char* fen;   // White holds the men named first
        int code, mirroredCode;
        bool draw;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 1, 1, true},
        {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", 2, 3, true},
        {"4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", 4, 5, true},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", 6, 7, false},
        {"4k3/4p3/8/8/8/8/8/3QK3 w - - 0 1", 9, 10, false},
        {"4k3/4p3/8/8/8/8/8/R3K3 w - - 0 1", 12, 13, false},
        {"4k3/4p3/8/8/8/8/8/2B1K3 w - - 0 1", 15, 16, false},
        {"4k3/8/8/8/8/8/4P3/2B1K3 w - - 0 1", 17, 18, false},
        {"4k3/4p3/8/8/8/8/8/1N2K3 w - - 0 1", 20, 21, false},
        {"4k3/8/8/8/8/8/4P3/1N2K3 w - - 0 1", 22, 23, false},
        {"4k3/4p3/8/8/8/8/8/1N2KN2 w - - 0 1", 28, 29, false},
        {"4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", 30, 31, true},
        // Not known: two bishops, a lone rook, pawn against pawn, bishop against two pawns.
        {"4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1", 0, 0, false},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 0, 0, false},
        {"4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1", 0, 0, false},
        {"4k3/3pp3/8/8/8/8/8/2B1K3 w - - 0 1", 0, 0, false},
    };
    for (const Case& c : cases) {
        const Board board = fromFen(c.fen);
        const Board flipped = fromFen(flippedFen(board));
        ASSERT_EQ(getPhase(board), 0) << c.fen;
        int code = 0, mirroredCode = 0;
        EXPECT_EQ(recogniseEnding(board, code), c.draw) << c.fen;
        EXPECT_EQ(code, c.code) << c.fen;
        EXPECT_EQ(recogniseEnding(flipped, mirroredCode), c.draw) << c.fen;
        EXPECT_EQ(mirroredCode, c.mirroredCode) << c.fen;
        if (c.draw) {
            EXPECT_EQ(evaluate(board), 0) << c.fen;
            EXPECT_EQ(evaluate(flipped), 0) << c.fen;
        }
    }

    // Knight against pawn (code 20): material dropped, the rest halved.
    // Mobility: Na1 reaches b3, c2: eg 4. Pawn term at phase 0: knight a1 eg -30;
    // a7: -10 x (3 x 7 - 7) = -140, passed at a2 -10, not unstoppable (6 + 1 < 7
    // fails), 7 files from the white king: -70. Sum 4 - 250 = -246, halved -123.
    EXPECT_EQ(evaluateFen("7k/p7/8/8/8/8/8/N6K w - - 0 1"), -123);
    EXPECT_EQ(evaluateFen("n6k/8/8/8/8/8/P7/7K b - - 0 1"), 123);

    // Queen against queen: phase 160, the recogniser is not asked; the value is
    // the normal sum (tempo 5 x 160 / 256 = 3 among it).
    const EvalBreakdown queens = evaluateWithBreakdown(fromFen("3qk3/8/8/8/8/8/8/3QK3 w - - 0 1"));
    EXPECT_EQ(queens.phase, 160);
    EXPECT_EQ(queens.endingCode, 0);
    EXPECT_EQ(queens.tempo, 3);
}

TEST(EvalEndings, KingAndPawnRulesCaseByCase) {
    struct Case {
        const char* fen;
        bool known;
        int score;   // White-relative
    };
    // Rule numbers in the order the rule set tries them; kpkBase by the pawn's rank.
    const Case cases[] = {
        {"4k3/4P3/3K4/8/8/8/8/8 b - - 0 1", true, 855},   // 1: seventh rank, weak side to move
        {"4k3/4P3/3K4/8/8/8/8/8 w - - 0 1", true, 0},     // 2: the same, strong side to move
        {"k7/P7/1K6/8/8/8/8/8 b - - 0 1", true, 0},       // 2: 1 skips a rook pawn
        {"8/8/3k4/8/3P4/4K3/8/8 w - - 0 1", true, 0},     // 2: weak king two squares in front
        {"8/3k4/8/3K4/3P4/8/8/8 b - - 0 1", true, 779},   // 3: 4 + 775, weak side to move
        {"8/3k4/8/3K4/3P4/8/8/8 w - - 0 1", true, 0},     // 3: a draw with the strong side to move
        {"3k4/8/3K4/8/3P4/8/8/8 w - - 0 1", true, 780},   // 4: 5 + 775
        {"3k4/8/3K4/8/3P4/8/8/8 b - - 0 1", true, 780},   // 9: the same with Black to move
        {"8/8/4k3/8/3PK3/8/8/8 w - - 0 1", true, 0},      // 5: weak king diagonally ahead
        {"5k2/1K6/2P5/8/8/8/8/8 w - - 0 1", true, 825},   // 6: kpkBase[5]
        {"8/1k6/8/8/P7/2K5/8/8 w - - 0 1", true, 0},      // 7: rook pawn, weak king on the b-file
        {"8/6k1/8/8/7P/5K2/8/8 w - - 0 1", true, 0},      // 7: the same on the h-file, reflected
        {"8/1K6/8/2P3k1/8/8/8/8 w - - 0 1", true, 800},   // 8: kpkBase[4], strong side to move
        {"8/1K6/8/2P3k1/8/8/8/8 b - - 0 1", false, 0},    // 10: ranks 6 and 4, undecided
        {"8/8/1k6/8/1K6/8/1P6/8 b - - 0 1", true, 728},   // 9: 3 + 725
        {"8/8/1k6/8/1K6/8/1P6/8 w - - 0 1", true, 728},   // 4: the same with White to move
        {"8/8/8/3K1k2/8/1P6/8/8 w - - 0 1", true, 754},   // 11: one rank, strong king between
        {"8/8/8/2K5/k7/3P4/8/8 w - - 0 1", true, 754},    // 10 then 11: fs - fw = 2, strong to move
        {"8/8/8/5K2/7k/4P3/8/8 w - - 0 1", true, 754},    // 10 then 11 on the e-file, reflected
        {"8/8/8/2K5/k7/3P4/8/8 b - - 0 1", false, 0},     // 10: weak side to move, undecided
        {"8/8/8/2K5/4k3/1P6/8/8 w - - 0 1", false, 0},    // 10: fs - fw = -2 is signed, undecided
    };
    for (const Case& c : cases) {
        const Board board = fromFen(c.fen);
        int code = 0, score = 12345;
        ASSERT_FALSE(recogniseEnding(board, code)) << c.fen;
        ASSERT_EQ(code, 6) << c.fen;
        EXPECT_EQ(probeKpk(board, 6, score), c.known) << c.fen;
        if (c.known) {
            EXPECT_EQ(score, c.score) << c.fen;
            EXPECT_EQ(evaluate(board), c.score) << c.fen;
        }

        // The colour mirror: Black's pawn, code 7, the negated result.
        const Board flipped = fromFen(flippedFen(board));
        int mirroredCode = 0, mirroredScore = 12345;
        ASSERT_FALSE(recogniseEnding(flipped, mirroredCode)) << c.fen;
        ASSERT_EQ(mirroredCode, 7) << c.fen;
        EXPECT_EQ(probeKpk(flipped, 7, mirroredScore), c.known) << c.fen;
        if (c.known) {
            EXPECT_EQ(mirroredScore, -c.score) << c.fen;
        }
        EXPECT_EQ(evaluate(flipped), -evaluate(board)) << c.fen;
    }
}

// ---------------------------------------------------------------------------
// ostrel32
// ---------------------------------------------------------------------------

TEST(EvalRevised, PawnTermDifferences) {
    VariantScope scope(ostrel32Variant);

    // The passers c4 / d5 against a rook: c4 15 / 30 plus 12 / 40 for the files;
    // d5 38 / 60, 9 / 30, and one support bonus 3 / 6 (c4 is met first, one rank
    // away, and also protects it); h7 at h2 7 / 15, subtracted.
    // mg 27 + 50 - 7 = 70, eg 70 + 96 - 15 = 151; phase 128: 221 / 2 = 110.
    const Board passers = fromFen("r5k1/7p/8/3P4/2P5/8/8/6K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(passers, 256), 70);
    EXPECT_EQ(getPawnScore(passers, 128), 110);

    // Knight e6 -3 / -3; kings g1 30 / -48 against h8 -> h1 20 / -72: 10 / 24.
    // e5: 38 / 60, 3 files 9 / 30, blocked by the knight -5 / -5.
    // b6: 65 / 120, unstoppable 10 / 15. mg 124, eg 241; phase 128: 182.
    const Board unstoppable = fromFen("7k/8/1P2n3/4P3/8/8/8/6K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(unstoppable, 256), 124);
    EXPECT_EQ(getPawnScore(unstoppable, 128), 182);

    // Pawns that are not passed read the revised pawn tables, with nothing in the endgame.
    // c4 2 / 0; d2 5 / 0, backward -8 / -10; Black e4 at e5 15 / 0; d6 at d3 15 / 0,
    // backward -8 / -10. mg 2 - 3 - 15 - 7 = -23, eg -10 + 10 = 0; phase 128: -11.
    const Board backward = fromFen("r5k1/8/3p4/8/2P1p3/8/3P4/1R4K1 w - - 0 1");
    EXPECT_EQ(getPawnScore(backward, 256), -23);
    EXPECT_EQ(getPawnScore(backward, 128), -11);

    // Blockers by kind, on a white passer d5: the same man on d6 and on a square
    // off the pawn's path with the same table value (knight d6 and c5 both read 3).
    // Against a knight -5, a rook 0, a queen +5.
    auto blockCost = [](const char* blocked, const char* aside) {
        return getPawnScore(fromFen(blocked), 256) - getPawnScore(fromFen(aside), 256);
    };
    EXPECT_EQ(blockCost("7k/8/3n4/3P4/8/8/8/K7 w - - 0 1", "7k/8/8/2nP4/8/8/8/K7 w - - 0 1"), -5);
    EXPECT_EQ(blockCost("7k/8/3r4/3P4/8/8/8/K7 w - - 0 1", "7k/8/r7/3P4/8/8/8/K7 w - - 0 1"), 0);
    EXPECT_EQ(blockCost("7k/8/3q4/3P4/8/8/8/K7 w - - 0 1", "7k/8/q7/3P4/8/8/8/K7 w - - 0 1"), 5);
    // A king in front: kings a1 20 against d6 -> d3 -60: 80; d5 passed 38, not
    // unstoppable (d(d6, d8) = 2), blocked by the king -5: 113.
    EXPECT_EQ(getPawnScore(fromFen("8/8/3k4/3P4/8/8/8/K7 w - - 0 1"), 256), 113);

    // Two neighbouring passers two ranks apart, both unstoppable against a rook.
    // b3: 10 + 10; c5: 30 + 10, no support (two ranks from b3, nothing defends it);
    // kings h1 / h8 cancel: mg 60. ostrel64: b3 17 + 10; c5 25 + 10 and the
    // connected bonus 10: mg 72.
    const Board apart = fromFen("r6k/8/8/2P5/8/1P6/8/7K w - - 0 1");
    EXPECT_EQ(getPawnScore(apart, 256), 60);

    // The evaluation as a whole: only the pawn term differs between the programs.
    const Board middle = fromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    const EvalBreakdown revised = evaluateWithBreakdown(middle);
    selectVariant(ostrel64Variant);
    EXPECT_EQ(getPawnScore(apart, 256), 72);
    const EvalBreakdown standard = evaluateWithBreakdown(middle);
    EXPECT_NE(revised.pawns, standard.pawns);
    EXPECT_EQ(revised.total - revised.pawns, standard.total - standard.pawns);
}

// ---------------------------------------------------------------------------
// Colour-flip property
// ---------------------------------------------------------------------------

// Bonuses between neighbouring passers are handed out in ascending square
// order, which the flip turns round rank-wise: two passers of one side on
// adjacent files and different ranks may earn a different count after it.
// Such positions are left out (the named cases below show this is real).
bool passerOrderMayMatter(const Board& board) {
    for (int side = 0; side < 2; ++side) {
        const Bitboard own = board.pieces(Colour(side), PAWN), enemy = board.pieces(opponent(Colour(side)), PAWN);
        Bitboard passed = 0;
        for (Bitboard set = own; set;) {
            const Square q = popLowest(set);
            if (!(frontSpan[side][q] & (enemy | (own & fileMask[q])))) passed |= squareBit(q);
        }
        for (Bitboard set = passed; set;) {
            const Square q = popLowest(set);
            if (passed & adjacentFilesMask[q] & ~rankMask[q]) return true;
        }
    }
    return false;
}

// The short castled areas are not mirror images: White's holds f1 (not f2),
// Black's holds f7 (not f8). A king on one of those four squares changes the
// shield term under the flip whenever the term is counted (phase above 0).
bool kingOnUnmirroredShieldSquare(const Board& board) {
    const Square white = board.kingSquare(WHITE), black = board.kingSquare(BLACK);
    return getPhase(board) != 0 &&
           (white == sq("f1") || white == sq("f2") || black == sq("f7") || black == sq("f8"));
}

TEST(EvalFlip, NamedAsymmetries) {
    auto sumWithFlip = [](const char* fen) {
        const Board board = fromFen(fen);
        return evaluate(board) + evaluate(fromFen(flippedFen(board)));
    };
    // White king f1 is castled (pattern D, 45 at phase 16: 2); Black's mirror on f8 is not.
    EXPECT_EQ(sumWithFlip("4k2r/8/8/8/8/8/5PPP/3R1K2 w - - 0 1"), 45 * 16 / 256);
    // Passers c2, e2, d3: one connected bonus for White, two for Black's mirror
    // (blended at phase 0: 20 more for Black).
    EXPECT_EQ(sumWithFlip("4k3/8/8/8/8/3P4/2P1P3/4K3 w - - 0 1"), -20);
    // ostrel32: c3, d4 earn one support bonus, Black's c6, d5 two (eg 6).
    VariantScope scope(ostrel32Variant);
    EXPECT_EQ(sumWithFlip("4k3/8/8/8/3P4/2P5/8/4K3 w - - 0 1"), -6);
}

// Compares every position of a walk with its colour flip; counts the
// positions compared and those left out.
void walkAndCompare(Board& board, int depth, std::unordered_set<std::uint64_t>& seen, int& checked, int& excluded) {
    if (seen.insert(board.hashKey()).second) {
        if (passerOrderMayMatter(board)) {
            ++excluded;
        } else {
            const Board mirrored = fromFen(flippedFen(board));
            int value = evaluate(board), flipped = evaluate(mirrored);
            if (kingOnUnmirroredShieldSquare(board)) {
                // Compare everything but the shield term, a plain addend
                // whenever it is counted (no halving with pieces on).
                value -= getPawnShieldScore(board, getPhase(board), false);
                flipped -= getPawnShieldScore(mirrored, getPhase(board), false);
            }
            ++checked;
            if (value != -flipped) {
                ADD_FAILURE() << "flip of " << flippedFen(board) << ": " << value << " against " << flipped;
                return;
            }
        }
    }
    if (depth == 0) return;
    forEachLegalMove(board, [&](Move) { walkAndCompare(board, depth - 1, seen, checked, excluded); });
}

// Walks from every perft position (depth 3 where the walk stays small, 2 for
// the big middlegames).
void runFlipWalk(const char* program) {
    std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
    std::unordered_set<std::uint64_t> seen;
    int checked = 0, excluded = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t d3 = line.find(";D3 ");
        const bool small = d3 != std::string::npos && std::stoull(line.substr(d3 + 4)) <= 10000;
        Board board = fromFen(line.substr(0, line.find(';')));
        walkAndCompare(board, small ? 3 : 2, seen, checked, excluded);
    }
    EXPECT_GT(checked, 20000);
    EXPECT_LT(excluded, checked / 100);   // the exclusions must stay the exception
    std::printf("[ flip     ] %s: %d positions compared, %d left out by passer order\n", program, checked, excluded);
}

TEST(EvalFlip, MirroredPositionNegatesValue) {
    runFlipWalk("ostrel64");
    VariantScope scope(ostrel32Variant);
    runFlipWalk("ostrel32");
}

// ---------------------------------------------------------------------------
// The pawn cache
// ---------------------------------------------------------------------------

// Compares the pawn term of every position of a walk, with the cache at full
// size and shrunk to one and two slots (every structure then fights for the
// same entries), against recomputation without the cache. Phase 0 is asked
// too, for its king terms. The walk runs for ostrel64, then ostrel32 (whose
// term differs for the same pawns, which the full cache then still holds).
void walkPawnCache(Board& board, int depth, std::unordered_set<std::uint64_t>& seen, int& checked) {
    if (seen.insert(board.hashKey()).second) {
        for (const int phase : {getPhase(board), 0}) {
            setPawnCacheEntries(0);
            const int expected = getPawnScore(board, phase);
            for (const std::size_t entries : {std::size_t(1), std::size_t(2), SIZE_MAX}) {
                setPawnCacheEntries(entries);
                // Twice: the second call must hit what the first stored.
                for (int call = 0; call < 2; ++call) {
                    const int cached = getPawnScore(board, phase);
                    if (cached != expected) {
                        setPawnCacheEntries(SIZE_MAX);
                        FAIL() << "position key " << board.hashKey() << " (" << activeVariant().programName
                               << ", phase " << phase << ", "
                               << (entries == SIZE_MAX ? "full cache" : std::to_string(entries) + "-slot cache")
                               << "): " << cached << " against " << expected;
                    }
                }
            }
            ++checked;
        }
    }
    if (depth == 0 || ::testing::Test::HasFailure()) return;
    forEachLegalMove(board, [&](Move) { walkPawnCache(board, depth - 1, seen, checked); });
}

TEST(EvalPawnCache, SameAsRecomputation) {
    for (const Variant* variant : {&ostrel64Variant, &ostrel32Variant}) {
        VariantScope scope(*variant);
        std::ifstream in(std::string(OSTREL_DATA_DIR) + "/perft.epd");
        std::unordered_set<std::uint64_t> seen;
        int checked = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            const std::size_t d3 = line.find(";D3 ");
            const bool small = d3 != std::string::npos && std::stoull(line.substr(d3 + 4)) <= 10000;
            Board board = fromFen(line.substr(0, line.find(';')));
            walkPawnCache(board, small ? 3 : 2, seen, checked);
        }
        setPawnCacheEntries(SIZE_MAX);
        EXPECT_GT(checked, 80000);
    }
}

}  // namespace
