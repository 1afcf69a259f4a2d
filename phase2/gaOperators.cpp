// Genetic operators of HV on arc lists: the weighted draw of a candidate arc, the acceptance test
// (no repeated (from, to) pair, no cycle with the project's precedences), the closure table that
// makes the cycle test one bit test, and buildMember, crossover and mutate built on them.
#include <cmath>
#include <cstdio>

#include "phase2/phase2.h"
#include "project/check.h"
#include "project/closurePass.h"
#include "project/platform.h"
#include "project/state.h"
#include "project/warnings.h"

bool candDrawable[maxCand + 1];

// ---- Candidate draws ----

int pickCandidate()
{
    float u = randFraction();
    // The cumulative sum is a float built in candidate order; rounding may leave it below u.
    float sum = 0.0f;
    for (int r = 1; r <= candNum; ++r) {
        sum += candProb[r];
        if (sum >= u) return r;
    }
    return candNum;
}

// pickCandidate for every one of the 32768 possible draws, in one merge walk: the draws' fractions
// and the cumulative sums both ascend, so each draw's answer is found where the last one ended.
void markDrawableCandidates()
{
    for (int r = 0; r <= candNum; ++r) candDrawable[r] = false;
    if (candNum <= 0) return;
    float sum = candProb[1];
    int r = 1;
    for (int draw = 0; draw <= randMax; ++draw) {
        float u = static_cast<float>(draw) / static_cast<float>(randMax);
        while (r < candNum && sum < u) sum += candProb[++r];
        candDrawable[r] = true;
    }
}

bool acceptArc(const uint8_t* list, int count, const ActSet* closure, int x, int y)
{
    for (int k = 1; k <= count; ++k)
        if (list[3 * k] == x && list[3 * k + 1] == y) return false;
    // y already precedes x: x -> y would close a cycle.
    return !setHas(closure[x], y);
}

// Whether some candidate that a draw can produce passes acceptArc: when none does, drawing until
// one passes would never end, and the arc is given up instead (no draw is made then).
static bool someCandidateFits(const uint8_t* list, int count, const ActSet* closure)
{
    for (int r = 1; r <= candNum; ++r)
        if (candDrawable[r] && acceptArc(list, count, closure, candArcs[3 * r], candArcs[3 * r + 1]))
            return true;
    return false;
}

// Draws candidates until one passes acceptArc and returns its number, or 0 (without drawing) when
// none can pass.
static int drawAcceptedCandidate(const uint8_t* list, int count, const ActSet* closure)
{
    if (!someCandidateFits(list, count, closure)) return 0;
    for (;;) {
        int r = pickCandidate();
        if (acceptArc(list, count, closure, candArcs[3 * r], candArcs[3 * r + 1])) return r;
    }
}

// ---- Closure tables ----

static void copyPredSets(ActSet* closure)
{
    for (int a = 1; a <= actNum; ++a) closure[a] = predSet[a];
}

void extendClosure(ActSet* closure, const uint8_t* list, int k)
{
    int x = list[3 * k];
    int y = list[3 * k + 1];
    setUnite(closure[y], closure[x]);
    setAdd(closure[y], x);
    // Propagate along project arcs and the list's earlier arcs until nothing changes. The new arc
    // itself needs no second visit: an accepted arc never changes closure[x].
    bool changed = true;
    while (changed) {
        changed = closurePassOverPredecessors(closure);
        for (int t = 1; t < k; ++t) {
            const ActSet& f = closure[list[3 * t]];
            ActSet& g = closure[list[3 * t + 1]];
            if (!setSubset(f, g)) {
                setUnite(g, f);
                changed = true;
            }
        }
    }
}

// ---- Operators ----

static void storeArc(uint8_t* list, int place, int r)
{
    for (int b = 0; b < 3; ++b) list[3 * place + b] = candArcs[3 * r + b];
}

static void warnCapacity()
{
    static char text[60];
    std::snprintf(text, sizeof text, "Warning: arcPop_max_arc_nr = %d is too low!!", arcPop_max_arc_nr);
    capacityWarning(text);
}

// Integer part of ceil(draw * n / 32767), product and quotient in single precision: 1..n except
// 0 for a draw of 0.
static int drawUpTo(int n)
{
    float v = static_cast<float>(nextRand()) * static_cast<float>(n) / static_cast<float>(randMax);
    return static_cast<int>(std::ceil(static_cast<double>(v)));
}

void buildMember(int m)
{
    ActSet closure[actDim];
    copyPredSets(closure);
    clearExtraArcs();
    int arcs;
    // candNum is compared with 10.5: up to 10 candidates give one arc, without a draw.
    if (static_cast<double>(candNum) < 10.5) {
        arcs = candNum > 0 ? 1 : 0;
    } else {
        int limit = candNum / 3 < 7 ? candNum / 3 : 7;
        do
            arcs = drawUpTo(limit);
        while (arcs == 0);
    }
    uint8_t* list = popArcs[m];
    int placed = 0;
    for (int i = 1; i <= arcs; ++i) {
        int r = drawAcceptedCandidate(list, placed, closure);
        if (r == 0) continue;  // no candidate fits any more: the member keeps fewer arcs
        ++placed;
        storeArc(list, placed, r);
        extendClosure(closure, list, placed);
        const uint8_t* arc = list + 3 * placed;
        if (arc[2] == 1)
            setAdd(extraFinPred[arc[1]], arc[0]);
        else
            setAdd(extraStartPred[arc[1]], arc[0]);
    }
    popArcNum[m] = static_cast<uint8_t>(placed);
}

// Parent number 1 + trunc(u * (popSize - 1)) in single precision: member popSize only for u = 1.
static int drawParent()
{
    return 1 + static_cast<int>(randFraction() * static_cast<float>(popSize - 1));
}

// Puts parent arc (x, y, type) into a child, or a drawn candidate in its place when the child
// refuses it. A full child drops the arc (no draw); so does a child that no candidate fits.
static void placeArc(uint8_t* child, int& count, ActSet* closure, const uint8_t* arc)
{
    if (count >= arcPop_max_arc_nr) return;
    uint8_t* slot = child + 3 * (count + 1);
    if (acceptArc(child, count, closure, arc[0], arc[1])) {
        for (int b = 0; b < 3; ++b) slot[b] = arc[b];
    } else {
        int r = drawAcceptedCandidate(child, count, closure);
        if (r == 0) return;
        storeArc(child, count + 1, r);
    }
    ++count;
    extendClosure(closure, child, count);
}

void crossover()
{
    // Two distinct parents need two members.
    tarvoCheck(popSize >= 2);
    ActSet closureA[actDim], closureB[actDim];
    for (int i = 1; i <= gaPairNum; ++i) {
        uint8_t* childA = offArcs[2 * i - 1];
        uint8_t* childB = offArcs[2 * i];
        copyPredSets(closureA);
        copyPredSets(closureB);
        int countA = 0, countB = 0;
        int p1 = drawParent();
        int p2 = drawParent();
        while (p2 == p1) p2 = drawParent();
        for (int t = 1; t <= popArcNum[p1]; ++t) {
            const uint8_t* arc = popArcs[p1] + 3 * t;
            if (randFraction() <= 0.5f)
                placeArc(childA, countA, closureA, arc);
            else
                placeArc(childB, countB, closureB, arc);
        }
        for (int t = 1; t <= popArcNum[p2]; ++t) {
            const uint8_t* arc = popArcs[p2] + 3 * t;
            if (randFraction() > 0.5f)
                placeArc(childA, countA, closureA, arc);
            else
                placeArc(childB, countB, closureB, arc);
        }
        offArcNum[2 * i - 1] = static_cast<uint8_t>(countA);
        offArcNum[2 * i] = static_cast<uint8_t>(countB);
        if (countA >= arcWarnCount || countB >= arcWarnCount) warnCapacity();
    }
}

void mutate()
{
    ActSet closure[actDim];
    for (int h = 1; h <= popSize; ++h) {
        float u = randFraction();
        int n = offArcNum[h];
        if (n == 0) u = 1.0f;  // an empty child is never mutated, but the draw is made
        // The threshold is compared in double precision.
        if (static_cast<double>(u) > 0.05) continue;
        uint8_t* list = offArcs[h];
        if (randFraction() <= 0.5f) {
            int q = drawUpTo(n);
            if (q < 1) q = 1;
            for (int k = q; k < n; ++k)
                for (int b = 0; b < 3; ++b) list[3 * k + b] = list[3 * (k + 1) + b];
            offArcNum[h] = static_cast<uint8_t>(n - 1);
        } else {
            if (n >= arcPop_max_arc_nr) {  // a full list cannot take the arc
                warnCapacity();
                continue;
            }
            copyPredSets(closure);
            for (int t = 1; t <= n; ++t) extendClosure(closure, list, t);
            int r = drawAcceptedCandidate(list, n, closure);
            if (r == 0) continue;
            offArcNum[h] = static_cast<uint8_t>(n + 1);
            if (n + 1 >= arcWarnCount) warnCapacity();
            storeArc(list, n + 1, r);
        }
    }
}
