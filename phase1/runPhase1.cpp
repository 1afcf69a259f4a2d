// The Phase 1 loop: build, justify and evaluate candidates, keep the best in the elite pool, then
// estimate the best elite list over 1000 scenarios. Invariant: once the pool is full, no slot holds
// a value worse than any candidate that was turned away.
#include <cstring>

#include "engine/engine.h"
#include "phase1/phase1.h"
#include "project/platform.h"
#include "project/sortPlaces.h"
#include "project/state.h"

// Runs per candidate evaluation, and of the final estimate of the best list.
static constexpr int candidateRuns = 10;
static constexpr int finalRuns = 1000;

float evaluatePhase1List(uint8_t* list, int runs)
{
    float sum = 0.0f;
    // One block of `runs` runs on the runs-level sample table uses every tabulated quantile once.
    if (isHV) {
        for (int i = 0; i < runs; ++i) sum = executeResourceBased(list, runs) + sum;
    } else {
        for (int i = 0; i < runs; ++i) sum = executeActivityBased(list, true, runs) + sum;
    }
    // The mean stays in single precision, as every estimate of the program.
    return sum / static_cast<float>(runs);
}

void sortEliteOrder()
{
    for (int i = 1; i <= popSize; ++i) eliteOrder[i] = static_cast<uint8_t>(i);
    // Equal values are ordered by a fresh coin flip from the program's stream at each comparison.
    sortPlaces(eliteOrder, 1, popSize, [](int a, int b) {
        if (eliteVal[a] < eliteVal[b]) return true;
        if (eliteVal[a] > eliteVal[b]) return false;
        return randFraction() <= 0.5f;
    });
}

void offerEliteCandidate(const uint8_t* list, float avg)
{
    int slot;
    if (ph1Iter <= popSize) {
        slot = ph1Iter;
    } else {
        sortEliteOrder();
        slot = eliteOrder[popSize];
        // Only a strictly better candidate replaces the worst slot.
        if (!(eliteVal[slot] > avg)) return;
    }
    std::memcpy(elitePool[slot], list, static_cast<size_t>(actNum) + 1);
    eliteVal[slot] = avg;
}

void runPhase1()
{
    ph1Iter = 0;
    popSize = elitePoolSize;
    uint8_t list[actDim] = {};
    do {
        constructActList(list);
        ++ph1Iter;
        justifyList(list);
        offerEliteCandidate(list, evaluatePhase1List(list, candidateRuns));
    } while (ph1Iter <= ph1LoopLimit);

    sortEliteOrder();
    bestList = elitePool[eliteOrder[1]];
    float avg = evaluatePhase1List(bestList, finalRuns);

    ph1Makespan = static_cast<double>(avg);
    double lowerBound = static_cast<double>(earlyFinish[actNum]);
    // A valid network has a positive lower bound; the reader refuses the others.
    ph1Gap = (ph1Makespan - lowerBound) * 100.0 / lowerBound;
    ph1GapSum = ph1GapSum + ph1Gap;
}
