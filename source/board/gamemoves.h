// Game moves given as coordinate text, as the "position" command replays
// them, and the legality test shared by everything outside the search that
// plays generated moves.
#pragma once

#include "board/board.h"

#include <string>

// Makes a pseudo-legal move only when it is legal: a castling move needs a
// safe path, and no move may leave the mover's king attacked. Returns whether
// the move was made; a refused move leaves the board unchanged.
bool makeMoveIfLegal(Board& board, Move move);

// Plays the first generated move whose text equals the word byte for byte,
// if that move is legal. Returns whether a move was played; otherwise the
// board is unchanged. Keeps a long game within the history, dropping entries
// that can no longer matter for repetitions or the fifty-move rule.
bool playMoveText(Board& board, const std::string& word);

// Drops history entries that precede the current reversible stretch or lie
// more than GAME_HISTORY_KEEP entries back, once the game has grown past
// GAME_HISTORY_TRIGGER plies. Called after every game move.
void compactGameHistory(Board& board);
