// Extra precedence arcs as the engine sees them: arc lists OR-ed into extraFinPred/extraStartPred,
// and the two ways of emptying them again (the whole table, or only the sets one list touched).
#include "phase2/phase2.h"

#include "project/state.h"

void applyArcs(const uint8_t* arcList, int count)
{
    for (int k = 1; k <= count; ++k) {
        const uint8_t* arc = arcList + 3 * k;
        // Type 1 is finish-to-start; every other value counts as start-to-start.
        if (arc[2] == 1)
            setAdd(extraFinPred[arc[1]], arc[0]);
        else
            setAdd(extraStartPred[arc[1]], arc[0]);
    }
}

void clearExtraArcs()
{
    for (int a = 1; a <= actNum; ++a) {
        setClear(extraFinPred[a]);
        setClear(extraStartPred[a]);
    }
}

void clearArcTargets(const uint8_t* arcList, int count)
{
    for (int k = 1; k <= count; ++k) {
        int to = arcList[3 * k + 1];
        setClear(extraFinPred[to]);
        setClear(extraStartPred[to]);
    }
}
