// LV Phase 2: chain the activities of the best Phase 1 list by start-to-start arcs, so that the
// arc-aware engine starts them in list order, then drop each arc whose removal does not make the
// midLevels-run estimate worse than the Phase 1 result; the survivors are estimated over 1000 runs.
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/state.h"

// Mean makespan of runs back-to-back runs on the runs-level sample table (a block uses every
// quantile once). The sum is a float, each makespan added to it in run order.
static float estimate(int runs)
{
    float sum = 0.0f;
    for (int i = 0; i < runs; ++i) sum = executeWithArcs(bestList, true, runs) + sum;
    return sum / static_cast<float>(runs);
}

int greedyArcRemoval()
{
    const int n = actNum;
    const uint8_t* list = bestList;
    clearExtraArcs();
    int removed = 0;
    // No arc leaves place 1 (the start) nor enters place n (the end): n - 3 arcs from place 2 on.
    if (n > 3) {
        for (int p = 3; p <= n - 1; ++p) setAdd(extraStartPred[list[p]], list[p - 1]);
        for (int p = 3; p <= n - 1; ++p) {
            setToggle(extraStartPred[list[p]], list[p - 1]);
            float avg = estimate(midLevels);
            // Widened to double before the comparison, as ph1Makespan is; a tie keeps the removal.
            if (static_cast<double>(avg) > ph1Makespan)
                setAdd(extraStartPred[list[p]], list[p - 1]);
            else
                ++removed;
        }
    }
    ph2Makespan = static_cast<double>(estimate(1000));
    double lowerBound = static_cast<double>(earlyFinish[n]);
    double gap = (ph2Makespan - lowerBound) * 100.0 / lowerBound;
    bestGap = gap;
    ph2GapSum += ph1Gap > gap ? gap : ph1Gap;
    return removed;
}
