// What `tarvo evaluate` tells the console: the progress line while units run, and the summary
// of each complete results file.
#include <cmath>
#include <cstdio>

#include "cli/progress.h"
#include "evaluate/evaluation.h"
#include "simulation/statistics.h"

namespace evaluation {

void showProgress(const Options& o, int done, int total, ProgressClock::time_point start)
{
    if (o.quiet) return;
    bool tty = progressOnTerminal();
    if (!tty && done % 10 != 0 && done != total) return;
    std::fprintf(stderr, tty ? "\revaluate: %d/%d instances, %s left   " : "evaluate: %d/%d instances, %s left\n",
                 done, total, etaText(start, done, total).c_str());
}

// A single policy per instance: its gap alone, labelled as the tables label it (LFT-RB, mine-RB).
static void printSingleSummary(const Output& output, const std::vector<EvalRow>& rows, const std::string& input)
{
    std::vector<double> gaps;
    for (const EvalRow& r : rows) gaps.push_back(r.gap);
    const double mean = meanOf(gaps), half = gaps.size() > 1 ? halfWidth(gaps) : 0;
    const EvalRow& first = rows.front();
    std::printf("%s under %s: %zu instances, %ld runs each (seed %u)\n", input.c_str(), output.label.c_str(),
                rows.size(), first.runs, first.evalSeed);
    std::printf("  policy  out-of-sample gap %%  95%% interval (instances)\n");
    std::printf("  %-6s  %19.3f  [%.3f, %.3f]\n", (first.method + "-" + first.policy).c_str(), mean, mean - half,
                mean + half);
}

void printSummary(const Output& output, const std::vector<EvalRow>& rows, const std::string& input)
{
    if (!rows.empty() && rows.front().policy != "ph1" && rows.front().policy != "ph2")
        return printSingleSummary(output, rows, input);
    struct Acc {
        std::vector<double> gaps;
        double inGap = 0, bias = 0, biasPercent = 0;
        int inCount = 0;
    } acc[2];
    int better = 0, worse = 0, pairs = 0;
    for (const EvalRow& r : rows) {
        Acc& a = acc[r.policy == "ph2"];
        a.gaps.push_back(r.gap);
        if (!std::isnan(r.inSample)) {
            a.inGap += 100.0 * (r.inSample - r.lowerBound) / r.lowerBound;
            a.bias += r.bias;
            a.biasPercent += 100.0 * r.bias / r.mean;
            ++a.inCount;
        }
        if (r.policy == "ph2") {
            int v = pairedVerdict(r);
            better += v > 0;
            worse += v < 0;
            ++pairs;
        }
    }
    std::printf("%s under %s: %d instances, %ld runs each (seed %u)\n", input.c_str(), output.label.c_str(), pairs,
                rows.empty() ? 0L : rows.front().runs, rows.empty() ? 0u : rows.front().evalSeed);
    std::printf("  policy  out-of-sample gap %%  95%% interval (instances)  in-sample gap %%  mean bias (%% of makespan)\n");
    for (int p = 0; p < 2; ++p) {
        const std::vector<double>& g = acc[p].gaps;
        double mean = meanOf(g), half = g.size() > 1 ? halfWidth(g) : 0;
        char inGap[32] = "-", bias[48] = "-";
        if (acc[p].inCount > 0) {
            std::snprintf(inGap, sizeof inGap, "%.3f", acc[p].inGap / acc[p].inCount);
            std::snprintf(bias, sizeof bias, "%+.4f (%+.3f %%)", acc[p].bias / acc[p].inCount,
                          acc[p].biasPercent / acc[p].inCount);
        }
        std::printf("  %-6s  %19.3f  [%.3f, %.3f]%*s  %15s  %s\n", p ? "ph2" : "ph1", mean, mean - half, mean + half,
                    6, "", inGap, bias);
    }
    std::printf("  Phase 2 against Phase 1 (paired, 5 %%): significantly better on %d (%.1f %%), worse on %d (%.1f %%)\n",
                better, 100.0 * better / pairs, worse, 100.0 * worse / pairs);
}

}  // namespace evaluation
