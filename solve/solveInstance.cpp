// One instance solved from its file to its results, in the order every run keeps: reader, sample
// pool, critical path, Phase 1, Phase 2; and the start of a pass over a distribution.
#include <cstdint>

#include "config/labels.h"
#include "durations/durations.h"
#include "phase1/phase1.h"
#include "phase2/phase2.h"
#include "project/check.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"
#include "solve/solve.h"

void fillLabels()
{
    for (int d = 1; d <= datasetCount; ++d) datasetName[d] = datasetLabels[d];
    for (int d = 1; d <= distCount; ++d) distName[d] = distLabels[d];
    for (int m = 1; m <= methodCount; ++m) varName[m] = methodLabels[m];
}

bool solveInstance()
{
    double t0 = cpuSeconds();
    bool ok = readInstance();
    // The sample pool is rebuilt whatever the read gave; it also resets per-instance state.
    buildSamplePool();
    if (!ok) return false;
    solvedNum += 1;
    [[maybe_unused]] uint8_t capacities[resDim];
    for (int r = 1; r <= resNum; ++r) capacities[r] = resCap[r];
    computeCpmTimes();
    runPhase1();
    if (isHV)
        gaArcAddition();
    else
        greedyArcRemoval();
    cpuTime = cpuSeconds() - t0;
    // Debug and sanitizer builds walk the shared state's invariants after every instance.
    tarvoDebugCheck(checkState(capacities));
    cpuTimeSum += cpuTime;
    return true;
}

void startPass()
{
    solvedNum = 0;
    ph1Makespan = 0;
    ph2Makespan = 0;
    ph1GapSum = 0;
    ph2GapSum = 0;
    isHV = passIsHV(distNum, varSetting);
}
