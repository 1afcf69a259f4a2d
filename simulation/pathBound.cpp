// The longest path of a scenario's durations over the loaded project's precedences: the
// path bound of the evaluation, below every policy's makespan in each scenario.
#include "simulation/pathBound.h"

void makePathOrder(PathOrder& path)
{
    const int n = actNum;
    path.n = n;
    // Kahn's order, smallest ready activity first: PSPLIB numbers its activities in a precedence
    // order already, but files of other sets need not.
    uint8_t waiting[actDim] = {};
    bool placed[actDim] = {};
    for (int a = 1; a <= n; ++a) waiting[a] = predNum[a];
    for (int place = 1; place <= n; ++place) {
        int next = 1;
        while (next <= n && (placed[next] || waiting[next] != 0)) ++next;
        if (next > n) {   // a cycle: the reader refuses those, so this is never reached
            path.n = place - 1;
            return;
        }
        placed[next] = true;
        path.order[place] = static_cast<uint8_t>(next);
        for (int k = 1; k <= succNum[next]; ++k) --waiting[succList[next][k]];
    }
}

float longestPath(const PathOrder& path, const float* durations)
{
    float finish[actDim];
    float longest = 0.0f;
    for (int place = 1; place <= path.n; ++place) {
        const int a = path.order[place];
        float start = 0.0f;
        for (int k = 1; k <= predNum[a]; ++k) {
            const float f = finish[predList[a][k]];
            if (f > start) start = f;
        }
        finish[a] = start + durations[a];
        if (finish[a] > longest) longest = finish[a];
    }
    return longest;
}
