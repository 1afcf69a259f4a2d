// Critical-path preprocessing: earliest and latest start and finish times with nominal durations and
// unlimited resources, by a forward and a backward event-driven pass over the precedence network.
//
// Both passes are one routine run in opposite directions. An activity enters the candidate list when
// its first neighbour behind it completes, is placed (started) once all activities behind it have
// completed, and completes at its event time; the active list is ordered by event time, so its head
// is the next event. Times are whole numbers held as floats, so every comparison is exact.
#include <cstdio>

#include "project/cpm.h"
#include "project/state.h"

// One direction of the network, run from activity first at time t0. Forward: placed = earlyStart,
// event = earlyFinish, a completion opens its successors and an activity waits for its predSet.
// Backward: placed = lateFinish, event = lateStart, predecessors and succSet, and time runs down.
// placed is -1 until the activity is placed. Returns false, after a message, when the network lets
// no further activity be placed before all but one have completed.
static bool runPass(float* placed, float* event, const uint8_t* nextNum, const uint8_t (*nextList)[actDim],
                    const ActSet* waitSet, bool forward, int first, float t0)
{
    const int n = actNum;
    // Candidates: doubly linked in order of insertion (0 ends both directions).
    uint8_t candNext[actDim] = {}, candPrev[actDim] = {};
    int candHead = first, candTail = first;
    ActSet inserted, completed;
    setClear(inserted);
    setClear(completed);
    setAdd(inserted, first);
    // Active list: singly linked, ordered by event time in the pass's direction.
    uint8_t activeNext[actDim] = {};
    int activeHead = 0;
    int completedCount = 0;
    float t = t0;

    // True when event time x comes strictly later in the pass than y.
    auto later = [&](float x, float y) { return forward ? x > y : x < y; };

    for (;;) {
        while (activeHead != 0 && event[activeHead] == t) {
            int h = activeHead;
            ++completedCount;
            activeHead = activeNext[h];
            setAdd(completed, h);
            for (int i = 1; i <= nextNum[h]; ++i) {
                int s = nextList[h][i];
                if (setHas(inserted, s)) continue;
                setAdd(inserted, s);
                candNext[s] = 0;
                candPrev[s] = static_cast<uint8_t>(candTail);
                if (candTail != 0) candNext[candTail] = static_cast<uint8_t>(s);
                else candHead = s;
                candTail = s;
            }
            // Unlink h from the candidates.
            if (candPrev[h] != 0) candNext[candPrev[h]] = candNext[h];
            else candHead = candNext[h];
            if (candNext[h] != 0) candPrev[candNext[h]] = candPrev[h];
            else candTail = candPrev[h];
        }

        for (int x = candHead; x != 0; x = candNext[x]) {
            if (placed[x] != -1.0f || !setSubset(waitSet[x], completed)) continue;
            float d = static_cast<float>(dur[x]);
            placed[x] = t;
            event[x] = forward ? t + d : t - d;
            // Behind every activity whose event comes at the same time or earlier.
            if (activeHead == 0 || later(event[activeHead], event[x])) {
                activeNext[x] = static_cast<uint8_t>(activeHead);
                activeHead = x;
            } else {
                int prev = activeHead;
                while (activeNext[prev] != 0 && !later(event[activeNext[prev]], event[x]))
                    prev = activeNext[prev];
                activeNext[x] = activeNext[prev];
                activeNext[prev] = static_cast<uint8_t>(x);
            }
        }

        if (completedCount >= n - 1) return true;
        if (activeHead == 0) {
            std::printf("ERROR! computeCpmTimes: the %s pass cannot place any further activity "
                        "(%d of %d completed); the precedence network is not a single project\n",
                        forward ? "forward" : "backward", completedCount, n);
            return false;
        }
        t = event[activeHead];
    }
}

int computeCpmTimes()
{
    const int n = actNum;
    if (n < 2) return 1;
    // The starting values buildSamplePool sets, established here too so that a second call (or a
    // call on a project set up by hand) computes the same times.
    for (int a = 1; a <= n; ++a) {
        earlyStart[a] = -1.0f;
        lateFinish[a] = -1.0f;
    }
    for (int a = 0; a <= n; ++a) {
        earlyFinish[a] = 0.0f;
        lateStart[a] = 0.0f;
    }
    if (!runPass(earlyStart, earlyFinish, succNum, succList, predSet, true, 1, 0.0f)) return 1;
    runPass(lateFinish, lateStart, predNum, predList, succSet, false, n, earlyFinish[n]);
    return 1;
}
