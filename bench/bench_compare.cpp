// Timings of the compare loop: one instance's pass over its scenarios with the longest path and
// three policies (LFT-RB, the list activity-based, the list with arcs), on j301_1, j601_1, j1201_1.
// Counter time_per_scenario = time per scenario for all three policies and the path bound.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "benchSupport.h"
#include "compare/compare.h"
#include "project/state.h"

static const char* const stems[] = {"j301_1", "j601_1", "j1201_1"};
static const char* const sets[] = {"J30", "J60", "J120"};

static void comparePass(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    benchLoad(stems[which]);
    uint8_t list[actDim];
    benchFixedList(list);
    PolicyRecord record;
    record.dataset = sets[which];
    record.distribution = "U2";
    record.method = "HV";
    record.config = 5000;
    record.group = 1;
    record.instance = 1;
    record.inst = 1;
    record.list.assign(list, list + actNum + 1);
    comparison::Options o;
    o.runs = 1000;
    o.instances = TARVO_BENCH_PSPLIB_DIR;
    std::vector<comparison::Input> inputs(3);
    inputs[0].label = "LFT-RB";
    inputs[0].lft = true;
    inputs[1].records = {record};
    inputs[1].rules = {PolicyRule::activityBased};
    inputs[2].records = {record};
    inputs[2].rules = {PolicyRule::withArcs};
    comparison::Instance instance;
    instance.stem = stems[which];
    instance.group = instance.instance = 1;
    instance.records = {nullptr, &inputs[1].records[0], &inputs[2].records[0]};
    std::vector<comparison::Instance> instances = {instance};
    std::vector<comparison::InstanceResult> results;
    for (auto _ : state) benchmark::DoNotOptimize(comparison::runInstances(o, inputs, instances, 3, results));
    state.counters["time_per_scenario"] = benchmark::Counter(static_cast<double>(state.iterations()) * o.runs,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(stems[which]);
}
BENCHMARK(comparePass)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
