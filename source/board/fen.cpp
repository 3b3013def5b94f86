// Setting the board from a FEN text. Besides malformed fields, positions
// that the search could not handle safely are refused (missing or extra
// kings, a king that can be taken, impossible pawns, more men or promoted
// pieces than a game can give a side), and castling rights
// or an en-passant square that the position contradicts are dropped (in
// Chess960, contradicted castling rights are refused).
#include "board/board.h"
#include "board/error.h"
#include "board/limits.h"

#include <cstddef>
#include <cstring>

namespace {

const char* const FEN_FAILED = "FEN PARSING FAILED";

// Reads the text the way the classic "%s %c %s %s %u %u" scan does:
// blank-separated words, one non-blank character for the side, and
// unsigned numbers that may carry a sign (a negative clock wraps).
class FenScanner {
public:
    explicit FenScanner(const std::string& text) : text_(text) {}

    bool word(std::string& out) {
        skipBlanks();
        if (atEnd()) return false;
        const std::size_t start = pos_;
        while (!atEnd() && !isBlank(text_[pos_])) ++pos_;
        out.assign(text_, start, pos_ - start);
        return true;
    }

    bool character(char& out) {
        skipBlanks();
        if (atEnd()) return false;
        out = text_[pos_++];
        return true;
    }

    bool number(std::uint32_t& out) {
        skipBlanks();
        bool negative = false;
        if (!atEnd() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_] == '-';
            ++pos_;
        }
        if (atEnd() || text_[pos_] < '0' || text_[pos_] > '9') return false;
        // Saturate instead of overflowing; a clock this large behaves like
        // any other clock above 100.
        std::uint64_t value = 0;
        while (!atEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            const std::uint64_t digit = std::uint64_t(text_[pos_] - '0');
            value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
            ++pos_;
        }
        if (value > UINT32_MAX) value = UINT32_MAX;
        out = negative ? std::uint32_t(0u - std::uint32_t(value)) : std::uint32_t(value);
        return true;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
    bool atEnd() const { return pos_ >= text_.size(); }
    void skipBlanks() {
        while (!atEnd() && isBlank(text_[pos_])) ++pos_;
    }
};

// Chess960 castling rights. Each letter names a rook of its side (upper case
// White) on the king's rank: by its file (Shredder-FEN "HAha"), or as the
// outermost rook on that side of the king (X-FEN "KQkq", which leaves file
// letters for inner rooks). A rook right of the king castles short, left of
// it long. A letter naming no such rook, or a second rook for a right already
// named, refuses the FEN; so does any other character.
CastlingRules chess960Castling(const Board& board, const std::string& word, std::uint8_t& rights) {
    Square kings[2] = {STANDARD_KINGS[WHITE], STANDARD_KINGS[BLACK]};
    Square rooks[4] = {STANDARD_ROOKS[0], STANDARD_ROOKS[1], STANDARD_ROOKS[2], STANDARD_ROOKS[3]};
    rights = 0;
    for (const char c : word == "-" ? std::string() : word) {
        const Colour colour = c >= 'A' && c <= 'Z' ? WHITE : BLACK;
        const char letter = char(c | 0x20);
        const Square king = board.kingSquare(colour);
        const Bitboard homeRank = Bitboard{0xFF} << (colour == WHITE ? 0 : 56);
        // Rooks that may castle: on the king's rank, which must be its side's first.
        const Bitboard homeRooks = (squareBit(king) & homeRank) ? board.pieces(colour, ROOK) & homeRank : 0;
        const Bitboard right = homeRooks & ~((squareBit(king) << 1) - 1), left = homeRooks & (squareBit(king) - 1);
        Bitboard rook = 0;
        if (letter == 'k' && right) rook = squareBit(63 - std::countl_zero(right));
        else if (letter == 'q' && left) rook = squareBit(lowestSquare(left));
        else if (letter >= 'a' && letter <= 'h') rook = homeRooks & (FILE_A_SET << (letter - 'a'));
        if (!rook) throw EngineError(FEN_FAILED);
        const int index = (rook & left ? 1 : 0) + 2 * colour;
        if ((rights >> index & 1) && rooks[index] != lowestSquare(rook)) throw EngineError(FEN_FAILED);
        rights |= std::uint8_t(1u << index);
        rooks[index] = lowestSquare(rook);
        kings[colour] = king;
    }
    return castlingRules(kings, rooks, true);
}

// Whether a double push of the side that just moved can have produced this
// en-passant square: right rank, the pushed pawn in front of it, and both
// the square itself and the pawn's start square empty.
bool plausibleEpSquare(const Board& board, Square ep) {
    const Colour mover = opponent(board.sideToMove);
    const int expectedRank = board.sideToMove == WHITE ? 5 : 2;
    if (rankOf(ep) != expectedRank) return false;
    const Square pawnSquare = mover == BLACK ? ep - 8 : ep + 8;
    const Square startSquare = mover == BLACK ? ep + 8 : ep - 8;
    if (!(board.pieces(mover, PAWN) & squareBit(pawnSquare))) return false;
    return !(board.bitboards[BB_OCCUPIED] & (squareBit(ep) | squareBit(startSquare)));
}

// Whether a game can have given the side these men: at most sixteen, and no
// more pieces beyond the original set than pawns it has lost (each is a
// promotion). Moves keep this true, and the size of every move list relies
// on it (MAX_MOVES).
bool reachableMen(const Board& board, Colour side) {
    if (popCount(board.colourSet(side)) > MEN_PER_SIDE) return false;
    int promoted = 0;
    for (int kind = KNIGHT; kind <= QUEEN; ++kind) {
        const int extra = popCount(board.pieces(side, PieceKind(kind))) - ORIGINAL_MEN[kind];
        if (extra > 0) promoted += extra;
    }
    return promoted <= ORIGINAL_MEN[PAWN] - popCount(board.pieces(side, PAWN));
}

}  // namespace

bool Board::parsePlacement(const std::string& text) {
    static constexpr Square rankBase[8] = {56, 48, 40, 32, 24, 16, 8, 0};
    int group = 0;
    int file = 0;
    for (const char c : text) {
        if (c == '/') {
            // A ninth rank would run below a1.
            if (++group > 7) return false;
            file = 0;
            continue;
        }
        if (c >= '1' && c <= '8') {
            file += c - '0';
            // Too many files would spill into the next rank's squares.
            if (file > 8) return false;
            continue;
        }
        const char* const letters = "PNBRQKpnbrqk";
        const char* found = c != '\0' ? std::strchr(letters, c) : nullptr;
        if (!found) return false;
        if (file > 7) return false;
        const int index = int(found - letters);
        addPiece(index < 6 ? WHITE : BLACK, PieceKind(index % 6), rankBase[group] + file);
        file += 1;
    }
    return true;
}

void Board::setFromFen(std::string text, bool chess960) {
    // Everything is built on a copy and only assigned once the position has
    // passed every test, so a rejected FEN leaves this board as it was. The
    // copy keeps the old history above entry 0, which later moves overwrite.
    Board parsed = *this;

    // Step 1: a new line of play on an empty board.
    parsed.ply = 0;
    for (int k = PAWN; k <= KING; ++k) parsed.bitboards[k] = 0;
    parsed.bitboards[BB_WHITE] = 0;
    parsed.bitboards[BB_WHITE + BLACK] = 0;

    // Step 2: the six fields. A C string would end at a zero byte; so does the text.
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    FenScanner scanner(text);
    std::string placement, castlingWord, ep;
    char side = 0;
    std::uint32_t halfMoveClock = 0, fullMoveNumber = 0;
    if (!scanner.word(placement) || !scanner.character(side) || !scanner.word(castlingWord) || !scanner.word(ep) ||
        !scanner.number(halfMoveClock) || !scanner.number(fullMoveNumber))
        throw EngineError(FEN_FAILED);
    if (placement.size() > FEN_PLACEMENT_MAX || castlingWord.size() > FEN_CASTLING_MAX || ep.size() > FEN_EP_MAX)
        throw EngineError(FEN_FAILED);

    // Step 3: pieces.
    if (!parsed.parsePlacement(placement)) throw EngineError(FEN_FAILED);

    // Step 4: side to move.
    if (side == 'w') parsed.sideToMove = WHITE;
    else if (side == 'b') parsed.sideToMove = BLACK;
    else throw EngineError(FEN_FAILED);

    // Step 5: castling rights, any order, repeats allowed. Chess960 letters
    // are read in step 10, once the kings are known.
    HistoryEntry& root = parsed.history[0];
    root.ooStatus = 0;
    if (castlingWord != "-" && !chess960) {
        for (const char c : castlingWord) {
            switch (c) {
            case 'K': root.ooStatus |= CASTLE_WHITE_SHORT; break;
            case 'Q': root.ooStatus |= CASTLE_WHITE_LONG; break;
            case 'k': root.ooStatus |= CASTLE_BLACK_SHORT; break;
            case 'q': root.ooStatus |= CASTLE_BLACK_LONG; break;
            default: throw EngineError(FEN_FAILED);
            }
        }
    }

    // Step 6: en-passant square, "-" or a square name.
    if (ep == "-") {
        root.epSquare = NO_SQUARE;
    } else if (ep.size() == 2) {
        const int file = ep[0] - 'a';
        const int rank = ep[1] - '1';
        if (file < 0 || file > 7 || rank < 0 || rank > 7) throw EngineError(FEN_FAILED);
        root.epSquare = std::uint8_t(makeSquare(file, rank));
    } else {
        throw EngineError(FEN_FAILED);
    }

    // Step 7: the countdown; a clock above 100 wraps to a huge count on
    // purpose, so the fifty-move rule then never triggers.
    root.rule50 = 100u - halfMoveClock;
    (void)fullMoveNumber;

    // Step 8: occupancy.
    const Bitboard white = parsed.bitboards[BB_WHITE];
    const Bitboard black = parsed.bitboards[BB_WHITE + BLACK];
    parsed.bitboards[BB_OCCUPIED] = white | black;
    parsed.bitboards[BB_EMPTY] = ~parsed.bitboards[BB_OCCUPIED];

    // Step 9: positions the engine cannot search. No square may be claimed
    // twice (the kind sets must partition the occupancy), each side needs
    // exactly one king, pawns cannot stand on the first or last rank, no
    // side can have more than eight pawns (pawn-count tables end there), and
    // its men must be ones a game can give it.
    int claims = 0;
    Bitboard kinds = 0;
    for (int k = PAWN; k <= KING; ++k) {
        claims += popCount(parsed.bitboards[k]);
        kinds |= parsed.bitboards[k];
    }
    if ((white & black) || kinds != parsed.bitboards[BB_OCCUPIED] || claims != popCount(kinds))
        throw EngineError(FEN_FAILED);
    if (popCount(parsed.pieces(WHITE, KING)) != 1 || popCount(parsed.pieces(BLACK, KING)) != 1)
        throw EngineError(FEN_FAILED);
    if (parsed.bitboards[PAWN] & (promotionRank[WHITE] | promotionRank[BLACK])) throw EngineError(FEN_FAILED);
    if (popCount(parsed.pieces(WHITE, PAWN)) > MAX_PAWNS_PER_SIDE ||
        popCount(parsed.pieces(BLACK, PAWN)) > MAX_PAWNS_PER_SIDE)
        throw EngineError(FEN_FAILED);
    if (!reachableMen(parsed, WHITE) || !reachableMen(parsed, BLACK)) throw EngineError(FEN_FAILED);

    // Step 10: in standard chess, rights whose king or rook is not at home
    // could only produce castling moves that carry pieces which are not
    // there; they are dropped. Chess960 rights name their rooks, and a right
    // the position cannot give is an error.
    if (chess960) {
        parsed.castling = chess960Castling(parsed, castlingWord, root.ooStatus);
    } else {
        parsed.castling = standardCastling;
        for (int index = 0; index < 4; ++index) {
            const CastlingRight& right = standardCastling.rights[index];
            const Colour colour = Colour(index / 2);
            if (!(parsed.pieces(colour, KING) & squareBit(right.kingFrom)) ||
                !(parsed.pieces(colour, ROOK) & squareBit(right.rookFrom)))
                root.ooStatus &= std::uint8_t(~(1u << index));
        }
    }

    // Step 11: an en-passant square no double push can have left is dropped,
    // so it neither offers an impossible capture nor changes the hash.
    if (root.epSquare != NO_SQUARE && !plausibleEpSquare(parsed, root.epSquare)) root.epSquare = NO_SQUARE;

    // Step 12: derived fields and hash.
    parsed.rebuild();

    // Step 13: the side that has just moved must not be in check; its king
    // could be captured at once.
    const Colour waiting = opponent(parsed.sideToMove);
    if (parsed.isAttacked(waiting, parsed.kingSquare(waiting))) throw EngineError(FEN_FAILED);

    *this = parsed;
}
