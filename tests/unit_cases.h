// Set-up shared by the in-process tests: positions from FEN text and move
// words, the walk over the perft positions, and data-driven cases named after
// their line, with the facts they expect.
#pragma once

#include "board/board.h"
#include "board_helpers.h"
#include "data_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <unordered_set>

inline Square sq(const std::string& name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// The generated (pseudo-legal) move written so, NO_MOVE when there is none.
inline Move findMove(const Board& board, const std::string& text) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i)
        if (moveToText(list[i], board) == text) return list[i];
    return NO_MOVE;
}

// The position of a FEN after the given moves. A placement alone gives a
// board no FEN is accepted for: White to move and nothing else checked, so a
// king may be missing, doubled or in check with the other side to move.
inline Board fromFen(const std::string& fen, const std::string& moves = "") {
    Board board;
    if (fen.find(' ') != std::string::npos) {
        board.setFromFen(fen);
    } else {
        for (Bitboard& set : board.bitboards) set = 0;
        EXPECT_TRUE(board.parsePlacement(fen));
        board.history[0] = HistoryEntry{0, NO_SQUARE, 100, 0};
        board.bitboards[BB_OCCUPIED] = board.colourSet(WHITE) | board.colourSet(BLACK);
        board.bitboards[BB_EMPTY] = ~board.bitboards[BB_OCCUPIED];
        board.rebuild();
    }
    std::istringstream words(moves);
    for (std::string word; words >> word;) {
        const Move move = findMove(board, word);
        EXPECT_NE(move, NO_MOVE) << word;
        board.makeMove(move);
    }
    return board;
}

// Visits every distinct position within `depth` plies of the perft positions
// (one ply less from those with more than 10,000 positions at depth 3), until
// the test fails; returns how many it visited.
inline int walkPerftPositions(int depth, const std::function<void(Board&)>& visit) {
    std::unordered_set<std::uint64_t> seen;
    std::function<void(Board&, int)> walk = [&](Board& board, int left) {
        if (seen.insert(board.hashKey()).second) visit(board);
        if (left > 0 && !::testing::Test::HasFailure()) forEachLegalMove(board, [&](Move) { walk(board, left - 1); });
    };
    for (const DataLine& line : readDataLines("perft.epd")) {
        Board board = fromFen(line.text.substr(0, line.text.find(';')));
        walk(board, std::stoull(line.text.substr(line.text.find(";D3 ") + 4)) <= 10000 ? depth : depth - 1);
    }
    return int(seen.size());
}

// Checks the facts a case names, each "name=value" (or one of several values
// split by '|'), or for numbers "name<value" and "name>value". `found` gives
// what the test found under a name; `meaning` turns a value as written into such a text.
inline void expectFacts(const std::string& facts, const std::function<std::string(const std::string& name)>& found,
                        const std::function<std::string(const std::string& name, const std::string& value)>& meaning = {}) {
    std::istringstream words(facts);
    for (std::string fact; words >> fact;) {
        const std::size_t op = fact.find_first_of("=<>");
        ASSERT_NE(op, std::string::npos) << "not a fact: " << fact;
        const std::string name = fact.substr(0, op), have = found(name);
        const std::string want = meaning ? meaning(name, fact.substr(op + 1)) : fact.substr(op + 1);
        if (fact[op] == '=') EXPECT_TRUE(("|" + want + "|").find("|" + have + "|") != std::string::npos) << fact << ", found " << have;
        else EXPECT_TRUE(fact[op] == '<' ? std::stoll(have) < std::stoll(want) : std::stoll(have) > std::stoll(want))
            << fact << ", found " << have;
    }
}

// One test per line of a file under tests/data/, named after the line:
// DATA_TEST(Group, Suite, "file.txt", Name) { ... GetParam().text ... }, or
// DATA_TEST_F with a fixture first.
inline std::string lineName(const ::testing::TestParamInfo<DataLine>& info) {
    return "line" + info.param.where.substr(info.param.where.rfind(':') + 1);
}
#define DATA_TEST_F(fixture, group, suite, file, name)                                       \
    class suite : public fixture, public ::testing::WithParamInterface<DataLine> {};        \
    INSTANTIATE_TEST_SUITE_P(group, suite, ::testing::ValuesIn(readDataLines(file)), lineName); \
    TEST_P(suite, name)
#define DATA_TEST(group, suite, file, name) DATA_TEST_F(::testing::Test, group, suite, file, name)
