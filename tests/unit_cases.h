// Set-up shared by the in-process tests: positions from FEN text and move words, the walk over the perft
// positions, and the facts a data-driven case expects.
#pragma once

#include "board/board.h"
#include "board_helpers.h"
#include "data_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

inline Square sq(const std::string& name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// The generated (pseudo-legal) moves in the order of generation.
inline std::vector<Move> generatedMoves(const Board& board) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    return {list, list + count};
}

// The generated move written so, NO_MOVE when there is none.
inline Move findMove(const Board& board, const std::string& text) {
    for (Move move : generatedMoves(board))
        if (moveToText(move, board) == text) return move;
    return NO_MOVE;
}

// A FEN as the data files write it: "chess960 " before it reads it with Chess960 castling.
inline void setFen(Board& board, const std::string& fen) {
    board.setFromFen(fen.substr(fen.starts_with("chess960 ") ? 9 : 0), fen.starts_with("chess960 "));
}

// The position of a FEN or "startpos" after the given moves. A bare placement gives a board no FEN would give:
// White to move, nothing checked, so a king may be missing, doubled, or in check with the other side to move.
inline Board fromFen(const std::string& fen, const std::string& moves = "") {
    Board board;
    if (fen.find(' ') != std::string::npos) {
        setFen(board, fen);
    } else if (fen != "startpos") {
        for (Bitboard& set : board.bitboards) set = 0;
        EXPECT_TRUE(board.parsePlacement(fen));
        board.history[0] = HistoryEntry{0, NO_SQUARE, 100, 0};
        board.bitboards[BB_OCCUPIED] = board.colourSet(WHITE) | board.colourSet(BLACK);
        board.bitboards[BB_EMPTY] = ~board.bitboards[BB_OCCUPIED];
        board.rebuild();
    }
    for (const std::string& word : wordsOf(moves)) {
        const Move move = findMove(board, word);
        EXPECT_NE(move, NO_MOVE) << word;
        board.makeMove(move);
    }
    return board;
}

// Visits every distinct position within `depth` plies of the perft positions (one ply less from those with more
// than 10,000 positions at depth 3), until the test fails; returns how many it visited.
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

// Checks the facts a case names, each "name=value" (or one of several values split by '|'), or for numbers
// "name<value" and "name>value". `found` gives what the test found under a name; `meaning` turns a value as
// written into such a text.
inline void expectFacts(const std::string& facts, const std::function<std::string(const std::string& name)>& found,
                        const std::function<std::string(const std::string& name, const std::string& value)>& meaning = {}) {
    for (const std::string& fact : wordsOf(facts)) {
        const std::size_t op = fact.find_first_of("=<>");
        ASSERT_NE(op, std::string::npos) << "not a fact: " << fact;
        const std::string name = fact.substr(0, op), have = found(name);
        const std::string want = meaning ? meaning(name, fact.substr(op + 1)) : fact.substr(op + 1);
        if (fact[op] == '=') EXPECT_TRUE(("|" + want + "|").find("|" + have + "|") != std::string::npos) << fact << ", found " << have;
        else EXPECT_TRUE(fact[op] == '<' ? std::stoll(have) < std::stoll(want) : std::stoll(have) > std::stoll(want))
            << fact << ", found " << have;
    }
}
