// Evaluation: hand-worked values of both programs' terms, the colour symmetry over many positions, and the pawn
// cache against recomputation.
#include "eval/eval.h"
#include "eval/masks.h"
#include "unit_cases.h"
#include "variant.h"

#include <memory>
#include <optional>

namespace {

struct VariantScope {
    explicit VariantScope(const Variant& variant) { selectVariant(variant); }
    ~VariantScope() { selectVariant(ostrel64Variant); }
};

// The position mirrored top to bottom with the colours and the side to move swapped; no castling rights or
// en-passant square (the evaluation reads neither).
Board flipped(const Board& board) {
    Board mirrored = board;
    for (Bitboard& set : mirrored.bitboards) set = __builtin_bswap64(set);
    std::swap(mirrored.bitboards[BB_WHITE], mirrored.bitboards[BB_WHITE + BLACK]);
    mirrored.sideToMove = opponent(board.sideToMove);
    mirrored.ply = 0;
    mirrored.history[0] = HistoryEntry{0, NO_SQUARE, 100, 0};
    mirrored.rebuild();
    return mirrored;
}

// Bonuses between neighbouring passers are handed out in ascending square order, which the flip turns round
// rank-wise: two passers of one side on adjacent files and different ranks may earn a different count after it
// (the flip cases of the data file show this is real).
bool passerOrderMayMatter(const Board& board) {
    for (const Colour side : {WHITE, BLACK}) {
        const Bitboard own = board.pieces(side, PAWN), enemy = board.pieces(opponent(side), PAWN);
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

// The value of the position plus that of its colour mirror, which must be 0. The rules are not symmetric in two
// places. The short castled areas are not mirror images (White's holds f1, Black's f7): with a king on one of
// those four squares the shield term, a plain addend whenever it is counted, is left out of both. None where
// passers' order may matter.
std::optional<int> mirrorSum(const Board& board) {
    if (passerOrderMayMatter(board)) return std::nullopt;
    const Board mirrored = flipped(board);
    const int phase = getPhase(board);
    const Square white = board.kingSquare(WHITE), black = board.kingSquare(BLACK);
    if (phase == 0 || (white != sq("f1") && white != sq("f2") && black != sq("f7") && black != sq("f8")))
        return evaluate(board) + evaluate(mirrored);
    return evaluate(board) + evaluate(mirrored) - getPawnShieldScore(board, phase, false) - getPawnShieldScore(mirrored, phase, false);
}

// The terms a data line names, as counted by the evaluation and as asked at a phase.
struct Term { const char* name; int EvalBreakdown::*counted; int (*asked)(const Board&, int phase); };
const Term TERMS[] = {
    {"total", &EvalBreakdown::total, nullptr}, {"phase", &EvalBreakdown::phase, nullptr},
    {"tempo", &EvalBreakdown::tempo, nullptr}, {"material", &EvalBreakdown::material, nullptr},
    {"rooks", &EvalBreakdown::rookFiles, nullptr}, {"bishops", &EvalBreakdown::badBishop, getBadBishopScore},
    {"mobility", &EvalBreakdown::mobility, getMobilityScore}, {"pawns", &EvalBreakdown::pawns, [](const Board& board, int phase) { return getPawnScore(board, phase); }},
    {"king", &EvalBreakdown::kingAttack, getKingAttackScore},
    {"shield", &EvalBreakdown::pawnShield, [](const Board& board, int phase) { return getPawnShieldScore(board, phase, false); }},
};

DATA_TEST(Evaluation, Values, "evaluation.txt", AsWorkedOutByHand) {
    const std::vector<std::string> fields = splitFields(GetParam().text);
    ASSERT_EQ(fields.size(), 3u) << "expected: program ; FEN ; values";
    const bool revised = fields[0] == "ostrel32";
    VariantScope scope(revised ? ostrel32Variant : ostrel64Variant);
    const Board board = fromFen(fields[1]), mirrored = flipped(board);
    const EvalBreakdown parts = evaluateWithBreakdown(board);
    int code = 0, mirroredCode = 0;
    const bool drawn = recogniseEnding(board, code);
    EXPECT_EQ(recogniseEnding(mirrored, mirroredCode), drawn) << "a dead draw in one colour only";
    expectFacts(fields[2], [&](const std::string& name) {
        int score = 0, mirroredScore = 0;
        if (name == "ending") return std::to_string(code) + "/" + std::to_string(mirroredCode) + (drawn ? ",drawn" : "");
        if (name == "flip") return std::to_string(evaluate(board) + evaluate(mirrored));
        if (name.starts_with("race@"))  // the pawn race's score for these counts of White and Black
            return std::to_string(getUnstoppablePasserScore(std::stoi(name.substr(5)), std::stoi(name.substr(name.find(',') + 1))));
        if (name == "kpk") {
            const bool known = probeKpk(board, code, score);
            EXPECT_EQ(probeKpk(mirrored, mirroredCode, mirroredScore), known);
            EXPECT_EQ(mirroredScore, known ? -score : 0) << "the colour mirror's rule";
            return known ? std::to_string(score) : "none";
        }
        const std::size_t at = name.find('@');
        const Term* term = std::find_if(std::begin(TERMS), std::end(TERMS), [&](const Term& t) { return t.name == name.substr(0, at); });
        if (term == std::end(TERMS) || (at != std::string::npos && !term->asked)) return "unknown " + name;
        return std::to_string(at == std::string::npos ? parts.*term->counted : term->asked(board, std::stoi(name.substr(at + 1))));
    });
    EXPECT_EQ(parts.total, evaluate(board));
    const std::optional<int> sum = fields[2].find("flip=") == std::string::npos ? mirrorSum(board) : std::nullopt;
    EXPECT_EQ(sum.value_or(0), 0) << "the value plus the colour mirror's";
    testing::internal::CaptureStdout();
    printEvalBreakdown(board);
    const std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "Total: " + std::to_string(parts.total) + "\n");

    // Only the pawn term differs between the programs.
    selectVariant(revised ? ostrel64Variant : ostrel32Variant);
    const EvalBreakdown other = evaluateWithBreakdown(board);
    for (const Term& term : TERMS) {
        if (term.counted == &EvalBreakdown::pawns || term.counted == &EvalBreakdown::total) continue;
        EXPECT_EQ(other.*term.counted, parts.*term.counted) << term.name << " in the other program";
    }
}

// Near the perft positions, in each program (ostrel32's pawn term differs for the same pawns, and its walk meets
// what ostrel64's left in the cache): the colour mirror's value is the negated one where the rules are symmetric,
// and the pawn term, at the position's phase and at 0, is what recomputation gives with the cache at full size
// and at one and two slots (where every structure fights for the same entries), asked twice (to hit what was
// stored).
TEST(Evaluation, ColourMirrorAndPawnCacheOverManyPositions) {
    const auto cache = std::make_unique<PawnCache>();
    for (const Variant* variant : {&ostrel64Variant, &ostrel32Variant}) {
        VariantScope scope(*variant);
        int compared = 0, excluded = 0;
        walkPerftPositions(3, [&](Board& board) {
            const std::optional<int> sum = mirrorSum(board);
            ++(sum ? compared : excluded);
            EXPECT_EQ(sum.value_or(0), 0) << "the value plus the colour mirror's";
            for (const int phase : {getPhase(board), 0}) {
                const int expected = getPawnScore(board, phase);
                for (const std::size_t entries : {std::size_t(1), std::size_t(2), SIZE_MAX}) {
                    cache->setEntries(entries);
                    for (int call = 0; call < 2; ++call)
                        EXPECT_EQ(getPawnScore(board, phase, cache.get()), expected) << "phase " << phase << ", " << entries << " entries";
                }
            }
            if (HasFailure()) board.printBoard();
        });
        EXPECT_GT(compared, 20000) << variant->programName;
        EXPECT_LT(excluded, compared / 100);  // the exclusions stay the exception
    }
}

}  // namespace
