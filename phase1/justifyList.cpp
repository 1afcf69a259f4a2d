// Double justification of an activity list with nominal durations: the activity-based schedule is
// shifted right against its successors, then left against its predecessors, on a per-time-unit
// resource profile; the list is rewritten in the order of the resulting start times. Every shift
// keeps precedence and resources feasible, and no activity ends later than the first schedule's end.
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "phase1/phase1.h"
#include "project/check.h"
#include "project/platform.h"
#include "project/sortPlaces.h"
#include "project/state.h"

// ---- Parts kept from call to call (this file alone reads and writes them) ----
static uint64_t reqLanes[actDim];            // each activity's requirements in the lanes of resProfile
// Parts of a justification that depend on the project alone (a Phase 1 justifies some 200 lists of
// one project), rebuilt only when an input they come from differs from the previous call's.
static int32_t justNum;                      // activities covered; 0 before the first justification
static int32_t justResNum;                   // resNum, part of the key
static uint8_t justReq[actDim][resDim];      // resReq rows 1..justNum, part of the key
static uint16_t justDur[actDim];             // dur, part of the key
static float justLateStart[actDim];          // lateStart, part of the key
static float justLateFinish[actDim];         // lateFinish, the rest of the key
static uint8_t lateStartTies[actDim];        // activities 2..n-1 by truncated latest start, at 0..n-3
static uint8_t lateFinishTies[actDim];       // the same by truncated latest finish, descending
static bool justZeroDurations;               // some activity other than 1 and n takes no time

void forgetKeptJustifyParts() { justNum = 0; }

// Bound of the right shift before any successor is seen; larger than every horizon.
static constexpr float noSuccessorBound = 9999999.0f;

// Integer part of a time. Nominal schedules have whole-number times held as floats, so ordering
// by whole(t) is ordering by t.
static inline int whole(float t) { return static_cast<int>(t); }

// ---- Resource profile ----

// The profile holds, per integer time unit 0..max_time, the free capacity of resources 1..4 in
// the four 16-bit lanes of one word (resource r in lane r-1). Capacities and requirements are
// bytes, so a lane never leaves 0..255 and one word operation tests or updates all resources at
// once: with the top bit of every lane set, subtracting a requirement word borrows from no
// neighbouring lane, and a lane keeps its top bit exactly when its free capacity is enough.
static constexpr uint64_t laneTops = 0x8000800080008000ull;

static uint64_t packLanes(const uint8_t* perResource)
{
    uint64_t word = 0;
    for (int r = 1; r <= resNum; ++r) word |= static_cast<uint64_t>(perResource[r]) << (16 * (r - 1));
    return word;
}

// resProfile[0..horizon] = the capacities, less the usage of every activity over its current interval.
static void buildProfile(int horizon)
{
    uint64_t capacity = packLanes(resCap);
    for (int t = 0; t <= horizon; ++t) resProfile[t] = capacity;
    for (int a = 1; a <= actNum; ++a) {
        int first = whole(startTime[a]), end = first + dur[a];
        uint64_t need = reqLanes[a];
        for (int t = first; t < end; ++t) resProfile[t] -= need;
    }
}

// The requirement words travel as values: held in a local, they are not reloaded at every profile
// store (the compiler must assume a store into profile may change reqLanes).
static void giveBack(uint64_t need, int first, int d)
{
    for (int t = first; t < first + d; ++t) resProfile[t] += need;
}

static void take(uint64_t need, int first, int d)
{
    for (int t = first; t < first + d; ++t) resProfile[t] -= need;
}

// True when the requirement fits the free capacity of every resource at time t.
static inline bool fitsAt(uint64_t need, int t) { return (((resProfile[t] | laneTops) - need) & laneTops) == laneTops; }

// The largest f <= bound at which the requirement fits over f-d..f-1: the same f as trying bound,
// bound-1, ... in turn. A clash at time t rules out every f from t+1 to t+d, so each window is
// tested at its low end first (a clash there skips d candidates at once), then from its high end
// down. The caller has given back the activity's old interval, which lies below the bound and is
// free, so the search ends there at the latest.
static int latestFit(uint64_t need, int bound, int d)
{
    int f = bound;
    if (d == 0) return f;
    for (;;) {
        int low = f - d;
        tarvoDebugCheck(low >= 0);
        if (!fitsAt(need, low)) {
            f = low;
            continue;
        }
        int t = f - 1;
        while (t > low && fitsAt(need, t)) --t;
        if (t == low) return f;
        f = t;
    }
}

// The smallest s >= bound at which the requirement fits over s..s+d-1, mirroring latestFit: each
// window is tested at its high end first, then from its low end up.
static int earliestFit(uint64_t need, int bound, int d)
{
    int s = bound;
    if (d == 0) return s;
    for (;;) {
        int high = s + d - 1;
        tarvoDebugCheck(high <= max_time);
        if (!fitsAt(need, high)) {
            s = high + 1;
            continue;
        }
        int t = s;
        while (t < high && fitsAt(need, t)) ++t;
        if (t == high) return s;
        s = t + 1;
    }
}

// ---- Orders ----

// The three orders sort activities 2..n-1 by a time, ties by a latest-time key, remaining ties by
// activity number: the order a stable merge sort with that comparison gives. Here it comes from two
// stable counting passes (times and latest times are whole numbers within the horizon, so the count
// table stays small): first by the latest-time key, from number order, then by the time.

// Stable counting sort: out[0..count-1] = items[0..count-1] ordered by key, equal keys in input order.
static void sortByKey(const uint8_t* items, int count, const int* key, uint8_t* out)
{
    if (count <= 0) return;
    int lo = key[items[0]], hi = lo;
    for (int i = 1; i < count; ++i) {
        int k = key[items[i]];
        if (k < lo) lo = k;
        if (k > hi) hi = k;
    }
    int range = hi - lo + 1;
    if (range > max_time + 1) {
        // Not met with valid data; the merge sort gives the same order.
        for (int i = 0; i < count; ++i) out[i] = items[i];
        sortPlaces(out, 0, count - 1, [key](int a, int b) { return key[a] <= key[b]; });
        return;
    }
    // Kept between calls only to spare the compiler a false "may be used uninitialized": the
    // entries in use are cleared here first.
    static int place[max_time + 2];
    for (int k = 0; k <= range; ++k) place[k] = 0;
    for (int i = 0; i < count; ++i) ++place[key[items[i]] - lo + 1];
    for (int k = 1; k <= range; ++k) place[k] += place[k - 1];
    for (int i = 0; i < count; ++i) out[place[key[items[i]] - lo]++] = items[i];
}

// base[0..n-3] = activities 2..n-1 ordered by key, ties by activity number.
static void orderByNumberAndKey(uint8_t* base, int n, const int* key)
{
    uint8_t numbers[actDim] = {};
    for (int a = 2; a <= n - 1; ++a) numbers[a - 2] = static_cast<uint8_t>(a);
    sortByKey(numbers, n - 2, key, base);
}

// ---- Parts that depend on the project alone ----

static bool projectPartsKept(int n)
{
    return justNum == n && justResNum == resNum && std::memcmp(justReq[1], resReq[1], sizeof resReq[0] * n) == 0 &&
           std::memcmp(&justDur[1], &dur[1], sizeof dur[0] * n) == 0 &&
           std::memcmp(&justLateStart[1], &lateStart[1], sizeof lateStart[0] * n) == 0 &&
           std::memcmp(&justLateFinish[1], &lateFinish[1], sizeof lateFinish[0] * n) == 0;
}

// The requirement words, the tie orders of the truncated latest starts (ascending) and latest
// finishes (descending), and whether a real activity has duration 0; kept with the inputs they
// come from, which are their key.
static void keepProjectParts(int n)
{
    if (projectPartsKept(n)) return;
    int lateStartKey[actDim] = {}, lateFinishKey[actDim] = {};
    bool zeroDurations = false;
    for (int a = 1; a <= n; ++a) {
        reqLanes[a] = packLanes(resReq[a]);
        lateStartKey[a] = whole(lateStart[a]);
        lateFinishKey[a] = -whole(lateFinish[a]);
        zeroDurations |= dur[a] == 0 && a != 1 && a != n;
    }
    orderByNumberAndKey(lateStartTies, n, lateStartKey);
    orderByNumberAndKey(lateFinishTies, n, lateFinishKey);
    justZeroDurations = zeroDurations;
    std::memcpy(justReq[1], resReq[1], sizeof resReq[0] * n);
    std::memcpy(&justDur[1], &dur[1], sizeof dur[0] * n);
    std::memcpy(&justLateStart[1], &lateStart[1], sizeof lateStart[0] * n);
    std::memcpy(&justLateFinish[1], &lateFinish[1], sizeof lateFinish[0] * n);
    justNum = n;
    justResNum = resNum;
}

// ord[1..n]: activity 1, then base (activities 2..n-1 already in tie order) ordered by primary key,
// then activity n.
static void orderBy(uint8_t* ord, int n, const int* primary, const uint8_t* base)
{
    ord[1] = 1;
    ord[n] = static_cast<uint8_t>(n);
    sortByKey(base, n - 2, primary, ord + 2);
}

// Equal start times and latest starts can pair an activity with a predecessor only through
// activities of duration 0; should the number order then put the successor first, the order is
// mended by taking, in sorted order, the first activity whose predecessors all stand before it.
// Only such fully tied activities change places, so on networks numbered in precedence order (all
// benchmark files) this changes nothing.
static void keepPrecedence(uint8_t* ord, int n)
{
    ActSet placed;
    setClear(placed);
    int p = 1;
    for (; p <= n; ++p) {
        if (!setSubset(predSet[ord[p]], placed)) break;
        setAdd(placed, ord[p]);
    }
    for (; p <= n; ++p) {
        int q = p;
        while (q <= n && !setSubset(predSet[ord[q]], placed)) ++q;
        if (q > n) return;  // no precedence-feasible order exists (a cyclic network)
        uint8_t a = ord[q];
        for (int s = q; s > p; --s) ord[s] = ord[s - 1];
        ord[p] = a;
        setAdd(placed, a);
    }
}

// ord by start time, ties by truncated latest start, then activity number. Only when some real
// activity takes no time can a predecessor tie with its successor; then the order is mended.
static void orderByStart(uint8_t* ord, int n)
{
    int startKey[actDim] = {};
    for (int a = 1; a <= n; ++a) startKey[a] = whole(startTime[a]);
    orderBy(ord, n, startKey, lateStartTies);
    if (justZeroDurations) keepPrecedence(ord, n);
}

int justifyList(uint8_t* list)
{
    int n = actNum;
    uint8_t ord[actDim];

    // 1. The activity-based schedule with nominal durations.
    list[0] = 0;
    // The engine's result equals finishTime[n], except for a run that cannot finish, which it
    // reports as a huge makespan: the horizon test below then leaves such a list alone.
    float makespan = executeActivityBased(list, false, 1);

    // 3. (Tested before the order of step 2 is made, which has no effect outside this call.) The
    // profile covers time units 0..max_time only. A longer schedule (or a run that could not finish)
    // is left unjustified: the list as given is still a feasible one.
    if (makespan > static_cast<float>(max_time)) {
        std::printf("Error! max_time == %d is too low!\n", max_time);
        std::fflush(stdout);
        waitKey();
        return 0;
    }

    // 2. Backward order: finish time ascending, ties by truncated latest finish descending.
    keepProjectParts(n);
    {
        int finishKey[actDim];
        for (int a = 1; a <= n; ++a) finishKey[a] = whole(finishTime[a]);
        orderBy(ord, n, finishKey, lateFinishTies);
    }

    // 4. Profile of the activity-based schedule.
    buildProfile(whole(makespan));

    // 5. Right shift, latest finishers first; activity n stays, activity 1 comes last.
    for (int i = n - 1; i >= 1; --i) {
        int a = ord[i];
        int d = dur[a];
        float m = noSuccessorBound;
        for (int j = 1; j <= succNum[a]; ++j) {
            float s = startTime[succList[a][j]];
            if (s < m) m = s;
        }
        // Only an activity without successors (outside a valid network) could exceed the horizon.
        if (m > makespan) m = makespan;
        // Already against its bound, the activity stays: its own interval is free once given back.
        if (whole(m) == whole(finishTime[a])) continue;
        uint64_t need = reqLanes[a];
        giveBack(need, whole(finishTime[a]) - d, d);
        int f = latestFit(need, whole(m), d);
        take(need, f - d, d);
        finishTime[a] = static_cast<float>(f);
        startTime[a] = static_cast<float>(f - d);
    }

    // 6. Forward order on the right-justified times.
    orderByStart(ord, n);
    // 7. The profile of the right-justified schedule over 0..finishTime[n] is the one the right shift
    // has kept up to date: activity n did not move, so the horizon is the same, and every shift gave
    // back and took exactly its activity's usage. Rebuilding it would give the same table.

    // 8. Left shift, earliest starters first.
    for (int i = 1; i <= n; ++i) {
        int a = ord[i];
        int d = dur[a];
        float m = 0.0f;
        for (int j = 1; j <= predNum[a]; ++j) {
            float f = finishTime[predList[a][j]];
            if (f > m) m = f;
        }
        if (whole(m) == whole(startTime[a])) continue;  // stays, as in the right shift
        uint64_t need = reqLanes[a];
        giveBack(need, whole(startTime[a]), d);
        int s = earliestFit(need, whole(m), d);
        take(need, s, d);
        startTime[a] = static_cast<float>(s);
        finishTime[a] = static_cast<float>(s + d);
    }

    // 9. The new list: activities in order of their left-justified start.
    orderByStart(ord, n);
    for (int i = 1; i <= n; ++i) list[i] = ord[i];
    return 0;
}
