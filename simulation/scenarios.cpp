// Evaluation scenarios: the PCG64 stream per (instance, distribution, seed), its levels, and the
// inverse CDFs of the five rules (exact, or the search's L-level tabulation); see scenarios.h.
#include "simulation/scenarios.h"

#include <cmath>
#include <map>
#include <memory>
#include <tuple>
#include <utility>

#include "durations/durations.h"
#include "results/streamKeys.h"
#include "simulation/betaQuantile.h"

// ---- Tables kept for the process's lifetime ----

// Beta tables by first shape (the second is twice it): B2 has one shape, B1 one per duration.
static const BetaQuantileTable* betaTable(double a)
{
    static std::map<double, std::unique_ptr<BetaQuantileTable>> tables;
    std::unique_ptr<BetaQuantileTable>& t = tables[a];
    if (!t) {
        t = std::make_unique<BetaQuantileTable>();
        buildBetaQuantileTable(*t, a, 2.0 * a);
    }
    return t.get();
}

// The search's L-level row of duration d under dist, entries 1..L.
static const float* levelRow(int dist, uint16_t d, int levels)
{
    static std::map<std::tuple<int, uint16_t, int>, std::vector<float>> rows;
    std::vector<float>& row = rows[{dist, d, levels}];
    if (row.empty()) {
        row.assign(levels + 1, 0.0f);
        // The spread of the sample pool: sqrt(d) in double rounded to float for U1 and B1, else d.
        float spread = static_cast<float>(d);
        if (dist <= 2) spread = static_cast<float>(std::sqrt(static_cast<double>(spread)));
        tabulateQuantiles(row.data(), levels, dist, d, spread);
    }
    return row.data();
}

// ---- The source ----

void makeScenarioSource(ScenarioSource& s, int dataset, int group, int instance, int dist, uint32_t seed, int levels)
{
    makeScenarioSource(s, scenarioKey(dataset, group, instance, dist, seed), dist, levels);
}

void makeScenarioSource(ScenarioSource& s, uint64_t key, int dist, int levels)
{
    s.key = key;
    s.stream = pcg64(mix64(s.key), s.key);
    s.next = 1;
    s.n = actNum;
    s.dist = dist;
    s.levels = levels;
    for (int a = 1; a <= s.n; ++a) {
        const uint16_t d = dur[a];
        s.nominal[a] = d;
        s.beta[a] = nullptr;
        s.row[a] = nullptr;
        if (d == 0) continue;
        if (levels > 0)
            s.row[a] = levelRow(dist, d, levels);
        else if (dist == 2)
            s.beta[a] = betaTable(0.5 * d - 1.0 / 3.0);
        else if (dist == 4)
            s.beta[a] = betaTable(1.0 / 6.0);
    }
}

float scenarioDuration(const ScenarioSource& s, int a, double u)
{
    const double d = s.nominal[a];
    if (d == 0) return 0.0f;
    if (s.levels > 0) {
        int j = static_cast<int>(u * s.levels) + 1;
        // u * L may round up to L itself for u just below 1.
        if (j > s.levels) j = s.levels;
        return s.row[a][j];
    }
    double x;
    switch (s.dist) {
    case 1: {
        const double spread = std::sqrt(d);
        x = d - spread > 0 ? (d - spread) + 2.0 * spread * u : (d + spread) * u;
        break;
    }
    case 3: x = 2.0 * d * u; break;
    case 2:
    case 4: x = 0.5 * d + 1.5 * d * betaQuantile(*s.beta[a], u); break;
    default: x = -d * std::log1p(-u); break;
    }
    return static_cast<float>(x);
}

void drawScenario(ScenarioSource& s, long k, float* durations)
{
    if (k != s.next) {
        s.stream = pcg64(mix64(s.key), s.key);
        s.stream.advance(static_cast<pcg64::state_type>(k - 1) * static_cast<pcg64::state_type>(s.n));
    }
    durations[0] = 0.0f;
    for (int a = 1; a <= s.n; ++a) {
        // 52 random bits and a half: the level is (2i + 1) / 2^53, never 0, 1 or 0.5.
        const double u = (static_cast<double>(s.stream() >> 12) + 0.5) * 0x1p-52;
        durations[a] = scenarioDuration(s, a, u);
    }
    s.next = k + 1;
}
