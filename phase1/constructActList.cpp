// Randomised serial construction of one activity list: place by place, one eligible activity is
// chosen by biased sampling on the latest finish, by a uniform choice or by following an elite list.
// Invariant: eligList[1..eligCount] and eligSet hold the same activities, those not yet placed whose
// transitive predecessors are all placed; so every list built is precedence-feasible.
#include <cstdio>

#include "phase1/phase1.h"
#include "project/check.h"
#include "project/platform.h"
#include "project/state.h"

// Thresholds of the mode draw. While the pool is still filling (the first elitePoolSize lists)
// biased sampling and uniform choice share all draws; afterwards elite following takes the rest.
static constexpr float fillBiased = 0.95f, fillUniform = 0.05f;
static constexpr float fullBiased = 0.15f, fullUniform = 0.05f;
// A run of elite following lasts 1 + trunc(v * eliteRunSpan) further places (1..30).
static constexpr float eliteRunSpan = 29.0f;

// Roulette wheel over the eligible activities, weighted by how early their latest finish is.
static int selectBiased(const uint8_t* eligList, int n)
{
    int m = 0;
    for (int j = 1; j <= n; ++j) {
        float lf = lateFinish[eligList[j]];
        if (lf > static_cast<float>(m)) m = static_cast<int>(lf);
    }
    uint16_t weight[actDim];
    int weightSum = 0;
    for (int j = 1; j <= n; ++j) {
        weight[j] = static_cast<uint16_t>(m - static_cast<int>(lateFinish[eligList[j]]) + 1);
        weightSum += weight[j];
    }
    // The draw is consumed even when there is nothing to choose.
    float r = randFraction();
    if (n < 2) return 1;
    float acc = 0.0f;
    for (int k = 1; k <= n - 1; ++k) {
        // Probabilities and their running sum in single precision: the wheel's edges are part of
        // the behaviour.
        acc = acc + static_cast<float>(weight[k]) / static_cast<float>(weightSum);
        if (r <= acc) return k;
    }
    return n;
}

// The eligible activity that stands first in elite slot s; 0 if none does (never in a sound run).
static int selectElite(const uint8_t* eligList, const ActSet& eligSet, int n, int s)
{
    tarvoDebugCheck(s <= maxElite);
    const uint8_t* elite = elitePool[s];
    for (int p = 1; p <= actNum; ++p) {
        int a = elite[p];
        if (a >= 1 && a <= actNum && setHas(eligSet, a)) {
            for (int k = 1; k <= n; ++k)
                if (eligList[k] == a) return k;
            return 0;
        }
    }
    return 0;
}

int selectEligAct(const uint8_t* eligList, const ActSet& eligSet, const int& eligCount, int mode)
{
    int n = eligCount;
    if (mode < 0) return selectBiased(eligList, n);
    if (mode == 0) {
        float r = randFraction();
        // r * (n - 1) in single precision; only the draw 32767 reaches place n.
        int k = 1 + static_cast<int>(r * static_cast<float>(n - 1));
        if (k < 1 || k > n) std::printf("ERRORE selectEligAct!");
        return k;
    }
    return selectElite(eligList, eligSet, n, mode);
}

void updateEligSet(uint8_t* eligList, ActSet& eligSet, ActSet& placedSet, int& eligCount, int k)
{
    int a = eligList[k];
    setAdd(placedSet, a);
    setToggle(eligSet, a);
    eligList[k] = eligList[eligCount];
    --eligCount;
    for (int j = 1; j <= succNum[a]; ++j) {
        int b = succList[a][j];
        // The eligSet test only matters for an arc listed twice: b must enter the list once.
        if (setSubset(predSet[b], placedSet) && !setHas(eligSet, b)) {
            ++eligCount;
            eligList[eligCount] = static_cast<uint8_t>(b);
            setAdd(eligSet, b);
        }
    }
}

// Elite following inside one construction: the same answer as selectElite, found faster. The walk
// starts at first, the earliest place of the elite list whose activity is not yet placed (placed
// activities never become eligible again, so this cursor only moves forward), and the place of the
// activity in eligList comes from where[], which the construction keeps up to date.
static int followElite(const ActSet& eligSet, const ActSet& placedSet, const uint8_t* where, const uint8_t* elite,
                       uint8_t& first)
{
    int p = first;
    while (p <= actNum && setHas(placedSet, elite[p])) ++p;
    first = static_cast<uint8_t>(p);
    for (; p <= actNum; ++p)
        if (setHas(eligSet, elite[p])) return where[elite[p]];
    return 0;
}

// Places i..actNum when no activity is eligible although some are unplaced: a network in which an
// activity other than 1 has no predecessor. The reader refuses such files; here the unplaced
// activities follow in number order so the list stays a permutation and nothing is read out of range.
static void fillUnplaced(uint8_t* list, int i, const ActSet& placedSet)
{
    for (int a = 1; a <= actNum; ++a)
        if (!setHas(placedSet, a)) list[i++] = static_cast<uint8_t>(a);
}

void constructActList(uint8_t* list)
{
    uint8_t eligList[actDim] = {};
    eligList[1] = 1;
    int eligCount = 1;
    ActSet eligSet, placedSet;
    setClear(eligSet);
    setAdd(eligSet, 1);
    setClear(placedSet);
    int mode = -1;
    int runLeft = 0;
    uint8_t eliteFirst[maxElite + 1];
    for (int s = 0; s <= maxElite; ++s) eliteFirst[s] = 1;
    uint8_t where[actDim];  // where[a] = place of a in eligList while a is eligible
    where[1] = 1;
    // The first elitePoolSize constructions fill the pool and so never follow an elite list.
    bool poolFull = ph1Iter >= elitePoolSize;
    float p1 = poolFull ? fullBiased : fillBiased;
    // Summed in single precision: 0.95f + 0.05f rounds to 1.0f, so the draw 32767 (r = 1) still
    // picks uniform choice while the pool fills.
    float p12 = p1 + (poolFull ? fullUniform : fillUniform);
    for (int i = 1; i <= actNum; ++i) {
        if (runLeft > 0) {
            --runLeft;
        } else {
            float r = randFraction();
            if (r <= p1) {
                mode = -1;
            } else if (r <= p12) {
                mode = 0;
            } else {
                float u = randFraction();
                mode = 1 + static_cast<int>(u * static_cast<float>(popSize - 1));
                float v = randFraction();
                runLeft = 1 + static_cast<int>(v * eliteRunSpan);
                tarvoDebugCheck(mode <= maxElite);
            }
        }
        int k = mode >= 1 ? followElite(eligSet, placedSet, where, elitePool[mode], eliteFirst[mode])
                          : selectEligAct(eligList, eligSet, eligCount, mode);
        if (k < 1 || k > eligCount) {
            fillUnplaced(list, i, placedSet);
            return;
        }
        list[i] = eligList[k];
        int before = eligCount;
        updateEligSet(eligList, eligSet, placedSet, eligCount, k);
        // Keep where[] in step: the former last entry now stands at k (unless k was the last place),
        // and the newly eligible activities were appended from place `before` on.
        if (k < before) where[eligList[k]] = static_cast<uint8_t>(k);
        for (int p = before; p <= eligCount; ++p) where[eligList[p]] = static_cast<uint8_t>(p);
    }
}
