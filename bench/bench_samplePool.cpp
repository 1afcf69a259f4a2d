// Cost of the per-instance sample pool on the J120 set, per distribution: buildSamplePool with the
// cache of short durations, the same tables computed directly row by row, and the draw itself.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "benchSupport.h"
#include "durations/durations.h"
#include "project/state.h"

namespace {

// Activity counts and durations of the 600 J120 instances, read once through the program's reader,
// so that the timed loops only put an instance's durations back into the shared tables.
constexpr int j120Count = 600;
uint8_t j120ActNum[j120Count];
uint16_t j120Dur[j120Count][actDim];

void loadJ120()
{
    static bool loaded = false;
    if (loaded) return;
    for (int k = 0; k < j120Count; ++k) {
        benchLoad("j120" + std::to_string(k / 10 + 1) + "_" + std::to_string(k % 10 + 1));
        j120ActNum[k] = actNum;
        for (int i = 1; i <= actNum; ++i) j120Dur[k][i] = dur[i];
    }
    loaded = true;
}

// The distribution labels (the program's own label table is filled by its menus).
const char* const label[6] = {"", "U1", "B1", "U2", "B2", "EXP"};

void useInstance(int k)
{
    actNum = j120ActNum[k];
    for (int i = 1; i <= actNum; ++i) dur[i] = j120Dur[k][i];
}

// buildSamplePool as the experiment loop runs it, cycling over the J120 instances. One pass over
// all instances comes first, untimed: it fills the cache as the first instances of a run do.
void samplePoolJ120(benchmark::State& state)
{
    loadJ120();
    distNum = static_cast<int32_t>(state.range(0));
    for (int k = 0; k < j120Count; ++k) {
        useInstance(k);
        buildSamplePool();
    }
    int k = 0;
    for (auto _ : state) {
        useInstance(k);
        buildSamplePool();
        benchmark::DoNotOptimize(samplePool10[2][1]);
        k = (k + 1) % j120Count;
    }
    state.SetLabel(label[distNum]);
}

// The tables without sharing: every row computed from its rule, as fillSampleTables would do
// without its cache (the few other starting values of buildSamplePool cost next to nothing).
void directTablesJ120(benchmark::State& state)
{
    loadJ120();
    distNum = static_cast<int32_t>(state.range(0));
    int k = 0;
    for (auto _ : state) {
        useInstance(k);
        for (int i = 1; i <= actNum; ++i) {
            float s = static_cast<float>(dur[i]);
            if (distNum <= 2) s = static_cast<float>(std::sqrt(static_cast<double>(s)));
            tabulateQuantiles(samplePool1000[i], 1000, distNum, dur[i], s);
            tabulateQuantiles(samplePoolMid[i], midLevels, distNum, dur[i], s);
            tabulateQuantiles(samplePool10[i], 10, distNum, dur[i], s);
        }
        benchmark::DoNotOptimize(samplePool10[2][1]);
        k = (k + 1) % j120Count;
    }
    state.SetLabel(label[distNum]);
}

// One descriptive draw per activity of j1201_1 from the poolSize-level table, as a simulated run
// of the engine draws them; reported per draw.
void drawJ120(benchmark::State& state)
{
    loadJ120();
    useInstance(0);
    distNum = 2;
    buildSamplePool();
    const int poolSize = static_cast<int>(state.range(0));
    float sum = 0.0f;
    for (auto _ : state) {
        for (int a = 1; a <= actNum; ++a) sum += rndGen(a, poolSize);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * actNum);
}

}  // namespace

BENCHMARK(samplePoolJ120)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(directTablesJ120)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(drawJ120)->Arg(10)->Arg(midLevels)->Arg(1000);

BENCHMARK_MAIN();
