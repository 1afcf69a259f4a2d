// The candidate arc network of HV: pairs of activities that meet in a nominal schedule of the best
// Phase 1 list, the four single arcs of each pair tried with the nominal arc-aware engine, and the
// improving ones ranked by gain (makespan reduction) into candArcs with selection probabilities.
#include <cstdio>

#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/check.h"
#include "project/state.h"
#include "project/warnings.h"

int32_t candPairNum;
uint8_t candPairs[2 * (nt_total_arcs_nr + 1)];

// Improving arcs in order of discovery (triple k at 3k..3k+2); their gains are in foundGain.
// Only the first nt_total_arcs_nr are kept; candFound still counts every one found.
static uint8_t foundArcs[3 * (nt_total_arcs_nr + 1)];
// A gain is at most the nominal makespan, which the readers keep at or below maxDurSum.
constexpr int maxGain = maxDurSum;
// Found places ranked by gain, largest first, equal gains in order of discovery.
static uint16_t foundRank[nt_total_arcs_nr];

// ---- Step 1: the pair schedule ----

static void recordPair(ActSet* marks, int a, int b)
{
    if (setHas(marks[a], b)) return;
    // Marked even when the list is full, so a refused pair is refused (and reported) once.
    setAdd(marks[a], b);
    setAdd(marks[b], a);
    if (candPairNum >= nt_total_arcs_nr) {
        static char text[80];
        std::snprintf(text, sizeof text, "nt_total_arcs_nr = %d  is too low! required: %d \n", nt_total_arcs_nr,
                      nt_total_arcs_nr);
        capacityWarning(text);
        return;
    }
    ++candPairNum;
    candPairs[2 * candPairNum] = static_cast<uint8_t>(a);
    candPairs[2 * candPairNum + 1] = static_cast<uint8_t>(b);
}

static bool fits(int a)
{
    for (int r = 1; r <= resNum; ++r)
        if (resCap[r] < resReq[a][r]) return false;
    return true;
}

// A time-stepped schedule of bestList with nominal durations and no extra arcs. At each decision
// time the concurrent set holds the activities in progress and every eligible one, started there
// or blocked by resources; each new pair within it is recorded. Positions link the pending list
// (doubly, in list order) and the active list (singly, ascending finish, ties in start order).
static void pairSchedule()
{
    const int n = actNum;
    const uint8_t* list = bestList;
    ActSet marks[actDim];
    uint8_t pendNext[actDim], pendPrev[actDim];  // position 0 heads the pending list
    uint8_t activeNext[actDim];
    uint8_t concurrent[maxAct];
    for (int a = 1; a <= n; ++a) setClear(marks[a]);
    for (int p = 0; p <= n; ++p) {
        pendNext[p] = static_cast<uint8_t>(p < n ? p + 1 : 0);
        pendPrev[p] = static_cast<uint8_t>(p > 0 ? p - 1 : 0);
        activeNext[p] = 0;
    }
    for (int a = 1; a <= n; ++a) startTime[a] = -1.0f;
    ActSet finished;
    setClear(finished);
    int activeHead = 0;
    int completed = 0;
    float t = 0.0f;
    candPairNum = 0;
    while (completed < n - 1) {
        while (activeHead != 0 && finishTime[list[activeHead]] == t) {
            int pos = activeHead;
            int a = list[pos];
            ++completed;
            setAdd(finished, a);
            for (int r = 1; r <= resNum; ++r) resCap[r] = static_cast<uint8_t>(resCap[r] + resReq[a][r]);
            pendNext[pendPrev[pos]] = pendNext[pos];
            if (pendNext[pos] != 0) pendPrev[pendNext[pos]] = pendPrev[pos];
            activeHead = activeNext[pos];
        }
        int concNum = 0;
        for (int pos = activeHead; pos != 0; pos = activeNext[pos]) concurrent[concNum++] = list[pos];
        for (int pos = pendNext[0]; pos != 0; pos = pendNext[pos]) {
            int a = list[pos];
            if (startTime[a] != -1.0f || !setSubset(predSet[a], finished)) continue;
            concurrent[concNum++] = static_cast<uint8_t>(a);
            if (!fits(a)) continue;
            for (int r = 1; r <= resNum; ++r) resCap[r] = static_cast<uint8_t>(resCap[r] - resReq[a][r]);
            startTime[a] = t;
            finishTime[a] = t + static_cast<float>(dur[a]);
            int prev = 0;
            int next = activeHead;
            while (next != 0 && finishTime[list[next]] <= finishTime[a]) {
                prev = next;
                next = activeNext[next];
            }
            activeNext[pos] = static_cast<uint8_t>(next);
            if (prev == 0)
                activeHead = pos;
            else
                activeNext[prev] = static_cast<uint8_t>(pos);
        }
        for (int i = 0; i < concNum; ++i)
            for (int j = i + 1; j < concNum; ++j) recordPair(marks, concurrent[i], concurrent[j]);
        // Nothing in progress and nothing able to start (a requirement above its capacity): the
        // list cannot be scheduled, and without this stop the loop would never end.
        if (activeHead == 0) break;
        t = finishTime[list[activeHead]];
        simTime = t;
    }
    // The end activity is still in progress when the loop stops; give back whatever it holds.
    for (int pos = activeHead; pos != 0; pos = activeNext[pos])
        for (int r = 1; r <= resNum; ++r)
            resCap[r] = static_cast<uint8_t>(resCap[r] + resReq[list[pos]][r]);
}

// ---- Step 2: the four arc tests per pair ----

// Nominal makespan with exactly one extra arc added to set[to]; the set is emptied afterwards.
static int makespanWith(ActSet* set, int from, int to)
{
    setAdd(set[to], from);
    // Nominal makespans are whole numbers; the integer part is taken.
    int m = static_cast<int>(executeWithArcs(bestList, false, 1));
    setClear(set[to]);
    return m;
}

void recordFoundArc(int from, int to, int type, int gain)
{
    ++candFound;
    if (candFound > nt_total_arcs_nr) return;
    uint8_t* arc = foundArcs + 3 * candFound;
    arc[0] = static_cast<uint8_t>(from);
    arc[1] = static_cast<uint8_t>(to);
    arc[2] = static_cast<uint8_t>(type);
    // For the benchmark sets only the low 8 bits of the gain are kept, as their results were made;
    // a file run's project ranks by its true gain, which a gain above 255 would otherwise wrap.
    tarvoCheck(gain > 0 && gain <= maxGain);
    foundGain[candFound] = static_cast<uint16_t>(projectFile.empty() ? gain & 0xFF : gain);
}

static void testPairs()
{
    clearExtraArcs();
    int base = static_cast<int>(executeWithArcs(bestList, false, 1));
    candFound = 0;
    for (int k = 1; k <= candPairNum; ++k) {
        int a = candPairs[2 * k];
        int b = candPairs[2 * k + 1];
        int m1 = makespanWith(extraFinPred, b, a);
        int m2 = makespanWith(extraFinPred, a, b);
        int m3 = makespanWith(extraStartPred, b, a);
        int m4 = makespanWith(extraStartPred, a, b);
        // Per type the better direction; on a tie the arc runs from b to a.
        if (m1 < base || m2 < base) {
            if (m1 > m2)
                recordFoundArc(a, b, 1, base - m2);
            else
                recordFoundArc(b, a, 1, base - m1);
        }
        if (m3 < base || m4 < base) {
            if (m3 > m4)
                recordFoundArc(a, b, 2, base - m4);
            else
                recordFoundArc(b, a, 2, base - m3);
        }
    }
}

// ---- Step 3: ranking and probabilities ----

// Stable counting sort over the gain values, largest first: equal gains keep their order of
// discovery, and the sort needs no comparisons, draws or allocation.
static void rankFound(int stored)
{
    int start[maxGain + 1] = {};
    for (int k = 1; k <= stored; ++k) ++start[foundGain[k]];
    int next = 0;
    for (int g = maxGain; g >= 0; --g) {
        int count = start[g];
        start[g] = next;
        next += count;
    }
    for (int k = 1; k <= stored; ++k) foundRank[start[foundGain[k]]++] = static_cast<uint16_t>(k);
}

void rankCandidates()
{
    int stored = candFound < nt_total_arcs_nr ? candFound : nt_total_arcs_nr;
    rankFound(stored);
    candNum = candFound < maxCand ? candFound : maxCand;
    int sum = 0;
    for (int r = 1; r <= candNum; ++r) {
        int k = foundRank[r - 1];
        for (int b = 0; b < 3; ++b) candArcs[3 * r + b] = foundArcs[3 * k + b];
        candGain[r] = foundGain[k];
        sum += candGain[r];
    }
    // A sum of 0 needs every gain of a benchmark project to be a multiple of 256 (only the low 8
    // bits are kept); the probabilities are then all 0 rather than 0/0.
    for (int r = 1; r <= candNum; ++r)
        candProb[r] = sum > 0 ? static_cast<float>(candGain[r]) / static_cast<float>(sum) : 0.0f;
    if (candFound >= nt_total_arcs_nr - 1) {
        static char text[80];
        std::snprintf(text, sizeof text, "Warning: nt_total_arcs_nr = %d  too small!!! required: %d \n",
                      nt_total_arcs_nr, candFound);
        capacityWarning(text);
    }
    markDrawableCandidates();
}

void buildCandidateArcs()
{
    pairSchedule();
    testPairs();
    rankCandidates();
}
