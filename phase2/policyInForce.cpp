// The policy Phase 2 leaves in force, read off its own tables: the one place outside Phase 2 that
// needs to know where LV keeps its chain and HV its best member.
#include "phase2/phase2.h"
#include "project/state.h"

// The chain of LV joins neighbours of the list, at most actNum - 3 arcs; HV's members hold at
// most arcPop_max_arc_nr. Both fit an arc list of arcListDim bytes.
static_assert(maxAct - 3 <= arcPop_max_arc_nr, "the LV chain must fit an arc list");

int policyArcsInForce(uint8_t* arcList)
{
    int count = 0;
    const int n = actNum;
    if (!isHV) {
        for (int p = 3; p <= n - 1; ++p)
            if (setHas(extraStartPred[bestList[p]], bestList[p - 1])) {
                ++count;
                arcList[3 * count] = bestList[p - 1];
                arcList[3 * count + 1] = bestList[p];
                arcList[3 * count + 2] = 2;
            }
    } else if (candNum >= gaMinCandidates) {
        const int m = eliteOrder[1];
        for (int k = 1; k <= popArcNum[m]; ++k) {
            ++count;
            for (int b = 0; b < 3; ++b) arcList[3 * k + b] = popArcs[m][3 * k + b];
        }
    }
    return count;
}
