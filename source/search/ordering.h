// Static exchange evaluation, move ordering and the killer moves.
#pragma once

#include "board/board.h"
#include "search/params.h"
#include "search/search.h"

// Three killer moves per ply for plies 0..63, and one slot index shared by
// every ply. Empty at start and never cleared by the search, so killers
// carry over from one search (and game) to the next. Each search thread has
// its own.
struct Killers {
    Move moves[search_params::KILLER_PLIES][search_params::KILLER_SLOTS];
    int slot = 0;

    Killers() { clear(); }
    void clear();
    // Records a quiet move (or castling) that refuted a node at this ply.
    void store(Move move, int ply);
    bool contains(Move move, int ply) const;
};

// Material balance for the side to move, in exchange values, of the best
// capture sequence on the move's destination that starts with the move itself
// (0 for a move to an empty square nobody can take, negative when the moved
// man is lost). Computed from bitboards, without making a move.
int staticExchange(const Board& board, Move move);

// Move a goes first when its ordering key is larger, ties broken by the whole
// word. The key sits in the high bits and bits 27..31 are zero, so this is
// simply the larger word first; no two moves of a list share a word, so the
// order is total and any correct sort yields the same sequence.
inline bool moveGoesBefore(Move a, Move b) { return a > b; }
// Sorts the first count moves of a list by the comparator above, in place.
void sortMoves(Move* list, int count);

// Writes the ordering key of every move into bits 19..26 and sorts the list.
// A king offered for capture (damaged positions only) is told to the host.
void orderMoves(const Board& board, Move* list, int count, Move hashMove, int ply, const Killers& killers,
                SearchHost& host);

// Hands out the moves of a list in exactly the order orderMoves gives them
// (each with its key written), but works out the keys one band at a time:
// the hash move first, then the captures that do not lose material, the
// killers, the safe quiet moves, and last every losing move. A node cut off
// early never pays for the bands it did not reach. The bands' keys do not
// overlap, so sorting each band on its own gives the order of one sort.
class MovePicker {
public:
    MovePicker(const Board& board, Move* list, int count, Move hashMove, int ply, const Killers& killers,
               SearchHost& host);
    // The next move, false when the list is done.
    bool next(Move& move);

private:
    enum class Stage { HASH, CAPTURES, KILLERS, QUIETS, LOSING, DONE };
    void prepareCaptures();
    void prepareKillers();
    void prepareQuiets();
    void prepareLosing();

    const Board& board_;
    const Killers& killers_;
    Move* list_;
    int count_;
    int ply_;
    Stage stage_;
    int next_ = 0;        // next move to hand out
    int bandEnd_ = 0;     // end of the band being handed out
    int losingBegin_;     // losing moves collect at the end of the list
};
