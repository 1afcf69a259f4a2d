// Literal references of the Phase 1 construction (with its elite following) and of the double
// justification: slow versions written straight from their step-by-step rules, run side by side with
// the program's on random and benchmark projects; lists, times and the random stream must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "phase1/phase1.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

// ---- Construction, step by step ----

struct LiteralConstruction {
    LiteralStream& rng;
    std::vector<int> eligList;  // places 1..eligCount; entry 0 unused
    std::vector<bool> eligible, placed;
    int eligCount = 0;
    int eliteRuns = 0;          // places filled by elite following, to show the rule was used

    explicit LiteralConstruction(LiteralStream& stream) : rng(stream) {}

    bool allPredecessorsPlaced(int b) const
    {
        for (int c = 1; c <= actNum; ++c)
            if (setHas(predSet[b], c) && !placed[c]) return false;
        return true;
    }

    int biased()
    {
        int n = eligCount;
        int m = 0;
        for (int j = 1; j <= n; ++j)
            if (lateFinish[eligList[j]] > static_cast<float>(m)) m = static_cast<int>(lateFinish[eligList[j]]);
        std::vector<uint16_t> w(n + 1);
        int total = 0;
        for (int j = 1; j <= n; ++j) {
            w[j] = static_cast<uint16_t>(m - static_cast<int>(lateFinish[eligList[j]]) + 1);
            total += w[j];
        }
        std::vector<float> q(n + 1);
        for (int j = 1; j <= n; ++j) q[j] = static_cast<float>(w[j]) / static_cast<float>(total);
        float r = rng.fraction();
        if (n < 2) return 1;
        float acc = 0.0f;
        for (int k = 1; k <= n - 1; ++k) {
            acc = acc + q[k];
            if (r <= acc) return k;
        }
        return n;
    }

    int uniform()
    {
        float r = rng.fraction();
        return 1 + static_cast<int>(r * static_cast<float>(eligCount - 1));
    }

    // The first activity of elite list s that is eligible, and its place in eligList.
    int followElite(int s)
    {
        ++eliteRuns;
        for (int p = 1; p <= actNum; ++p) {
            int a = elitePool[s][p];
            if (eligible[a])
                for (int k = 1; k <= eligCount; ++k)
                    if (eligList[k] == a) return k;
        }
        ADD_FAILURE() << "no eligible activity in elite list " << s;
        return 1;
    }

    void update(int k)
    {
        int a = eligList[k];
        placed[a] = true;
        eligible[a] = false;
        eligList[k] = eligList[eligCount];
        --eligCount;
        for (int j = 1; j <= succNum[a]; ++j) {
            int b = succList[a][j];
            // An arc listed twice in the file must not make b eligible twice.
            if (allPredecessorsPlaced(b) && !eligible[b]) {
                eligList[++eligCount] = b;
                eligible[b] = true;
            }
        }
    }

    std::vector<uint8_t> build()
    {
        int n = actNum;
        eligList.assign(n + 2, 0);
        eligible.assign(n + 1, false);
        placed.assign(n + 1, false);
        eligList[1] = 1;
        eligCount = 1;
        eligible[1] = true;
        std::vector<uint8_t> list(n + 1, 0);
        bool poolFull = ph1Iter >= elitePoolSize;
        float p1 = poolFull ? 0.15f : 0.95f, p2 = 0.05f;
        int mode = -1, runLeft = 0;
        for (int i = 1; i <= n; ++i) {
            if (runLeft > 0) {
                --runLeft;
            } else {
                float r = rng.fraction();
                if (r <= p1) {
                    mode = -1;
                } else if (r <= p1 + p2) {
                    mode = 0;
                } else {
                    float u = rng.fraction();
                    mode = 1 + static_cast<int>(u * static_cast<float>(popSize - 1));
                    float v = rng.fraction();
                    runLeft = 1 + static_cast<int>(v * 29.0f);
                }
            }
            int k = mode < 0 ? biased() : mode == 0 ? uniform() : followElite(mode);
            list[i] = static_cast<uint8_t>(eligList[k]);
            update(k);
        }
        return list;
    }
};

// ---- Justification, step by step ----

struct LiteralJustification {
    int n = actNum, K = resNum;
    std::vector<float> S, F;                       // start and finish of every activity
    std::vector<std::vector<int>> profile;         // [r][t], t = 0..1200

    static int trunc(float t) { return static_cast<int>(t); }

    // ord[1..n] = 1..n with activities 2..n-1 sorted by the key pair (ties by number).
    template <class Less>
    std::vector<int> order(Less less)
    {
        std::vector<int> ord(n + 1);
        for (int a = 1; a <= n; ++a) ord[a] = a;
        std::stable_sort(ord.begin() + 2, ord.begin() + n, less);
        return ord;
    }

    void fillProfile(int horizon)
    {
        profile.assign(K + 1, std::vector<int>(1201, 0));
        for (int r = 1; r <= K; ++r)
            for (int t = 0; t <= horizon; ++t) profile[r][t] = resCap[r];
        for (int a = 1; a <= n; ++a)
            for (int r = 1; r <= K; ++r)
                for (int t = trunc(S[a]); static_cast<float>(t) < F[a]; ++t) profile[r][t] -= resReq[a][r];
    }

    bool fitsAt(int a, int t) const
    {
        for (int r = 1; r <= K; ++r)
            if (profile[r][t] < resReq[a][r]) return false;
        return true;
    }

    void add(int a, int t, int sign)
    {
        for (int r = 1; r <= K; ++r) profile[r][t] += sign * resReq[a][r];
    }

    void run(uint8_t* list)
    {
        list[0] = 0;
        executeActivityBased(list, false, 1);
        S.assign(startTime, startTime + n + 1);
        F.assign(finishTime, finishTime + n + 1);
        float M = F[n];
        ASSERT_LE(M, 1200.0f) << "the test needs projects within the horizon";
        // Step 2: finish ascending, truncated latest finish descending.
        std::vector<int> ord = order([&](int a, int b) {
            if (F[a] != F[b]) return F[a] < F[b];
            return trunc(lateFinish[a]) > trunc(lateFinish[b]);
        });
        fillProfile(trunc(M));
        // Step 5: shift right, latest finish first.
        for (int i = n - 1; i >= 1; --i) {
            int a = ord[i], d = dur[a];
            float m = 9999999.0f;
            for (int j = 1; j <= succNum[a]; ++j) m = std::min(m, S[succList[a][j]]);
            for (int j = 1; j <= d; ++j) add(a, trunc(F[a]) - j, +1);
            int f = trunc(m);
            for (;;) {
                bool clash = false;
                for (int j = 1; j <= d; ++j) clash |= !fitsAt(a, f - j);
                if (!clash) break;
                --f;
            }
            for (int j = 1; j <= d; ++j) add(a, f - j, -1);
            F[a] = static_cast<float>(f);
            S[a] = static_cast<float>(f - d);
        }
        // Steps 6 and 7: start ascending, truncated latest start ascending; the profile anew.
        auto byStart = [&](int a, int b) {
            if (S[a] != S[b]) return S[a] < S[b];
            return trunc(lateStart[a]) < trunc(lateStart[b]);
        };
        ord = order(byStart);
        fillProfile(trunc(F[n]));
        // Step 8: shift left, earliest start first.
        for (int i = 1; i <= n; ++i) {
            int a = ord[i], d = dur[a];
            float m = 0.0f;
            for (int j = 1; j <= predNum[a]; ++j) m = std::max(m, F[predList[a][j]]);
            for (int j = 0; j < d; ++j) add(a, trunc(S[a]) + j, +1);
            int s = trunc(m);
            for (;;) {
                bool clash = false;
                for (int j = 0; j < d; ++j) clash |= !fitsAt(a, s + j);
                if (!clash) break;
                ++s;
            }
            for (int j = 0; j < d; ++j) add(a, s + j, -1);
            S[a] = static_cast<float>(s);
            F[a] = static_cast<float>(s + d);
        }
        // Step 9: the new list.
        ord = order(byStart);
        for (int i = 1; i <= n; ++i) list[i] = static_cast<uint8_t>(ord[i]);
    }
};

// ---- Side by side ----

void prepare()
{
    distNum = 1;
    computeCpmTimes();
    popSize = elitePoolSize;
}

// Fills the elite pool with random feasible lists.
void randomElitePool(uint32_t seed)
{
    for (int s = 1; s <= popSize; ++s) {
        std::vector<uint8_t> list = randomFeasibleList(seed * 97u + static_cast<uint32_t>(s));
        std::copy(list.begin(), list.end(), elitePool[s]);
    }
}

// One construction by the program and by the reference from the same stream state, at the given
// construction count; returns the places the reference filled by elite following.
int compareConstruction(int iter, uint32_t state, const std::string& what)
{
    ph1Iter = iter;
    setRandState(state);
    uint8_t list[actDim] = {};
    constructActList(list);
    uint32_t after = getRandState();
    LiteralStream rng{state};
    LiteralConstruction literal(rng);
    std::vector<uint8_t> expected = literal.build();
    EXPECT_EQ(std::vector<uint8_t>(list + 1, list + actNum + 1),
              std::vector<uint8_t>(expected.begin() + 1, expected.end()))
        << what << " ph1Iter " << iter;
    EXPECT_EQ(after, rng.state) << what << " ph1Iter " << iter << ": the draws differ";
    EXPECT_EQ(after, stateAfterDraws(state, rng.draws)) << what;
    return literal.eliteRuns;
}

// The program's justification of list and the reference's, from the same list: lists and both
// schedules' times agree.
void compareJustification(const std::vector<uint8_t>& list, const std::string& what)
{
    std::vector<uint8_t> mine(list), literalList(list);
    mine.resize(actDim);
    literalList.resize(actDim);
    justifyList(mine.data());
    std::vector<float> start(startTime + 1, startTime + actNum + 1), finish(finishTime + 1, finishTime + actNum + 1);
    LiteralJustification literal;
    literal.run(literalList.data());
    EXPECT_EQ(mine, literalList) << what;
    EXPECT_EQ(start, std::vector<float>(literal.S.begin() + 1, literal.S.end())) << what;
    EXPECT_EQ(finish, std::vector<float>(literal.F.begin() + 1, literal.F.end())) << what;
}

const char* benchmarks[] = {"j301_1", "j3013_4", "j6025_7", "j6041_2", "j9046_3", "j1201_1", "j12044_9", "j12060_10"};

}  // namespace

TEST(literalConstruction, agreesWithTheProgramOnRandomProjects)
{
    std::mt19937 rng(424242);
    int eliteRuns = 0;
    for (int trial = 0; trial < 120; ++trial) {
        int n = 4 + static_cast<int>(rng() % 119);
        setProject(randomProject(rng, n, static_cast<int>(rng() % 5), trial % 4 == 0, 1 + static_cast<int>(rng() % 10)));
        prepare();
        randomElitePool(rng());
        for (int iter : {0, elitePoolSize - 1, elitePoolSize, 150})
            eliteRuns += compareConstruction(iter, rng(), "random project " + std::to_string(trial));
    }
    EXPECT_GT(eliteRuns, 1000);
}

TEST(literalConstruction, agreesWithTheProgramOnBenchmarkProjectsAndTheirOwnElites)
{
    for (const char* stem : benchmarks) {
        ASSERT_TRUE(loadBenchmark(stem));
        prepare();
        randomElitePool(7);
        // Later lists follow elite lists that are themselves constructed lists, as in a real run.
        for (int iter = 0; iter < 40; ++iter) {
            uint32_t state = 1000003u * static_cast<uint32_t>(iter + 1);
            int runs = compareConstruction(iter, state, stem);
            if (iter >= elitePoolSize) {
                EXPECT_GT(runs, 0) << stem;
            }
            setRandState(state);
            ph1Iter = iter;
            constructActList(elitePool[1 + iter % popSize]);
        }
    }
}

TEST(literalJustification, agreesWithTheProgramOnRandomProjects)
{
    std::mt19937 rng(1717);
    for (int trial = 0; trial < 150; ++trial) {
        int n = 4 + static_cast<int>(rng() % 119);
        setProject(randomProject(rng, n, static_cast<int>(rng() % 5), false, 1 + static_cast<int>(rng() % 10)));
        prepare();
        for (int k = 0; k < 3; ++k)
            compareJustification(randomFeasibleList(rng()), "random project " + std::to_string(trial));
    }
}

TEST(literalJustification, agreesWithTheProgramOnBenchmarkProjects)
{
    for (const char* stem : benchmarks) {
        ASSERT_TRUE(loadBenchmark(stem));
        prepare();
        for (uint32_t seed = 1; seed <= 10; ++seed) compareJustification(randomFeasibleList(seed), stem);
        // Constructed lists too, as Phase 1 hands them over.
        ph1Iter = 0;
        for (uint32_t seed = 1; seed <= 10; ++seed) {
            uint8_t list[actDim] = {};
            setRandState(seed);
            constructActList(list);
            compareJustification(std::vector<uint8_t>(list, list + actNum + 1), stem);
        }
    }
}
