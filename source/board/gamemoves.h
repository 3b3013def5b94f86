// Game moves given as coordinate text, as the "position" command replays
// them, and the legality test shared by everything outside the search that
// plays generated moves.
#pragma once

#include "board/board.h"

#include <string>

// Plays the first generated move whose text equals the word byte for byte,
// if that move is legal. Returns whether a move was played; otherwise the
// board is unchanged. Keeps a long game within the history, dropping entries
// that can no longer matter for repetitions or the fifty-move rule.
bool playMoveText(Board& board, const std::string& word);

// Drops history entries that precede the current reversible stretch or lie
// more than GAME_HISTORY_KEEP entries back, once the game has grown past
// GAME_HISTORY_TRIGGER plies. Called after every game move.
void compactGameHistory(Board& board);
