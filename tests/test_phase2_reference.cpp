// Literal references of the genetic operators' crossover (parent draws, both coins, refused arcs
// replaced by drawn candidates) and mutation (removal and addition): slow versions written straight
// from their step-by-step rules, run side by side with the program's on random and benchmark
// projects; the children's arc lists and the random stream must agree.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "config/config.h"
#include "durations/durations.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/state.h"
#include "support/testSupport.h"

namespace {

using Arc = std::array<int, 3>;  // from, to, type
using ArcList = std::vector<Arc>;

ArcList arcList(const uint8_t* list, int count)
{
    ArcList arcs;
    for (int k = 1; k <= count; ++k) arcs.push_back({list[3 * k], list[3 * k + 1], list[3 * k + 2]});
    return arcs;
}

Arc candidate(int r) { return {candArcs[3 * r], candArcs[3 * r + 1], candArcs[3 * r + 2]}; }

// ---- The operators, step by step ----

struct LiteralOperators {
    LiteralStream& rng;
    const std::vector<bool>& drawable;  // drawable[r]: some draw makes the candidate draw return r
    int replaced = 0, removals = 0, additions = 0;

    LiteralOperators(LiteralStream& stream, const std::vector<bool>& drawableCandidates)
        : rng(stream), drawable(drawableCandidates)
    {
    }

    // The candidate a draw of u gives: the first whose cumulative probability reaches u.
    static int candidateFor(float u)
    {
        float sum = 0.0f;
        for (int r = 1; r <= candNum; ++r) {
            sum += candProb[r];
            if (sum >= u) return r;
        }
        return candNum;
    }

    // Tried for every draw the stream can make, once per candidate network.
    static std::vector<bool> markDrawable()
    {
        std::vector<bool> drawable(candNum + 1, false);
        for (int draw = 0; draw <= 32767; ++draw) drawable[candidateFor(static_cast<float>(draw) / 32767.0f)] = true;
        return drawable;
    }

    int pick() { return candidateFor(rng.fraction()); }

    // Whether `to` must come before `from` through the project's arcs and the list's arcs: a search
    // along both kinds of arc from `to`.
    static bool precedes(int to, int from, const ArcList& list)
    {
        std::vector<bool> reached(actNum + 1, false);
        std::vector<int> stack{to};
        while (!stack.empty()) {
            int a = stack.back();
            stack.pop_back();
            std::vector<int> next;
            for (int j = 1; j <= succNum[a]; ++j) next.push_back(succList[a][j]);
            for (const Arc& arc : list)
                if (arc[0] == a) next.push_back(arc[1]);
            for (int b : next)
                if (!reached[b]) {
                    reached[b] = true;
                    stack.push_back(b);
                }
        }
        return reached[from];
    }

    static bool accept(const ArcList& list, int x, int y)
    {
        for (const Arc& arc : list)
            if (arc[0] == x && arc[1] == y) return false;
        return !precedes(y, x, list);
    }

    // Draws candidates until one is accepted; 0 without a draw when no drawable candidate can be.
    int drawAccepted(const ArcList& list)
    {
        bool any = false;
        for (int r = 1; r <= candNum && !any; ++r) any = drawable[r] && accept(list, candArcs[3 * r], candArcs[3 * r + 1]);
        if (!any) return 0;
        for (;;) {
            int r = pick();
            if (accept(list, candArcs[3 * r], candArcs[3 * r + 1])) return r;
        }
    }

    void place(ArcList& child, const Arc& arc)
    {
        if (static_cast<int>(child.size()) >= arcPop_max_arc_nr) return;
        if (accept(child, arc[0], arc[1])) {
            child.push_back(arc);
            return;
        }
        ++replaced;
        int r = drawAccepted(child);
        if (r != 0) child.push_back(candidate(r));
    }

    int parent() { return 1 + static_cast<int>(rng.fraction() * static_cast<float>(popSize - 1)); }

    // Children 1..2 x gaPairNum (index 0 unused).
    std::vector<ArcList> crossover()
    {
        std::vector<ArcList> children(2 * gaPairNum + 1);
        for (int i = 1; i <= gaPairNum; ++i) {
            ArcList& a = children[2 * i - 1];
            ArcList& b = children[2 * i];
            int p1 = parent();
            int p2 = parent();
            while (p2 == p1) p2 = parent();
            for (const Arc& arc : arcList(popArcs[p1], popArcNum[p1])) place(rng.fraction() <= 0.5f ? a : b, arc);
            for (const Arc& arc : arcList(popArcs[p2], popArcNum[p2])) place(rng.fraction() > 0.5f ? a : b, arc);
        }
        return children;
    }

    // Children 1..popSize of `children` changed in place.
    void mutate(std::vector<ArcList>& children)
    {
        for (int h = 1; h <= popSize; ++h) {
            ArcList& child = children[h];
            int n = static_cast<int>(child.size());
            float u = rng.fraction();
            if (n == 0) u = 1.0f;
            if (static_cast<double>(u) > 0.05) continue;
            if (rng.fraction() <= 0.5f) {
                float v = static_cast<float>(rng.draw()) * static_cast<float>(n) / 32767.0f;
                int q = static_cast<int>(std::ceil(static_cast<double>(v)));
                if (q < 1) q = 1;
                child.erase(child.begin() + (q - 1));
                ++removals;
            } else {
                if (n >= arcPop_max_arc_nr) continue;
                int r = drawAccepted(child);
                if (r == 0) continue;
                child.push_back(candidate(r));
                ++additions;
            }
        }
    }
};

// ---- Side by side ----

struct Coverage {
    int replaced = 0, removals = 0, additions = 0;
    std::vector<bool> drawable;  // of the current candidate network
};

// The program's crossover and the reference's from the same stream state and population.
void compareCrossover(uint32_t state, Coverage& seen, const std::string& what)
{
    setRandState(state);
    crossover();
    uint32_t after = getRandState();
    LiteralStream rng{state};
    LiteralOperators literal(rng, seen.drawable);
    std::vector<ArcList> expected = literal.crossover();
    for (int h = 1; h <= 2 * gaPairNum; ++h)
        EXPECT_EQ(arcList(offArcs[h], offArcNum[h]), expected[h]) << what << ": child " << h;
    EXPECT_EQ(after, rng.state) << what << ": the draws differ";
    EXPECT_EQ(after, stateAfterDraws(state, rng.draws)) << what;
    seen.replaced += literal.replaced;
}

// The program's mutation and the reference's on the children as they stand.
void compareMutation(uint32_t state, Coverage& seen, const std::string& what)
{
    std::vector<ArcList> expected(popSize + 1);
    for (int h = 1; h <= popSize; ++h) expected[h] = arcList(offArcs[h], offArcNum[h]);
    setRandState(state);
    mutate();
    uint32_t after = getRandState();
    LiteralStream rng{state};
    LiteralOperators literal(rng, seen.drawable);
    literal.mutate(expected);
    for (int h = 1; h <= popSize; ++h) EXPECT_EQ(arcList(offArcs[h], offArcNum[h]), expected[h]) << what << ": child " << h;
    EXPECT_EQ(after, rng.state) << what << ": the draws differ";
    seen.removals += literal.removals;
    seen.additions += literal.additions;
}

// A population built by the program, then generations of crossover and mutation compared with the
// reference, the children taking the members' places (without simulation) to let the lists grow.
void compareGenerations(uint32_t seed, int generations, Coverage& seen, const std::string& what)
{
    seen.drawable = LiteralOperators::markDrawable();
    popSize = gaPopSize;
    gaPairNum = 10;
    setRandState(seed);
    for (int m = 1; m <= popSize; ++m) buildMember(m);
    clearExtraArcs();
    for (int g = 0; g < generations; ++g) {
        std::string at = what + " generation " + std::to_string(g);
        compareCrossover(seed * 31u + static_cast<uint32_t>(g), seen, at);
        // Many mutation rounds: a child mutates with probability 0.05 only.
        for (int k = 0; k < 8; ++k) compareMutation(seed * 17u + static_cast<uint32_t>(100 * g + k), seen, at);
        if (testing::Test::HasFailure()) return;
        for (int h = 1; h <= popSize && h <= 2 * gaPairNum; ++h) {
            popArcNum[h] = offArcNum[h];
            for (int b = 0; b < arcListDim; ++b) popArcs[h][b] = offArcs[h][b];
        }
    }
}

// A candidate network of random arcs between real activities with random weights.
void randomNetwork(std::mt19937& rng, int count)
{
    candNum = count;
    float total = 0.0f;
    std::vector<float> weight(count + 1);
    for (int r = 1; r <= count; ++r) {
        int x = 2 + static_cast<int>(rng() % (actNum - 2)), y = x;
        while (y == x) y = 2 + static_cast<int>(rng() % (actNum - 2));
        candArcs[3 * r] = static_cast<uint8_t>(x);
        candArcs[3 * r + 1] = static_cast<uint8_t>(y);
        candArcs[3 * r + 2] = static_cast<uint8_t>(1 + rng() % 2);
        weight[r] = static_cast<float>(1 + rng() % 50);
        total += weight[r];
    }
    for (int r = 1; r <= count; ++r) candProb[r] = weight[r] / total;
    markDrawableCandidates();
}

}  // namespace

TEST(literalOperators, crossoverAndMutationAgreeWithTheProgramOnRandomProjects)
{
    std::mt19937 rng(6464);
    Coverage seen;
    for (int trial = 0; trial < 40; ++trial) {
        int n = 12 + static_cast<int>(rng() % 111);
        setProject(randomProject(rng, n, 0, false, 1));
        randomNetwork(rng, gaMinCandidates + static_cast<int>(rng() % 200));
        compareGenerations(rng(), 6, seen, "random project " + std::to_string(trial));
        if (HasFailure()) return;
    }
    // Every branch of both operators was taken many times.
    EXPECT_GT(seen.replaced, 100);
    EXPECT_GT(seen.removals, 20);
    EXPECT_GT(seen.additions, 20);
}

TEST(literalOperators, crossoverAndMutationAgreeWithTheProgramOnBenchmarkNetworks)
{
    Coverage seen;
    for (const char* stem : {"j301_1", "j3010_3", "j6025_7", "j9046_3", "j1201_1", "j12060_10"}) {
        ASSERT_TRUE(loadBenchmark(stem));
        distNum = 3;
        buildSamplePool();
        computeCpmTimes();
        setBestList(randomFeasibleList(5));
        buildCandidateArcs();
        if (candNum < gaMinCandidates) continue;
        compareGenerations(99, 10, seen, stem);
        if (HasFailure()) return;
    }
    EXPECT_GT(seen.replaced, 20);
    EXPECT_GT(seen.removals + seen.additions, 10);
}
