// The position: bitboards and a square table, incrementally kept material,
// piece counts and hash key, and a per-ply history that lets the search undo
// moves and find repetitions. A plain fixed-size object without pointers.
#pragma once

#include "board/attacks.h"
#include "board/castling.h"
#include "board/types.h"

#include <cstdint>
#include <string>

// Hash keys, drawn once at start from a fixed seed so runs are reproducible.
extern std::uint64_t zobristPiece[2][8][64];
extern std::uint64_t zobristEp[64];
extern std::uint64_t zobristCastle[16];
extern std::uint64_t zobristSide;
void initZobristKeys();

inline constexpr int HISTORY_SIZE = 500;

struct HistoryEntry {
    std::uint8_t ooStatus;   // castling rights, CASTLE_* bits
    std::uint8_t epSquare;   // en-passant target, or NO_SQUARE
    std::uint32_t rule50;    // half-moves left before the fifty-move rule; 100 after a capture or pawn move
    std::uint64_t hashKey;
};

struct Board {
    Bitboard bitboards[10];           // kinds 0..5, empty, occupied, white, black
    Colour sideToMove;
    std::uint8_t squareKind[64];      // PieceKind per square, EMPTY where none
    std::uint32_t material[2];        // pawns..queens, kings not counted
    std::uint32_t nonPawnMaterial[2];
    std::uint32_t pieceCount[2][5];
    CastlingRules castling;           // which king and rooks castle, fixed when the position is set up
    HistoryEntry history[HISTORY_SIZE];
    int ply;                          // index of the entry describing the current position
    // Moves made on this board since the search driver last reset it (null
    // moves excluded): making a move is what counts a node, and each search
    // thread searches a board of its own.
    std::uint64_t nodeCount = 0;

    Board();  // the standard initial position

    void addPiece(Colour colour, PieceKind kind, Square square);
    void rebuild();

    // Throws EngineError("FEN PARSING FAILED") and leaves *this untouched when
    // the text is not a position the engine can search safely. In Chess960
    // the castling field may name the rooks, and rights it cannot give are
    // refused; in standard chess they are dropped.
    void setFromFen(std::string text, bool chess960 = false);
    bool parsePlacement(const std::string& text);
    // The diagnostic picture on standard output. The board knows nothing of
    // the evaluation; callers that want its pawn-shield analysis inside the
    // frame pass it as the appendix, printed after the "rule 50" line.
    void printBoard(void (*appendix)(const Board&) = nullptr) const;

    Bitboard attacksFrom(Square square, Colour colour, PieceKind kind) const;
    bool isAttacked(Colour colour, Square square) const;  // by the opponent of colour

    Square kingSquare(Colour c) const { return lowestSquare(bitboards[KING] & bitboards[BB_WHITE + c]); }
    bool inCheck() const { return isAttacked(sideToMove, kingSquare(sideToMove)); }
    Bitboard colourSet(Colour c) const { return bitboards[BB_WHITE + c]; }
    Bitboard pieces(Colour c, PieceKind k) const { return bitboards[k] & bitboards[BB_WHITE + c]; }
    const HistoryEntry& current() const { return history[ply]; }
    std::uint64_t hashKey() const { return history[ply].hashKey; }

    void generateMoves(Move* list, int& count) const;
    void generateCaptures(Move* list, int& count) const;

    void makeMove(Move move);
    void unmakeMove(Move move);
    void makeNullMove();
    void unmakeNullMove();
    void updateCastlingRights(Move move);
};

// Coordinate text for the GUI ("e2e4", "e7e8q", "e1g1", or in Chess960
// "e1h1"); empty for NO_MOVE. The board supplies the side that castles and
// its castling rules.
std::string moveToText(Move move, const Board& board);
// The same for a move the given side makes, whoever is to move on a board:
// the moves of a line, or a reply. The rules are those of the game's
// position, which every later position of the game shares.
std::string moveToText(Move move, Colour mover, const CastlingRules& castling);
// Whether the king's start square, the squares it crosses and its destination
// are all free of attack; castling out of or through check is refused here.
// (Into check is refused after the move is made, like any other move: in
// Chess960 the rook may have been what shielded the king's destination.)
bool castlingPathSafe(const Board& board, Move move, Colour colour);
// Makes a pseudo-legal move only when it is legal: a castling move needs a
// safe path, and no move may leave the mover's king attacked. Returns whether
// the move was made; a refused move leaves the board unchanged (a move made
// and taken back still counts as a node).
bool makeMoveIfLegal(Board& board, Move move);

// Walks the legal moves in generation order: each is made, visit(move) is
// called on the position after it, and the move is taken back.
template <class Visit>
void forEachLegalMove(Board& board, Visit&& visit) {
    Move list[MAX_MOVES];
    int count = 0;
    board.generateMoves(list, count);
    for (int i = 0; i < count; ++i) {
        if (!makeMoveIfLegal(board, list[i])) continue;
        visit(list[i]);
        board.unmakeMove(list[i]);
    }
}
void printMove(Move move);
extern const char* const squareName[64];
