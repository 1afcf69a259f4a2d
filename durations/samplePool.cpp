// The per-instance start of the sample pool: cursors, the starting values other steps rely on,
// and the three quantile tables of every activity, shared between equal durations through a cache.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "durations/durations.h"
#include "project/check.h"
#include "project/platform.h"
#include "project/state.h"

// ---- Cache of the rows of short durations ----
// A row depends only on the rule, the duration and the spread, so the rows of a duration are
// computed once (on first use) and copied afterwards: the beta rule costs over a thousand inverse
// beta evaluations per row, and benchmark projects hold only the durations 0..10. Rule 1..4 is the
// distribution number, 5 the exponential rule of every other number. Column 0 is unused.
constexpr int ruleNum = 5;
static float cache1000[ruleNum + 1][cachedDurMax + 1][1001];
static float cacheMid[ruleNum + 1][cachedDurMax + 1][midLevels + 1];
static float cache10[ruleNum + 1][cachedDurMax + 1][11];
static bool cacheFilled[ruleNum + 1][cachedDurMax + 1];
static float cacheSpread[ruleNum + 1][cachedDurMax + 1];   // the spread the rows were made with
static int cacheFaults[ruleNum + 1][cachedDurMax + 1];     // inverse beta faults met making them

static int ruleOf(int32_t dist)
{
    return dist >= 1 && dist <= 4 ? dist : 5;
}

// Fills the three tables of activity i. A cached row is copied as it was computed; the fault
// messages met when computing it are repeated, so the console shows what the direct computation
// would show.
static void fillActivity(int i)
{
    const uint16_t d = dur[i];
    const float s = durSpread[i];
    if (d > cachedDurMax) {
        tabulateQuantiles(samplePool1000[i], 1000, distNum, d, s);
        tabulateQuantiles(samplePoolMid[i], midLevels, distNum, d, s);
        tabulateQuantiles(samplePool10[i], 10, distNum, d, s);
        return;
    }
    const int rule = ruleOf(distNum);
    if (!cacheFilled[rule][d] || std::memcmp(&cacheSpread[rule][d], &s, sizeof s) != 0) {
        cacheFaults[rule][d] = tabulateQuantiles(cache1000[rule][d], 1000, distNum, d, s)
                               + tabulateQuantiles(cacheMid[rule][d], midLevels, distNum, d, s)
                               + tabulateQuantiles(cache10[rule][d], 10, distNum, d, s);
        cacheSpread[rule][d] = s;
        cacheFilled[rule][d] = true;
    } else {
        for (int k = 0; k < cacheFaults[rule][d]; ++k) {
            std::fputs("ERROR! beta_cdf_inv\n", stdout);
            waitKey();
        }
    }
    std::memcpy(&samplePool1000[i][1], &cache1000[rule][d][1], 1000 * sizeof(float));
    std::memcpy(&samplePoolMid[i][1], &cacheMid[rule][d][1], midLevels * sizeof(float));
    std::memcpy(&samplePool10[i][1], &cache10[rule][d][1], 10 * sizeof(float));
}

void fillSampleTables()
{
    for (int i = 1; i <= actNum; ++i) fillActivity(i);
}

// ---- Per-instance start ----
// The elite pool slots and the population values cleared here are those of the larger
// configuration (20 in both builds).
constexpr int startPopSize = 20;
static_assert(startPopSize <= maxElite && startPopSize <= maxPop, "cleared slots must exist");

void buildSamplePool()
{
    tarvoDebugCheck(actNum <= maxAct);
    simTime = 0.0f;
    popSize = startPopSize;
    // Every row's cursors, not only those of this project's activities.
    for (int a = 1; a <= maxAct; ++a) {
        poolCursorMid[a] = 1;
        poolCursor1000[a] = 1;
        poolCursor10[a] = 1;
    }
    gaPairNum = 10;
    // -1 marks the critical-path times not yet computed.
    for (int i = 1; i <= actNum; ++i) {
        lateFinish[i] = -1.0f;
        earlyStart[i] = -1.0f;
    }
    for (int i = 1; i <= actNum; ++i) {
        durSpread[i] = static_cast<float>(dur[i]);
        // sqrt(d) for U1 (and B1, which does not use it): in double, rounded to float.
        if (distNum <= 2) durSpread[i] = static_cast<float>(std::sqrt(static_cast<double>(durSpread[i])));
        for (int slot = 1; slot <= startPopSize; ++slot) elitePool[slot][i] = 0;
    }
    fillSampleTables();
    for (int k = 0; k <= popSize; ++k) {
        eliteVal[k] = 0.0f;
        offFit[k] = 0.0f;
    }
    for (int i = 0; i <= actNum; ++i) {
        lateStart[i] = 0.0f;
        earlyFinish[i] = 0.0f;
    }
}
