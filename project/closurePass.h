// One pass of transitive closure along the project's own precedence arcs, shared by the reader
// (which closes predSet) and the genetic operators (which close a table of project plus extra arcs).
#pragma once

#include "project/state.h"

// For a = 1..actNum in ascending order, unites into sets[a] the set of each immediate predecessor,
// so a set grown earlier in the pass is used at once by later activities. Returns whether any set
// grew; callers repeat passes until one returns false.
inline bool closurePassOverPredecessors(ActSet* sets)
{
    bool changed = false;
    for (int a = 1; a <= actNum; ++a)
        for (int i = 1; i <= predNum[a]; ++i) {
            const ActSet& p = sets[predList[a][i]];
            if (!setSubset(p, sets[a])) {
                setUnite(sets[a], p);
                changed = true;
            }
        }
    return changed;
}
