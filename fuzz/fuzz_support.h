// What every in-process fuzz target shares: the engine's tables built once, a silent standard input, output that
// goes nowhere, and checks whose message libFuzzer keeps beside the input that broke them.
#pragma once

#include "board_helpers.h"
#include "startup.h"
#include "variant.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initialiseEngine(ostrel64Variant);
    // Board pictures and protocol lines to /dev/null (libFuzzer reports on standard error); standard input the
    // read end of a pipe nobody writes to, like a GUI that stays silent while the engine polls it.
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
    int fds[2];
    if (pipe(fds) == 0) dup2(fds[0], STDIN_FILENO);
    return 0;
}

inline void require(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
    std::abort();
}

// The board equals another in everything a make and unmake must restore.
inline void requireSame(const Board& board, const Board& other, const std::string& what) {
    require(boardDifference(board, other).empty(), what + ": " + boardDifference(board, other));
}

// The incrementally kept fields equal a rebuild from the piece sets.
inline void requireConsistent(const Board& board, const std::string& what) {
    require(incrementalDifference(board).empty(), what + ": " + incrementalDifference(board));
}

inline std::set<std::string> legalMoveTexts(Board board) {
    std::set<std::string> texts;
    // Visited with the move made: its mover is the side not to move.
    forEachLegalMove(board, [&](Move move) { texts.insert(moveToText(move, opponent(board.sideToMove), board.castling)); });
    return texts;
}
