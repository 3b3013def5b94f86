// Hash keys. They are drawn from the reference 32-bit Mersenne Twister with
// its array seeding (not std::seed_seq, whose seeding differs), so the keys
// and with them the transposition-table behaviour are the same on every run.
#include "board/board.h"
#include "board/limits.h"

#include <cstddef>

std::uint64_t zobristPiece[2][8][64];
std::uint64_t zobristEp[64];
std::uint64_t zobristCastle[16];
std::uint64_t zobristSide;

namespace {

// MT19937 as published by Matsumoto and Nishimura (mt19937ar.c).
class MersenneTwister {
public:
    MersenneTwister(const std::uint32_t* key, std::size_t length) { seedByArray(key, length); }

    std::uint32_t next() {
        if (index_ >= N) twist();
        std::uint32_t y = state_[index_++];
        // Tempering.
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        y ^= y >> 18;
        return y;
    }

private:
    static constexpr int N = 624;
    static constexpr int M = 397;
    static constexpr std::uint32_t MATRIX_A = 0x9908b0dfu;
    static constexpr std::uint32_t UPPER_MASK = 0x80000000u;
    static constexpr std::uint32_t LOWER_MASK = 0x7fffffffu;

    std::uint32_t state_[N];
    int index_ = N + 1;

    void seedBySingle(std::uint32_t seed) {
        state_[0] = seed;
        for (int i = 1; i < N; ++i)
            state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + std::uint32_t(i);
        index_ = N;
    }

    // init_by_array: mixes the key into a state first filled from the fixed
    // single seed, then scrambles once more and forces a non-zero state.
    void seedByArray(const std::uint32_t* key, std::size_t length) {
        seedBySingle(ZOBRIST_INITIAL_SEED);
        int i = 1;
        std::size_t j = 0;
        for (std::size_t k = (std::size_t(N) > length ? std::size_t(N) : length); k > 0; --k) {
            state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1664525u)) + key[j] + std::uint32_t(j);
            ++i;
            ++j;
            if (i >= N) {
                state_[0] = state_[N - 1];
                i = 1;
            }
            if (j >= length) j = 0;
        }
        for (int k = N - 1; k > 0; --k) {
            state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1566083941u)) - std::uint32_t(i);
            ++i;
            if (i >= N) {
                state_[0] = state_[N - 1];
                i = 1;
            }
        }
        state_[0] = 0x80000000u;
    }

    void twist() {
        static constexpr std::uint32_t mag01[2] = {0u, MATRIX_A};
        int kk = 0;
        for (; kk < N - M; ++kk) {
            const std::uint32_t y = (state_[kk] & UPPER_MASK) | (state_[kk + 1] & LOWER_MASK);
            state_[kk] = state_[kk + M] ^ (y >> 1) ^ mag01[y & 1u];
        }
        for (; kk < N - 1; ++kk) {
            const std::uint32_t y = (state_[kk] & UPPER_MASK) | (state_[kk + 1] & LOWER_MASK);
            state_[kk] = state_[kk + (M - N)] ^ (y >> 1) ^ mag01[y & 1u];
        }
        const std::uint32_t y = (state_[N - 1] & UPPER_MASK) | (state_[0] & LOWER_MASK);
        state_[N - 1] = state_[M - 1] ^ (y >> 1) ^ mag01[y & 1u];
        index_ = 0;
    }
};

std::uint64_t draw64(MersenneTwister& mt) {
    const std::uint64_t upper = mt.next();
    const std::uint64_t lower = mt.next();
    return (upper << 32) | lower;
}

}  // namespace

void initZobristKeys() {
    MersenneTwister mt(ZOBRIST_SEED_KEY, sizeof ZOBRIST_SEED_KEY / sizeof ZOBRIST_SEED_KEY[0]);

    // The drawing order is part of the key set: pieces (colour, kind 0..6,
    // square), then en passant, castling rights and the side to move.
    for (int colour = 0; colour < 2; ++colour) {
        for (int kind = 0; kind < 8; ++kind) {
            for (int square = 0; square < 64; ++square)
                zobristPiece[colour][kind][square] = kind <= EMPTY ? draw64(mt) : 0;
        }
    }
    for (auto& key : zobristEp) key = draw64(mt);
    for (auto& key : zobristCastle) key = draw64(mt);
    zobristSide = draw64(mt);
}
