// The steps both instance readers share around their own parsing: starting the tables, storing arcs,
// closing the transitive sets, and the checks every accepted project passes.
//
// Each arc is checked before it is stored, so nothing outside 1..n or beyond a list's room reaches a
// table; the network checks run on the closed sets, where a cycle shows as an activity in its own set.
#include "project/readerSteps.h"

#include "project/closurePass.h"
#include "project/scanner.h"
#include "project/state.h"

void fillBitMask()
{
    bitMask[0] = 1;
    for (int b = 1; b < 64; ++b) bitMask[b] = bitMask[b - 1] << 1;
}

void clearProjectRows(int n)
{
    for (int i = 0; i <= n; ++i) {
        succNum[i] = 0;
        predNum[i] = 0;
    }
    for (int i = 1; i <= n; ++i) {
        setClear(succSet[i]);
        setClear(predSet[i]);
    }
}

// An arc listed twice is stored twice, as the file gives it (both layouts allow it, and every later
// pass holds an activity once however often it stands in a list); only the room of the lists
// bounds how often, so no list is written past its last place.
static bool storeArc(int i, long j)
{
    int n = actNum;
    if (j < 1 || j > n) return reject(tokenLineNo(), "successor %ld of activity %d is outside 1 .. %d", j, i, n);
    if (j == i) return reject(tokenLineNo(), "activity %d lists itself as its successor", i);
    if (predNum[j] == maxAct)
        return reject(tokenLineNo(), "activity %ld has more than the %d predecessors a list can hold", j, maxAct);
    setAdd(succSet[i], static_cast<int>(j));
    succList[i][++succNum[i]] = static_cast<uint8_t>(j);
    // Rows come in ascending i, so every predecessor list grows in ascending order.
    setAdd(predSet[j], i);
    predList[j][++predNum[j]] = static_cast<uint8_t>(i);
    return true;
}

bool readSuccessors(int i, bool withinLine)
{
    long count;
    describe("the successor count of activity %d", i);
    if (!readNumber(withinLine, numberCeiling, count)) return false;
    if (count > maxAct)
        return reject(tokenLineNo(), "activity %d has %ld successors, more than the %d a list can hold", i, count,
                      maxAct);
    for (int k = 1; k <= count; ++k) {
        long j;
        describe("successor %d of activity %d", k, i);
        if (!readNumber(withinLine, numberCeiling, j) || !storeArc(i, j)) return false;
    }
    return true;
}

bool readDurationAndRequirements(int i, bool withinLine)
{
    long d;
    describe("the duration of activity %d", i);
    if (!readNumber(withinLine, maxDur, d)) return false;
    dur[i] = static_cast<uint16_t>(d);
    for (int r = 1; r <= resNum; ++r) {
        long q;
        describe("the requirement of activity %d for resource %d", i, r);
        if (!readNumber(withinLine, maxAmount, q)) return false;
        resReq[i][r] = static_cast<uint8_t>(q);
    }
    return true;
}

// Transitive closure by repeated passes until nothing changes. A set grown earlier in a pass is
// used at once by later activities of the same pass. The passes end on any network, since sets
// only grow.
void closeSets()
{
    int n = actNum;
    while (closurePassOverPredecessors(predSet)) {
    }
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = n; i >= 1; --i)
            for (int p = 1; p <= succNum[i]; ++p) {
                const ActSet& s = succSet[succList[i][p]];
                if (!setSubset(s, succSet[i])) {
                    setUnite(succSet[i], s);
                    changed = true;
                }
            }
    }
}

// In an acyclic network where every other activity has a predecessor, activity 1 cannot have one,
// and likewise for n; so those need no test.
bool checkNetwork()
{
    int n = actNum;
    for (int i = 1; i <= n; ++i)
        if (setHas(succSet[i], i)) return reject(0, "the precedence relations form a cycle through activity %d", i);
    for (int i = 2; i <= n; ++i)
        if (predNum[i] == 0) return reject(0, "activity %d has no predecessor (only activity 1 may start the project)", i);
    for (int i = 1; i < n; ++i)
        if (succNum[i] == 0) return reject(0, "activity %d has no successor (only activity %d may end the project)", i, n);
    return true;
}

// An activity that needs more of a resource than there is could never start in any schedule.
bool checkRequirements()
{
    for (int i = 1; i <= actNum; ++i)
        for (int r = 1; r <= resNum; ++r)
            if (resReq[i][r] > resCap[r])
                return reject(0, "activity %d needs %d units of resource %d, which has only %d", i, resReq[i][r], r,
                              resCap[r]);
    return true;
}

// With every duration 0 the lower bound is 0 and no gap above it can be computed. Beyond maxDurSum a
// schedule could outrun the time units the list justification keeps a resource profile for.
bool checkDurations()
{
    long sum = 0;
    for (int i = 1; i <= actNum; ++i) sum += dur[i];
    if (sum == 0) return reject(0, "every activity has duration 0, so the project has no length to compare with");
    if (sum > maxDurSum)
        return reject(0, "the durations add up to %ld, above the limit of %d time units a schedule may span (max_time)",
                      sum, maxDurSum);
    return true;
}
