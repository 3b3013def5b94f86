// The root of one search as the driver shapes it: the moves it may search
// ("go searchmoves"), how many best lines it wants (MultiPV), the lines each
// iteration finds, and the move to play with the move to ponder on.
#pragma once

#include "search/pv.h"

struct RootLine {
    Move move = NO_MOVE;
    int score = 0;
    PrincipalVariation pv;
};

class RootMoves {
public:
    // At most this many lines: more than any position has legal moves.
    static constexpr int MAX_LINES = 256;

    // A new search wanting `lines` lines (1 to MAX_LINES) over every root
    // move, of which the first `shown` (all when 0) are reported.
    void reset(int lines, int shown = 0);
    // Limits the root to the moves allowed this way ("searchmoves").
    void allow(Move move);
    bool allowed(Move move) const;
    // The same moves allowed as in another search's root.
    void allowLike(const RootMoves& other);
    bool restricted() const { return allowedCount_ > 0; }
    int wantedLines() const { return wanted_; }
    int shownLines() const { return shown_; }

    // The move to play and the move to ponder on. With one line they change
    // as soon as a root move beats the best one, even in an iteration that
    // is interrupted later; with several, they are the first line's once an
    // iteration has completed, so the move played begins the line shown.
    Move bestMove = NO_MOVE;
    Move ponderMove = NO_MOVE;
    // With one line: the line of the best move, for another thread to report.
    PrincipalVariation bestLine;

    // The lines of the last completed iteration, best first.
    const RootLine& line(int index) const { return lines_[1 - current_][index]; }
    int lineCount() const { return completedCount_; }

    // Used by the root search, with several lines wanted.
    void beginIteration() { lineCount_ = 0; }
    // Moves the best lines of the last completed iteration to the front of
    // the list, in their order; the other moves keep theirs.
    void putLastLinesFirst(Move* list, int count) const;
    // The score a move must beat to become one of the lines.
    int bar() const;
    // Takes a move whose score beats the bar into the lines of the iteration
    // in progress, dropping the line that falls out of the wanted number.
    RootLine& insertLine(Move move, int score);
    // The lines found become the completed ones, which order the next
    // iteration; the first gives the move to play.
    void completeIteration();

private:
    int wanted_ = 1;
    int shown_ = 1;
    Move allowed_[MAX_MOVES] = {};
    int allowedCount_ = 0;
    // Two sets of lines: those of the iteration in progress (lines_[current_])
    // and those of the last completed one, kept whole when a later
    // iteration is interrupted.
    RootLine lines_[2][MAX_LINES];
    int current_ = 0;
    int lineCount_ = 0;       // of the iteration in progress
    int completedCount_ = 0;  // of the last completed iteration
};
