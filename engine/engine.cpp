// Policy execution: one event loop shared by the three engines, with their start rules (the
// activity-based place pointer, and resource-based passes over eligSet with or without extra arcs).
//
// This is the inner loop of the whole search, so a run keeps all its working state in locals:
//  - the active list is an array of (finish time, list place) entries sorted from its head; every
//    activity enters it once per run, so the head only moves forward and never wraps, and the head
//    and tail indices count the finished and the started activities;
//  - eligSet is a bit set over LIST PLACES (one word for lists of up to 63 places, two beyond), so
//    its members come out in ascending place order by counting trailing zeros, an activity cannot
//    be in it twice, and removing one is clearing a bit;
//  - an activity joins eligSet when its count of arcs from unfinished predecessors reaches 0, so a
//    completion costs one decrement per successor arc, not a test of a predecessor set. Under the
//    rule with arcs the count also holds the activity's extra arcs: a finish-to-start arc is met at
//    its source's completion, a start-to-start arc at its source's start, so eligSet never holds an
//    activity that waits on an arc and a pass never visits one;
//  - the free capacity and the requirements are packed one resource per 16-bit lane of a word, so a
//    single subtraction compares all resources. resCap itself is never written: it holds the
//    capacities throughout, which is what a run must leave behind;
//  - the resource-based rules never test members of eligSet one by one against the free capacity:
//    per lane and free amount, fitSet holds the places that fit, so the members that fit are
//    eligSet AND one set per lane. The sets, the requirements by place and each activity's place
//    depend only on the list, its activities' requirements and the capacities, and are kept from
//    run to run until one of these differs (callers run one list many times in a row).
// Invariant at each start phase: every activity whose finish time equals the current time has
// completed, and eligSet holds exactly the activities whose predSet has finished, whose extra arcs
// (with that rule) are met and that have not started: those whose count of arcs still waited on is 0.
#include "engine/engine.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "durations/durations.h"
#include "project/check.h"
#include "project/platform.h"
#include "project/state.h"

// ---- Tables kept from run to run (this file alone reads and writes them) ----
// The list's places as the resource-based engines use them, rebuilt only when the list, its
// activities' requirement rows, resNum or the capacities differ from the previous run's (a list is
// run 10 to 1000 times in a row). Lane l is the 16-bit lane l of a packed amount (see engine.cpp);
// places are bits p % 64 of word p / 64.
static uint8_t fitList[actDim];              // the list at places 1..fitNum, part of the key
static uint8_t fitReq[actDim][resDim];       // resReq rows of activities 1..fitNum, part of the key
static int32_t fitNum;                       // places covered; 0 before the first resource-based run
static int32_t fitResNum;                    // resNum, part of the key
static uint64_t fitCaps;                     // packed capacities, the rest of the key
static uint64_t fitNeed[actDim];             // packed requirements at places 1..fitNum
static uint8_t fitPos[actDim];               // each activity's place in fitList
static uint64_t fitSet[maxRes][256][2];      // [l][v]: places needing at most v in lane l, v up to its capacity
// The extra arcs as the rule with arcs uses them, rebuilt only when the arc sets of activities
// 1..arcNum differ from the previous run's (a policy's arcs are run 10 to 1000 times in a row).
static ActSet arcFinKey[actDim];             // extraFinPred of activities 1..arcNum, part of the key
static ActSet arcStartKey[actDim];           // extraStartPred of the same, the rest of the key
static int32_t arcNum;                       // activities covered; 0 before the first run with arcs
static uint16_t arcCount[actDim];            // extra arcs into each activity
static uint8_t finArcNum[actDim];            // finish-to-start arcs out of each activity; their
static uint8_t finArcOut[actDim][actDim];    // targets (activities, not list places) at 1..finArcNum
static uint8_t startArcNum[actDim];          // start-to-start arcs out of each activity; their
static uint8_t startArcOut[actDim][actDim];  // targets at 1..startArcNum

// ---- Packed resource amounts ----

// Amounts sit in their lanes sixteen times over: at most 255 * 16 = 4080, so the top bit of every
// lane is still free as a guard, and a lane's free amount is directly the byte offset of its fit
// set (two words, 16 bytes, per level), with no shift.
constexpr int laneShift = 4;

// The amounts of resources 1..4 spread over the four 16-bit lanes of a word: one 4-byte load, the
// first and third bytes kept in place and the second and fourth moved to the upper half. Which lane
// holds which resource depends on the byte order but is the same for requirements and capacities,
// which is all the test needs. keepBytes (built the same way) masks off the columns beyond resNum,
// which may hold an earlier project's values.
static inline uint64_t packAmounts(const uint8_t* first, uint32_t keepBytes)
{
    uint32_t bytes;
    std::memcpy(&bytes, first, sizeof bytes);
    bytes &= keepBytes;
    return ((bytes & 0x00FF00FFu) | uint64_t{(bytes >> 8) & 0x00FF00FFu} << 32) << laneShift;
}

// The top bit of every lane.
constexpr uint64_t laneTops = 0x8000800080008000ull;

// Every lane of need is within the same lane of freeCap. With the guard bit set, a lane cannot
// borrow from its neighbour, and its top bit survives exactly when free >= need.
static inline bool fits(uint64_t need, uint64_t freeCap)
{
    return (((freeCap | laneTops) - need) & laneTops) == laneTops;
}

// Lane l (0..3) of a packed word as it stands: sixteen times the amount.
static inline unsigned laneValue(uint64_t packed, int l)
{
    return static_cast<unsigned>(packed >> (16 * l)) & 0xFFFFu;
}

// Amount of lane l of a packed word.
static inline unsigned laneAmount(uint64_t packed, int l) { return laneValue(packed, l) >> laneShift; }

static_assert(sizeof fitSet[0][0] == 1u << laneShift, "a lane's value must be the byte offset of its fit set");

// ---- The list's places ----

// The places of list[1..n] are still those built for the previous run: the same list, the same
// requirement rows of its activities, resNum and capacities caps.
static inline bool placesCurrent(const uint8_t* list, int n, uint64_t caps)
{
    return fitNum == n && fitCaps == caps && fitResNum == resNum && std::memcmp(&fitList[1], &list[1], n) == 0 &&
           std::memcmp(fitReq[1], resReq[1], sizeof resReq[0] * n) == 0;
}

// Builds, with their key, the requirements by place fitNeed, each activity's place fitPos and the
// fit sets. Per lane, every place goes into the set of its own requirement, and the sets are then
// united upwards, so that set v holds the places needing at most v. A place needing more than the
// capacity is in no set: it never fits.
static void buildPlaces(const uint8_t* list, int n, uint32_t keepBytes, uint64_t caps)
{
    for (int p = 1; p <= n; ++p) {
        fitNeed[p] = packAmounts(&resReq[list[p]][1], keepBytes);
        fitPos[list[p]] = static_cast<uint8_t>(p);
        fitList[p] = list[p];
    }
    std::memcpy(fitReq[1], resReq[1], sizeof resReq[0] * n);
    for (int l = 0; l < maxRes; ++l) {
        unsigned cap = laneAmount(caps, l);
        for (unsigned v = 0; v <= cap; ++v) fitSet[l][v][0] = fitSet[l][v][1] = 0;
        for (int p = 1; p <= n; ++p) {
            unsigned v = laneAmount(fitNeed[p], l);
            if (v <= cap) fitSet[l][v][p >> 6] |= uint64_t{1} << (p & 63);
        }
        for (unsigned v = 1; v <= cap; ++v) {
            fitSet[l][v][0] |= fitSet[l][v - 1][0];
            fitSet[l][v][1] |= fitSet[l][v - 1][1];
        }
    }
    fitNum = n;
    fitResNum = resNum;
    fitCaps = caps;
}

// Narrows the place sets low (places 0..63) and high (64..) to the places whose requirements lie
// within freeCap in every lane. The free amount of a lane never exceeds its capacity, and its value
// is the byte offset of its set among the lane's sets.
template <bool wide>
static inline void keepFitting(uint64_t freeCap, uint64_t& low, uint64_t& high)
{
    for (int l = 0; l < maxRes; ++l) {
        const char* sets = reinterpret_cast<const char*>(fitSet[l]) + laneValue(freeCap, l);
        low &= reinterpret_cast<const uint64_t*>(sets)[0];
        if constexpr (wide) high &= reinterpret_cast<const uint64_t*>(sets)[1];
    }
}

// ---- The rare paths, kept out of the loop ----

// A member of eligSet about to start has started before.
[[gnu::cold]] [[gnu::noinline]] static void reportStartedEligible()
{
    std::printf("ERROR! activity in eligSet already started! \n");
    waitKey();
}

// Nothing is in progress and nothing may start: the run can never finish.
[[gnu::cold]] [[gnu::noinline]] static float abortStuckRun(float now, int finishedCount, int n)
{
    std::printf("ERROR! execution engine: no activity in progress and none can start at time %g "
                "(%d of %d activities finished); run aborted\n",
                static_cast<double>(now), finishedCount, n);
    finishTime[n] = stuckMakespan;
    return stuckMakespan;
}

// list[1..n] holds every activity once (checked in debug builds only: it costs a pass per run).
[[maybe_unused]] static bool isPermutation(const uint8_t* list, int n)
{
    ActSet seen;
    setClear(seen);
    for (int p = 1; p <= n; ++p) {
        if (list[p] < 1 || list[p] > n || setHas(seen, list[p])) return false;
        setAdd(seen, list[p]);
    }
    return true;
}

// ---- Activity bits ----

// The ActSet bit of every activity as a mask for each word (zero for the other word), so that adding
// an activity to a set is two loads and two ORs, without the test for its word.
static constexpr std::array<uint64_t, actDim> actBitsOfWord(int word)
{
    std::array<uint64_t, actDim> masks{};
    for (int a = 1; a < actDim; ++a)
        if ((a >= 64) == (word == 1)) masks[a] = uint64_t{1} << (a >= 64 ? a - 63 : a);
    return masks;
}
static constexpr std::array<uint64_t, actDim> actBitLow = actBitsOfWord(0);
static constexpr std::array<uint64_t, actDim> actBitHigh = actBitsOfWord(1);

static inline void addAct(ActSet& s, int a)
{
    s.w[0] |= actBitLow[a];
    s.w[1] |= actBitHigh[a];
}

// Adds place q to the place set low/high when yes is 1. Word masks by arithmetic: a compiler may
// turn a choice between the words into a branch, and which word a released place is in is
// unpredictable.
template <bool wide>
static inline void placeInto(uint64_t& low, uint64_t& high, int q, uint64_t yes)
{
    if constexpr (wide) {
        uint64_t bit = yes << (q & 63), inHigh = static_cast<uint64_t>(q >> 6);
        low |= bit & (inHigh - 1);
        high |= bit & (0 - inHigh);
    } else {
        low |= yes << q;
    }
}

// ---- The extra arcs ----

// The arcs kept are still those of extraFinPred and extraStartPred over activities 1..n.
static inline bool arcsCurrent(int n)
{
    return arcNum == n && std::memcmp(&arcFinKey[1], &extraFinPred[1], sizeof extraFinPred[0] * n) == 0 &&
           std::memcmp(&arcStartKey[1], &extraStartPred[1], sizeof extraStartPred[0] * n) == 0;
}

// The sources among 1..n of the arcs in set (word 0 bit b is activity b, word 1 bit b activity
// b + 63), each given target t in out[source][1..outNum[source]].
static inline void addArcSources(const ActSet& set, int n, int t, uint8_t (*out)[actDim], uint8_t* outNum)
{
    for (int w = 0; w < 2; ++w)
        for (uint64_t bits = set.w[w]; bits != 0; bits &= bits - 1) {
            int f = __builtin_ctzll(bits) + 63 * w;
            if (f >= 1 && f <= n) out[f][++outNum[f]] = static_cast<uint8_t>(t);
        }
}

// Builds, with their key, each activity's count of extra arcs into it (every set bit, so that an
// arc from outside 1..n is never met, as a predecessor that never finishes) and the targets of
// its arcs out.
static void buildArcs(int n)
{
    std::memset(&finArcNum[1], 0, n);
    std::memset(&startArcNum[1], 0, n);
    for (int t = 1; t <= n; ++t) {
        const ActSet& fin = extraFinPred[t];
        const ActSet& st = extraStartPred[t];
        arcCount[t] = static_cast<uint16_t>(__builtin_popcountll(fin.w[0]) + __builtin_popcountll(fin.w[1]) +
                                            __builtin_popcountll(st.w[0]) + __builtin_popcountll(st.w[1]));
        if (arcCount[t] == 0) continue;
        addArcSources(fin, n, t, finArcOut, finArcNum);
        addArcSources(st, n, t, startArcOut, startArcNum);
    }
    std::memcpy(&arcFinKey[1], &extraFinPred[1], sizeof extraFinPred[0] * n);
    std::memcpy(&arcStartKey[1], &extraStartPred[1], sizeof extraStartPred[0] * n);
    arcNum = n;
}

// ---- The event loop ----

enum StartRule { activityBased, resourceBased, withArcs };

// Durations read from a table per activity instead of drawn (an evaluation scenario).
constexpr int givenDurations = -2;

// pool: 0 for nominal durations, the table size when it is a constant of the build (so the draw's
// choice of table folds away), -1 for any other poolSize, which is then passed on as given, and
// givenDurations for given[1..actNum]. wide: the list has places 64 and up, so eligSet needs its
// second word (projects up to 63 activities keep it, and every test of it, out of the loop).
template <StartRule rule, int pool, bool wide>
static float runPolicy(uint8_t* list, int poolSize, const float* given = nullptr)
{
    const int n = actNum;
    list[0] = 0;
    simTime = 0.0f;
    for (int a = 0; a <= n; ++a) finishTime[a] = 0.0f;
    for (int a = 1; a <= n; ++a) startTime[a] = -1.0f;
    if (n <= 1) return finishTime[n];
    tarvoDebugCheck(isPermutation(list, n));

    // Requirements by list place (need); listPos leads from an activity back to its place.
    const uint8_t keep[4] = {uint8_t(resNum >= 1 ? 0xFF : 0), uint8_t(resNum >= 2 ? 0xFF : 0),
                             uint8_t(resNum >= 3 ? 0xFF : 0), uint8_t(resNum >= 4 ? 0xFF : 0)};
    uint32_t keepBytes;
    std::memcpy(&keepBytes, keep, sizeof keepBytes);
    uint64_t freeCap = packAmounts(&resCap[1], keepBytes);
    // The activity-based rule needs only the requirements by place, and is often run on a new list
    // each time; the resource-based rules keep theirs with the fit sets.
    uint64_t ownNeed[rule == activityBased ? actDim : 1];
    const uint64_t* need = fitNeed;
    const uint8_t* listPos = fitPos;
    if constexpr (rule == activityBased) {
        for (int p = 1; p <= n; ++p) ownNeed[p] = packAmounts(&resReq[list[p]][1], keepBytes);
        need = ownNeed;
    } else if (!placesCurrent(list, n, freeCap)) {
        buildPlaces(list, n, keepBytes, freeCap);
    }
    // eligSet in two words held in registers: place p is bit p % 64 of eligLow (p < 64) or eligHigh,
    // which stays empty unless the list is wide.
    uint64_t eligLow = 0, eligHigh = 0;
    auto addPlace = [&](int q, uint64_t yes) { placeInto<wide>(eligLow, eligHigh, q, yes); };

    ActSet finishedSet;
    setClear(finishedSet);
    // Per activity, the arcs it still waits on: from predecessors that have not finished (an arc the
    // file lists twice counts twice, as it is also met twice among the successors) and, under the
    // rule with arcs, its extra arcs not yet met (an extra arc from outside 1..n is never met, as a
    // predecessor that never finishes). It becomes eligible when this reaches 0. The activity-based
    // rule keeps none of it.
    using ArcCount = std::conditional_t<rule == withArcs, uint16_t, uint8_t>;
    ArcCount waitingArcs[rule == activityBased ? 1 : actDim];
    if constexpr (rule == resourceBased) std::memcpy(&waitingArcs[1], &predNum[1], n);
    if constexpr (rule == withArcs) {
        if (!arcsCurrent(n)) buildArcs(n);
        // Activity 1 starts the run: it waits on nothing but its extra arcs.
        waitingArcs[1] = arcCount[1];
        for (int t = 2; t <= n; ++t) waitingArcs[t] = static_cast<ArcCount>(predNum[t] + arcCount[t]);
    }
    if constexpr (rule == resourceBased) addPlace(listPos[1], 1);
    if constexpr (rule == withArcs) addPlace(listPos[1], waitingArcs[1] == 0);
    // Active list: places activePos[head .. tail - 1] with their finish times activeEnd.
    uint8_t activePos[actDim];
    float activeEnd[actDim];
    int head = 0, tail = 0;
    float now = 0.0f;

    auto start = [&](int p) {
        int a = list[p];
        // By the invariant no member of eligSet has started; the test stands guard over it where
        // a breach would do harm, at the start.
        if constexpr (rule != activityBased)
            if (startTime[a] != -1.0f) reportStartedEligible();
        freeCap -= need[p];
        float t;
        if constexpr (pool == 0)
            t = static_cast<float>(dur[a]);
        else if constexpr (pool == givenDurations)
            t = given[a];
        else
            t = rndGen(a, pool > 0 ? pool : poolSize);
        float end = now + t;
        startTime[a] = now;
        finishTime[a] = end;
        // Behind every activity finishing at the same time or earlier: ties complete in start order.
        int slot = tail++;
        while (slot > head && activeEnd[slot - 1] > end) {
            activeEnd[slot] = activeEnd[slot - 1];
            activePos[slot] = activePos[slot - 1];
            --slot;
        }
        activeEnd[slot] = end;
        activePos[slot] = static_cast<uint8_t>(p);
    };

    auto startPhase = [&]() {
        if constexpr (rule == activityBased) {
            // The place pointer is tail + 1, since every start is the next place; the activity there
            // has not started, as the list holds each activity once.
            while (tail < n) {
                int p = tail + 1;
                if (!setSubset(predSet[list[p]], finishedSet)) break;
                if (!fits(need[p], freeCap)) break;
                start(p);
            }
        } else {
            // Passes in list order until one starts nothing. Starting only lowers the free capacity,
            // so a further pass can only start a member that a start-to-start arc released behind
            // the place of its source's start (one released ahead of it is visited in the same
            // pass); without such a release it is not made. A member's tests have no side effects,
            // so the resource test is made for all members at once: a pass visits only the members
            // that fit, and after each start narrows the members still ahead of it to those that
            // fit what is left.
            bool again;
            do {
                again = false;
                // Both words in one loop (one unpredictable loop exit per pass, not two).
                uint64_t low = eligLow, high = eligHigh;
                keepFitting<wide>(freeCap, low, high);
                while ((low | high) != 0) {
                    // The next member, taken out of low or high; highWord is all ones once the low
                    // word is used up.
                    int bit;
                    uint64_t taken = 0, highWord = 0;
                    if constexpr (wide) {
                        // A pass visits few members, and which word holds the next one is
                        // unpredictable: the words are chosen between by masks, as in placeInto,
                        // each word's own update kept short. low loses its lowest bit, if any, and
                        // high its lowest bit only while low is empty.
                        highWord = 0 - static_cast<uint64_t>(low == 0);
                        uint64_t members = low | (high & highWord);
                        bit = __builtin_ctzll(members);
                        taken = members & (0 - members);
                        low &= low - 1;
                        high &= ~(high & (0 - high) & highWord);
                    } else {
                        bit = __builtin_ctzll(low);
                        low &= low - 1;
                    }
                    int p = bit + static_cast<int>(highWord & 64);
                    start(p);
                    if constexpr (wide) {
                        eligLow &= ~(taken & ~highWord);
                        eligHigh &= ~(taken & highWord);
                    } else {
                        eligLow &= ~(uint64_t{1} << bit);
                    }
                    if constexpr (rule == withArcs) {
                        // Members released by this start: one ahead of p joins this pass (the
                        // narrowing below tests whether it fits), one behind p the next pass.
                        int f = list[p];
                        for (int i = 1; i <= startArcNum[f]; ++i) {
                            int t = startArcOut[f][i], q = listPos[t];
                            uint64_t yes = --waitingArcs[t] == 0;
                            addPlace(q, yes);
                            placeInto<wide>(low, high, q, yes & static_cast<uint64_t>(q > p));
                            again |= (yes != 0) & (q < p);
                        }
                    }
                    keepFitting<wide>(freeCap, low, high);
                }
            } while (again);
        }
    };

    startPhase();
    for (;;) {
        if (head == tail) {
            simTime = now;
            return abortStuckRun(now, head, n);
        }
        now = activeEnd[head];
        if (head >= n - 1) break;
        // Completions. The head finishes at now by construction; testing it as well would only let
        // a NaN duration stall the run.
        do {
            int p = activePos[head++];
            int h = list[p];
            if constexpr (rule == activityBased) addAct(finishedSet, h);
            freeCap += need[p];
            if constexpr (rule != activityBased) {
                // Released successors join eligSet without a branch (whether one is released is
                // unpredictable). A successor of an activity that finishes now cannot have
                // started, and its count reaches 0 once, with its last predecessor's arc.
                for (int i = 1; i <= succNum[h]; ++i) {
                    int s = succList[h][i];
                    addPlace(listPos[s], --waitingArcs[s] == 0);
                }
                if constexpr (rule == withArcs)
                    for (int i = 1; i <= finArcNum[h]; ++i) {
                        int t = finArcOut[h][i];
                        addPlace(listPos[t], --waitingArcs[t] == 0);
                    }
            }
        } while (head != tail && activeEnd[head] == now);
        startPhase();
    }
    // Only the end activity is left in progress. The activity-based rule completes it, which would
    // hand its resources (none) back to freeCap; resCap never left the capacities.
    simTime = now;
    return finishTime[n];
}

// The run with eligSet in one word or two (the activity-based rule keeps no eligSet).
template <StartRule rule, int pool>
static float runSized(uint8_t* list, int poolSize, const float* given = nullptr)
{
    if constexpr (rule == activityBased)
        return runPolicy<rule, pool, true>(list, poolSize, given);
    else
        return actNum >= 64 ? runPolicy<rule, pool, true>(list, poolSize, given)
                            : runPolicy<rule, pool, false>(list, poolSize, given);
}

// Drawn durations: the three table sizes of the program as constants.
template <StartRule rule>
static float runDrawn(uint8_t* list, int poolSize)
{
    switch (poolSize) {
    case 10: return runSized<rule, 10>(list, poolSize);
    case midLevels: return runSized<rule, midLevels>(list, poolSize);
    case 1000: return runSized<rule, 1000>(list, poolSize);
    default: return runSized<rule, -1>(list, poolSize);
    }
}

// ---- The three engines ----

float executeActivityBased(uint8_t* list, bool stochastic, int poolSize)
{
    return stochastic ? runDrawn<activityBased>(list, poolSize) : runSized<activityBased, 0>(list, poolSize);
}

float executeResourceBased(uint8_t* list, int poolSize)
{
    return runDrawn<resourceBased>(list, poolSize);
}

float executeWithArcs(uint8_t* list, bool stochastic, int poolSize)
{
    return stochastic ? runDrawn<withArcs>(list, poolSize) : runSized<withArcs, 0>(list, poolSize);
}

float executeActivityBasedGiven(uint8_t* list, const float* durations)
{
    return runSized<activityBased, givenDurations>(list, 0, durations);
}

float executeResourceBasedGiven(uint8_t* list, const float* durations)
{
    return runSized<resourceBased, givenDurations>(list, 0, durations);
}

float executeWithArcsGiven(uint8_t* list, const float* durations)
{
    return runSized<withArcs, givenDurations>(list, 0, durations);
}
