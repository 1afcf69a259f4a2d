// One unit of `tarvo evaluate`: a policy record's instance loaded once, both of its policies
// run on the same scenarios under each distribution still to do, and the text of its rows.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/exitCodes.h"
#include "evaluate/evaluation.h"
#include "project/state.h"
#include "results/resultsCsv.h"
#include "simulation/lftList.h"
#include "simulation/pathBound.h"
#include "simulation/pathStatistics.h"
#include "simulation/policy.h"
#include "simulation/scenarios.h"
#include "simulation/statistics.h"

namespace evaluation {

// Text of a samples line: the keys in their agreed order, makespans as floats (which read back
// exactly). The first field, up to a tab, names the output for sorting; it is cut when the
// file is completed.
std::string samplesLine(const std::string& outputName, const EvalRow& r, const std::vector<float>& makespans)
{
    nlohmann::ordered_json head;
    head["dataset"] = r.dataset;
    // A single policy's line may belong to no distribution and no configuration: null there.
    head["distribution"] = r.distribution.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.distribution);
    head["eval_distribution"] = r.evalDistribution;
    head["method"] = r.method;
    head["config"] = r.config.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(std::stoi(r.config));
    putInstanceKeys(head, r.group, r.instance, r.file, r.stem);
    head["policy"] = r.policy;
    head["eval_seed"] = r.evalSeed;
    head["runs"] = r.runs;
    head["lower_bound"] = r.lowerBound;
    head["path_bound"] = r.pathBound;
    head["mean"] = r.mean;
    using FloatJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, float>;
    std::string text = head.dump();
    text.pop_back();
    text += ",\"makespans\":" + FloatJson(makespans).dump() + "}";
    return outputName + "\t" + text + "\n";
}

// The path-bound columns of a row, before its makespans are sorted. A makespan below its
// scenario's longest path means a wrong policy or path: the unit ends with the scenario named.
static void checkPathGap(const PolicyRecord& r, const Output& output, EvalRow& row, const std::vector<float>& paths,
                         const std::vector<float>& m)
{
    fillPathBound(row, paths);
    if (long run = fillPathGap(row, m, paths)) {
        std::fprintf(stderr, "tarvo evaluate: fault: %s under %s, policy %s, scenario %ld: makespan %.9g below the "
                     "longest path %.9g\n", instanceStem(r).c_str(), output.label.c_str(), row.policy.c_str(), run,
                     m[run - 1], paths[run - 1]);
        _exit(exitIncomplete);
    }
}

// Runs scenarios 1..runs of an output: the longest path of each into paths, and the makespan of
// policy p (list lists[p] under rules[p]) into makespans[p], all on the same durations.
static void runScenarios(const Options& o, const PolicyRecord& r, const Output& output, int count,
                         const PolicyRule* rules, uint8_t* const* lists, std::vector<float>* makespans,
                         std::vector<float>& paths)
{
    PathOrder pathOrder;
    makePathOrder(pathOrder);
    ScenarioSource source;
    makeScenarioSource(source, scenarioKeyOf(r, output.dist, o.seed), output.dist, o.levels);
    float durations[actDim];
    paths.resize(o.runs);
    for (int p = 0; p < count; ++p) makespans[p].resize(o.runs);
    for (long s = 1; s <= o.runs; ++s) {
        drawScenario(source, s, durations);
        paths[s - 1] = longestPath(pathOrder, durations);
        for (int p = 0; p < count; ++p) makespans[p][s - 1] = runUnderRule(rules[p], lists[p], durations);
    }
}

// The one row of a single policy (a method's own rule, or LFT-RB) under each output: the same
// scenarios as a batch record's two policies.
static std::string runSingle(const Options& o, const Input& in, std::size_t k, const std::vector<int>& outputs,
                             const std::vector<Output>& all, uint8_t* list)
{
    static std::vector<float> m, kept, paths;
    const PolicyRecord& r = in.records[k];
    uint8_t lft[actDim];
    const bool reference = o.policy == "lft";
    if (reference) lftList(lft);
    const PolicyRule rule = reference ? PolicyRule::resourceBased : phase1RuleOf(r);
    uint8_t* run = reference ? lft : list;
    std::string message;
    for (int out : outputs) {
        const Output& output = all[out];
        runScenarios(o, r, output, 1, &rule, &run, &m, paths);
        EvalRow row;
        row.dataset = r.dataset;
        row.distribution = in.rowDistribution;
        row.evalDistribution = output.label;
        row.method = in.rowMethod;
        row.config = in.rowConfig;
        row.group = r.group;
        row.instance = r.instance;
        row.file = r.file;
        row.stem = r.stem;
        row.policy = ruleLabel(rule);
        row.evalSeed = o.seed;
        row.lowerBound = earlyFinish[actNum];
        row.inSample = NAN;
        row.version = programVersion();
        if (!o.samples.empty()) kept = m;
        checkPathGap(r, output, row, paths, m);
        fillSingleStatistics(row, m);
        std::string csv = evalCsvLine(row) + "\n", samples;
        if (!o.samples.empty()) samples = samplesLine(output.path.substr(output.path.find_last_of('/') + 1), row, kept);
        message += std::to_string(out) + " " + std::to_string(csv.size()) + " " + std::to_string(samples.size()) + "\n";
        message += csv + samples;
    }
    return message;
}

std::string runUnit(const Options& o, const Input& in, std::size_t k, const std::vector<int>& outputs,
                    const std::vector<Output>& all)
{
    static std::vector<float> m[2], kept1, kept2, paths;
    const PolicyRecord& r = in.records[k];
    uint8_t list[actDim];
    std::string error;
    if (!loadPolicy(r, o.instances, in.path, list, error)) {
        refuse(error);
        _exit(exitUsage);
    }
    if (in.singlePolicy) return runSingle(o, in, k, outputs, all, list);
    // Phase 1's list under its own rule, and the list with the arcs (Phase 2).
    const PolicyRule rules[2] = {phase1RuleOf(r), PolicyRule::withArcs};
    uint8_t* const lists[2] = {list, list};
    std::vector<float>& m1 = m[0];
    std::vector<float>& m2 = m[1];
    std::string message;
    for (int out : outputs) {
        const Output& output = all[out];
        runScenarios(o, r, output, 2, rules, lists, m, paths);
        EvalRow rows[2];
        for (int p = 0; p < 2; ++p) {
            EvalRow& row = rows[p];
            row.dataset = r.dataset;
            row.distribution = r.distribution;
            row.evalDistribution = output.label;
            row.method = r.method;
            row.config = std::to_string(r.config);
            row.runSeed = in.runSeed;
            row.group = r.group;
            row.instance = r.instance;
            row.file = r.file;
            row.stem = r.stem;
            row.policy = p == 0 ? "ph1" : "ph2";
            row.evalSeed = o.seed;
            row.lowerBound = earlyFinish[actNum];
            // The search's own estimate compares only under the distribution it was made for.
            row.inSample = output.dist != distributionOf(r) ? NAN : p == 0 ? in.inSample1[k] : in.inSample2[k];
            row.version = programVersion();
            row.runVersion = in.runVersion;
        }
        if (!o.samples.empty()) {
            kept1 = m1;
            kept2 = m2;
        }
        checkPathGap(r, output, rows[0], paths, m1);
        checkPathGap(r, output, rows[1], paths, m2);
        fillEvalStatistics(rows[0], rows[1], m1, m2);
        std::string csv = evalCsvLine(rows[0]) + "\n" + evalCsvLine(rows[1]) + "\n";
        std::string samples;
        if (!o.samples.empty()) {
            std::string name = output.path.substr(output.path.find_last_of('/') + 1);
            samples = samplesLine(name, rows[0], kept1) + samplesLine(name, rows[1], kept2);
        }
        message += std::to_string(out) + " " + std::to_string(csv.size()) + " " + std::to_string(samples.size()) + "\n";
        message += csv + samples;
    }
    return message;
}

}  // namespace evaluation
