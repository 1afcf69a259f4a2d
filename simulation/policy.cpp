// Policy records of batch runs for evaluation: the labels as numbers, the checks of the list and
// arcs against the instance, and their installation in the engine's tables.
#include "simulation/policy.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "config/labels.h"
#include "engine/engine.h"
#include "phase2/phase2.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"
#include "results/runNames.h"
#include "simulation/scenarios.h"

static bool fault(std::string& error, const std::string& file, int lineNo, const std::string& what)
{
    error = file + ": line " + std::to_string(lineNo) + ": " + what;
    return false;
}

int datasetOf(const PolicyRecord& r) { return labelIndex(r.dataset, datasetLabels, datasetCount); }

int distributionOf(const PolicyRecord& r) { return labelIndex(r.distribution, distLabels, distCount); }

bool isHVRecord(const PolicyRecord& r) { return r.method == methodLabels[1]; }

std::string instanceStem(const PolicyRecord& r)
{
    return r.stem.empty() ? instanceStem(r.dataset, r.group, r.instance) : r.stem;
}

uint64_t scenarioKeyOf(const PolicyRecord& r, int dist, uint32_t seed)
{
    return r.stem.empty() ? scenarioKey(datasetOf(r), r.group, r.instance, dist, seed) : fileScenarioKey(r.stem, dist, seed);
}

void putInstanceKeys(nlohmann::ordered_json& line, int group, int instance, const std::string& file,
                     const std::string& stem)
{
    if (stem.empty()) {
        line["group"] = group;
        line["instance"] = instance;
    } else {
        line["file"] = file;
        line["stem"] = stem;
    }
}

static std::string arcText(const PolicyArc& arc)
{
    return "[" + std::to_string(arc.from) + ", " + std::to_string(arc.to) + ", " + std::to_string(arc.type) + "]";
}

// The list: every activity once, each after all its predecessors.
static bool checkList(const PolicyRecord& r, const std::string& file, std::string& error)
{
    const int n = actNum, lineNo = r.lineNo;
    const std::string where = instanceStem(r) + " has " + std::to_string(n) + " activities";
    if (static_cast<int>(r.list.size()) != n + 1)
        return fault(error, file, lineNo, "the list holds " + std::to_string(r.list.size() - 1) + " activities; " + where);
    ActSet placed;
    setClear(placed);
    for (int p = 1; p <= n; ++p) {
        const int a = r.list[p];
        if (a < 1 || a > n)
            return fault(error, file, lineNo, "activity " + std::to_string(a) + " at place " + std::to_string(p) +
                                                  " of the list is outside the project; " + where);
        if (setHas(placed, a))
            return fault(error, file, lineNo, "activity " + std::to_string(a) + " stands twice in the list");
        if (!setSubset(predSet[a], placed)) {
            int q = 1;
            while (!setHas(predSet[a], q) || setHas(placed, q)) ++q;
            return fault(error, file, lineNo, "the list is not in precedence order: activity " + std::to_string(a) +
                                                  " at place " + std::to_string(p) + " stands before its predecessor " +
                                                  std::to_string(q));
        }
        setAdd(placed, a);
    }
    return true;
}

// The arcs: within the project, and acyclic together with the precedences. Each arc is tested
// against the arcs before it, so the message names the first one that closes a cycle.
static bool checkArcs(const PolicyRecord& r, const std::string& file, std::string& error)
{
    const int n = actNum, lineNo = r.lineNo;
    // after[a]: the activities that cannot start before a has (started or finished): the project's
    // successors, grown by each accepted arc.
    std::vector<ActSet> after(n + 1);
    for (int a = 1; a <= n; ++a) after[a] = succSet[a];
    for (const PolicyArc& arc : r.arcs) {
        const int from = arc.from, to = arc.to;
        if (from < 1 || from > n || to < 1 || to > n)
            return fault(error, file, lineNo, "arc " + arcText(arc) + " names an activity outside 1.." + std::to_string(n));
        if (arc.type != 1 && arc.type != 2)
            return fault(error, file, lineNo, "arc " + arcText(arc) + " has type " + std::to_string(arc.type) +
                                                  " (1 finish-to-start, 2 start-to-start)");
        if (from == to || setHas(after[to], from))
            return fault(error, file, lineNo, "arc " + arcText(arc) + " closes a cycle");
        // Everything at or before from now comes before everything at or after to.
        ActSet later = after[to];
        setAdd(later, to);
        for (int a = 1; a <= n; ++a)
            if (a == from || setHas(after[a], from)) setUnite(after[a], later);
    }
    return true;
}

bool loadPolicy(const PolicyRecord& r, const std::string& instances, const std::string& file, uint8_t* list,
                std::string& error)
{
    const int lineNo = r.lineNo;
    instanceFolder = instances;
    datasetType = datasetOf(r);
    paramNum = r.group;
    instNum = r.instance;
    // A file run's project is read from its own path; the next PSPLIB record reads the folder again.
    projectFile = r.file;
    const bool read = readInstance();
    projectFile.clear();
    if (!read)
        return fault(error, file, lineNo, "instance " + instanceStem(r) + " cannot be read from " +
                                              (r.file.empty() ? instances : r.file) + " (see the message above)");
    // The starting values the critical-path passes expect (buildSamplePool sets them in a search).
    for (int i = 0; i <= actNum; ++i) {
        earlyStart[i] = -1.0f;
        lateFinish[i] = -1.0f;
        earlyFinish[i] = 0.0f;
        lateStart[i] = 0.0f;
    }
    computeCpmTimes();
    if (!checkList(r, file, error) || !checkArcs(r, file, error)) return false;
    list[0] = 0;
    for (int p = 1; p <= actNum; ++p) list[p] = static_cast<uint8_t>(r.list[p]);
    std::vector<uint8_t> arcList(3 * (r.arcs.size() + 1));
    for (std::size_t k = 0; k < r.arcs.size(); ++k) {
        arcList[3 * (k + 1)] = static_cast<uint8_t>(r.arcs[k].from);
        arcList[3 * (k + 1) + 1] = static_cast<uint8_t>(r.arcs[k].to);
        arcList[3 * (k + 1) + 2] = static_cast<uint8_t>(r.arcs[k].type);
    }
    clearExtraArcs();
    applyArcs(arcList.data(), static_cast<int>(r.arcs.size()));
    return true;
}

bool isMethodRecord(const PolicyRecord& r) { return !r.rule.empty(); }

static const char* const ruleLabels[] = {"AB", "RB", "RBA"};

bool ruleOfLabel(const std::string& label, PolicyRule& rule)
{
    for (int k = 0; k < 3; ++k)
        if (label == ruleLabels[k]) {
            rule = static_cast<PolicyRule>(k);
            return true;
        }
    return false;
}

const char* ruleLabel(PolicyRule rule) { return ruleLabels[static_cast<int>(rule)]; }

PolicyRule phase1RuleOf(const PolicyRecord& r)
{
    PolicyRule rule = PolicyRule::activityBased;
    if (isMethodRecord(r) && ruleOfLabel(r.rule, rule)) return rule;
    return isHVRecord(r) ? PolicyRule::resourceBased : PolicyRule::activityBased;
}

PolicyRule reportedRuleOf(const PolicyRecord& r)
{
    return isMethodRecord(r) ? phase1RuleOf(r) : PolicyRule::withArcs;
}

float runPhase1Policy(const PolicyRecord& r, uint8_t* list, const float* durations)
{
    return runUnderRule(phase1RuleOf(r), list, durations);
}

float runPhase2Policy(uint8_t* list, const float* durations)
{
    return executeWithArcsGiven(list, durations);
}

float runUnderRule(PolicyRule rule, uint8_t* list, const float* durations)
{
    switch (rule) {
    case PolicyRule::activityBased: return executeActivityBasedGiven(list, durations);
    case PolicyRule::resourceBased: return executeResourceBasedGiven(list, durations);
    case PolicyRule::withArcs: break;
    }
    return executeWithArcsGiven(list, durations);
}
