// The critical chain of a realised schedule: the activities whose start or finish fixed, link by
// link, the start of the end activity, so that running any of them later would end the project later.
//
// A link i -> j binds when it is a reason j could not start earlier and leaves no gap:
//   - a precedence (i an immediate predecessor of j) or an extra finish-to-start arc, with i
//     finishing at the start of j;
//   - an extra start-to-start arc, with i starting at the start of j;
//   - when j started after all of these had released it (it waited): every activity i finishing at
//     the start of j and using a resource j needs (the resources freed then let j fit), and under
//     the activity-based policy the activity one place earlier in the list, when it started at the
//     same time (j could not start before it).
// Walking binding links backwards from the end activity marks the chain. Each marked activity but
// the dummy start has a marked binding predecessor, so a gapless chain runs from time 0 to the
// makespan through every marked activity; start and finish times are compared exactly, as the
// engine sets each start to the finish time that released it.
#include "schedule/schedule.h"

#include "project/state.h"

static bool sharesResource(int i, int j)
{
    for (int r = 1; r <= resNum; ++r)
        if (resReq[i][r] > 0 && resReq[j][r] > 0) return true;
    return false;
}

void markCriticalChain(const uint8_t* list, ScheduleRule rule, bool* critical)
{
    int n = actNum;
    bool arcs = rule == ScheduleRule::withArcs;
    int place[actDim] = {};
    for (int p = 1; p <= n; ++p) place[list[p]] = p;
    for (int a = 0; a <= n; ++a) critical[a] = false;

    uint8_t stack[actDim];
    int top = 0;
    critical[n] = true;
    stack[top++] = static_cast<uint8_t>(n);
    auto mark = [&](int i) {
        if (!critical[i]) {
            critical[i] = true;
            stack[top++] = static_cast<uint8_t>(i);
        }
    };
    while (top > 0) {
        int j = stack[--top];
        float start = startTime[j];
        float released = 0.0f;
        for (int k = 1; k <= predNum[j]; ++k) {
            int i = predList[j][k];
            if (finishTime[i] > released) released = finishTime[i];
            if (finishTime[i] == start) mark(i);
        }
        for (int i = 1; arcs && i <= n; ++i) {
            if (setHas(extraFinPred[j], i)) {
                if (finishTime[i] > released) released = finishTime[i];
                if (finishTime[i] == start) mark(i);
            }
            if (setHas(extraStartPred[j], i)) {
                if (startTime[i] > released) released = startTime[i];
                if (startTime[i] == start) mark(i);
            }
        }
        if (start <= released) continue;
        for (int i = 1; i <= n; ++i)
            if (i != j && finishTime[i] == start && startTime[i] != -1.0f && sharesResource(i, j)) mark(i);
        if (rule == ScheduleRule::activityBased && place[j] > 1) {
            int before = list[place[j] - 1];
            if (startTime[before] == start) mark(before);
        }
    }
}
