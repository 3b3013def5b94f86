#include "search/skill.h"

#include "search/params.h"
#include "search/search.h"

#include <algorithm>
#include <cmath>

using namespace search_params;

namespace {

int interpolate(int elo, int lowElo, int highElo, int low, int high) {
    return low + (high - low) * (elo - lowElo) / (highElo - lowElo);
}

}  // namespace

SkillLevel skillLevel(int elo) {
    const SkillAnchor* anchors = SKILL_ANCHORS;
    elo = std::clamp(elo, skillMinElo(), skillMaxElo());
    int k = 0;
    while (k + 2 < SKILL_ANCHOR_COUNT && elo > anchors[k + 1].elo) ++k;
    const SkillAnchor &low = anchors[k], &high = anchors[k + 1];
    // Nodes grow geometrically between the points: interpolate their logarithm.
    const double share = double(elo - low.elo) / double(high.elo - low.elo);
    const double nodes = double(low.nodes) * std::pow(double(high.nodes) / double(low.nodes), share);
    return {std::uint64_t(nodes), SKILL_LINES, interpolate(elo, low.elo, high.elo, low.spread, high.spread),
            interpolate(elo, low.elo, high.elo, low.maxLoss, high.maxLoss)};
}

int skillMinElo() { return SKILL_ANCHORS[0].elo; }
int skillMaxElo() { return SKILL_ANCHORS[SKILL_ANCHOR_COUNT - 1].elo; }

int SkillRandom::below(int bound) {
    // xorshift64*: plenty for choosing among a few moves.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return int(((state_ * 0x2545F4914F6CDD1DULL) >> 33) % std::uint64_t(bound));
}

int chooseLine(const RootMoves& root, const SkillLevel& level, SkillRandom& random) {
    const int count = root.lineCount();
    if (count <= 1) return 0;
    const int best = root.line(0).score;
    // A mate the best line finds is played, and no line that is mated while
    // the best is not is ever considered.
    if (isMateScore(best) && best > 0) return 0;
    int chosen = 0, chosenValue = best + random.below(level.spread + 1);
    for (int k = 1; k < count; ++k) {
        const int score = root.line(k).score;
        if (best - score > level.maxLoss || (isMateScore(score) && score < 0)) break;
        const int value = score + random.below(level.spread + 1);
        if (value > chosenValue) {
            chosen = k;
            chosenValue = value;
        }
    }
    return chosen;
}
