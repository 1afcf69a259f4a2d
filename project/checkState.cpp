// The invariant walker of the shared state (see checkState.h). Each check is independent of the
// code that keeps the invariant, so a fault in the reader, the engines or Phase 2 shows up here.
#include "project/checkState.h"

#include <cstdio>

#include "project/state.h"

static bool broken(const char* what, int a, int b)
{
    std::printf("state check failed: %s (%d, %d)\n", what, a, b);
    return false;
}

// Successor and predecessor tables agree, and each transitive set is the union over the direct
// arcs of the neighbour and its own set.
static bool checkProject()
{
    int n = actNum;
    for (int i = 1; i <= n; ++i) {
        ActSet closure;
        setClear(closure);
        for (int s = 1; s <= succNum[i]; ++s) {
            int j = succList[i][s];
            if (j < 1 || j > n) return broken("successor outside the project", i, j);
            bool back = false;
            for (int q = 1; q <= predNum[j]; ++q) back |= predList[j][q] == i;
            if (!back) return broken("successor without the matching predecessor entry", i, j);
            setAdd(closure, j);
            setUnite(closure, succSet[j]);
        }
        if (!setEqual(closure, succSet[i])) return broken("succSet is not the closure of succList", i, 0);
        setClear(closure);
        for (int q = 1; q <= predNum[i]; ++q) {
            int p = predList[i][q];
            // Ascending, and equal neighbours for an arc the file lists twice.
            if (q > 1 && predList[i][q - 1] > p) return broken("predList not ascending", i, p);
            setAdd(closure, p);
            setUnite(closure, predSet[p]);
        }
        if (!setEqual(closure, predSet[i])) return broken("predSet is not the closure of predList", i, 0);
        for (int j = 1; j <= n; ++j)
            if (setHas(succSet[i], j) != setHas(predSet[j], i)) return broken("succSet and predSet disagree", i, j);
    }
    return true;
}

bool checkState(const uint8_t* capacities)
{
    if (!checkProject()) return false;
    int n = actNum;
    if (capacities)
        for (int r = 1; r <= resNum; ++r)
            if (resCap[r] != capacities[r]) return broken("resource availability not restored", r, resCap[r]);
    if (bestList) {
        ActSet placed;
        setClear(placed);
        for (int p = 1; p <= n; ++p) {
            int a = bestList[p];
            if (a < 1 || a > n || setHas(placed, a) || !setSubset(predSet[a], placed))
                return broken("bestList is not a precedence-feasible permutation", p, a);
            setAdd(placed, a);
        }
    }
    // Every stochastic run draws once per activity, so all cursors of one table stay level.
    for (int a = 2; a <= n; ++a)
        if (poolCursor10[a] != poolCursor10[1] || poolCursorMid[a] != poolCursorMid[1] ||
            poolCursor1000[a] != poolCursor1000[1])
            return broken("sample cursors out of step", a, poolCursor10[a]);
    if (isHV)
        for (int a = 1; a <= n; ++a)
            if (!setEmpty(extraFinPred[a]) || !setEmpty(extraStartPred[a]))
                return broken("extra arcs left in force after arc addition", a, 0);
    return true;
}
