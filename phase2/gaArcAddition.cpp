// HV Phase 2: a genetic algorithm over arc lists on the fixed best Phase 1 list. Members are built
// from the candidate network, paired and mutated; children replace the worst members when not
// worse (10-run fitness); the survivors are ranked over 1000 runs and the best gives the result.
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/platform.h"
#include "project/sortPlaces.h"
#include "project/state.h"

// Runs of one fitness evaluation during the search, and of the final ranking.
constexpr int searchRuns = 10;
constexpr int finalRuns = 1000;

// Mean makespan of bestList under the arcs now in the extra sets: a float sum of runs makespans on
// the runs-level sample table, divided by runs.
static float fitness(int runs)
{
    float sum = 0.0f;
    for (int i = 0; i < runs; ++i) sum = executeWithArcs(bestList, true, runs) + sum;
    return sum / static_cast<float>(runs);
}

// Fitness of an arc list applied to empty extra sets, which are empty again afterwards.
static float listFitness(const uint8_t* list, int count, int runs)
{
    if (count == 0) return emptyFitness;  // nothing to simulate
    applyArcs(list, count);
    float value = fitness(runs);
    clearArcTargets(list, count);
    return value;
}

// order[1..popSize] = 1..popSize sorted by ascending value; each comparison of equal values draws
// u and keeps the left-hand entry first when u <= 0.5.
static void sortByFitness(uint8_t* order, const float* value)
{
    for (int k = 1; k <= popSize; ++k) order[k] = static_cast<uint8_t>(k);
    sortPlaces(order, 1, popSize, [value](uint8_t a, uint8_t b) {
        if (value[a] < value[b]) return true;
        if (value[a] > value[b]) return false;
        return randFraction() <= 0.5f;
    });
}

void mergeChildren()
{
    sortByFitness(eliteOrder, eliteVal);
    sortByFitness(offOrder, offFit);
    // The best children not worse than the best members still judged take the numbers of the
    // worst members; members never move, so eliteOrder stays as sorted.
    int kept = 0, taken = 0;
    while (kept + taken < popSize) {
        int child = offOrder[taken + 1];
        int member = eliteOrder[kept + 1];
        if (offFit[child] > eliteVal[member]) {
            ++kept;
            continue;
        }
        int w = eliteOrder[popSize - taken];
        int count = offArcNum[child];
        for (int b = 3; b < 3 * (count + 1); ++b) popArcs[w][b] = offArcs[child][b];
        eliteVal[w] = offFit[child];
        popArcNum[w] = static_cast<uint8_t>(count);
        ++taken;
    }
}

void evaluateAndReplace()
{
    clearExtraArcs();
    for (int h = 1; h <= popSize; ++h) offFit[h] = listFitness(offArcs[h], offArcNum[h], searchRuns);
    mergeChildren();
}

void rankPopulation()
{
    clearExtraArcs();
    for (int m = 1; m <= popSize; ++m) eliteVal[m] = listFitness(popArcs[m], popArcNum[m], finalRuns);
    sortByFitness(eliteOrder, eliteVal);
}

void runArcSearch()
{
    if (candNum < gaMinCandidates) {
        ph2Makespan = ph1Makespan;
        bestGap = ph1Gap;
        ph2GapSum += ph1Gap;
        return;
    }
    popSize = gaPopSize;
    for (int m = 1; m <= popSize; ++m) {
        // buildMember leaves exactly member m's arcs in the extra sets.
        buildMember(m);
        eliteVal[m] = popArcNum[m] > 0 ? fitness(searchRuns) : emptyFitness;
    }
    for (int g = 0; g < gaGenerations; ++g) {
        crossover();
        mutate();
        evaluateAndReplace();
    }
    rankPopulation();
    ph2Makespan = static_cast<double>(eliteVal[eliteOrder[1]]);
    double lowerBound = static_cast<double>(earlyFinish[actNum]);
    double gap = (ph2Makespan - lowerBound) * 100.0 / lowerBound;
    bestGap = gap;
    ph2GapSum += ph1Gap > gap ? gap : ph1Gap;
}

void gaArcAddition()
{
    clearExtraArcs();
    buildCandidateArcs();
    runArcSearch();
}
