// Static exchange evaluation, move ordering and the killer moves.
#pragma once

#include "board/board.h"
#include "search/params.h"

// Three killer moves per ply for plies 0..63, and one slot index shared by
// every ply. Filled with NO_MOVE at start and never cleared by the search, so
// killers carry over from one search (and game) to the next.
extern Move killerMoves[search_params::KILLER_PLIES][search_params::KILLER_SLOTS];
extern int killerSlot;

void clearKillers();
// Records a quiet move (or castling) that refuted a node at this ply.
void storeKiller(Move move, int ply);

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
void orderMoves(const Board& board, Move* list, int count, Move hashMove, int ply);
