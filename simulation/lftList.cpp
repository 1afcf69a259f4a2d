// The latest-finish-time priority list of the loaded project, built from its critical-path
// times: the activity list of the reference policy LFT-RB.
#include "simulation/lftList.h"

#include "project/state.h"

void lftList(uint8_t* list)
{
    const int n = actNum;
    uint8_t waiting[actDim] = {};
    bool placed[actDim] = {};
    for (int a = 1; a <= n; ++a) waiting[a] = predNum[a];
    list[0] = 0;
    for (int place = 1; place <= n; ++place) {
        int best = 0;
        for (int a = 1; a <= n; ++a)
            if (!placed[a] && waiting[a] == 0 && (best == 0 || lateFinish[a] < lateFinish[best])) best = a;
        if (best == 0) return;   // a cycle: the reader refuses those
        placed[best] = true;
        list[place] = static_cast<uint8_t>(best);
        for (int k = 1; k <= succNum[best]; ++k) --waiting[succList[best][k]];
    }
}
