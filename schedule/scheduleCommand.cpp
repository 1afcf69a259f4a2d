// `tarvo schedule`: reads one policy record and its instance, realises the chosen policy under
// nominal durations (or an evaluation scenario) and prints the schedule as CSV or JSON.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "config/labels.h"
#include "project/platform.h"
#include "project/state.h"
#include "results/csvFields.h"
#include "results/runNames.h"
#include "schedule/schedule.h"
#include "simulation/policy.h"
#include "simulation/scenarios.h"

// A refusal of the command: the message on standard error, exit code 2.
static int refused(const std::string& message)
{
    refuse("tarvo schedule", message);
    return exitUsage;
}

// The shortest decimal text that reads back as the same float, so "3" rather than "3.00000000".
static std::string floatText(float value)
{
    char text[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

// The same value as a double whose shortest text is floatText's, for the JSON writer.
static double floatNumber(float value) { return std::strtod(floatText(value).c_str(), nullptr); }

// Loads the record's instance and installs its policy with the reader's messages sent to standard
// error: standard output carries nothing but the schedule.
static bool loadPolicyQuietly(const PolicyRecord& record, const std::string& folder, const std::string& file,
                              uint8_t* list, std::string& error)
{
    std::fflush(stdout);
    int saved = dup(1);
    dup2(2, 1);
    bool ok = loadPolicy(record, folder, file, list, error);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return ok;
}

static const char* ruleName(ScheduleRule rule)
{
    switch (rule) {
    case ScheduleRule::activityBased: return "activity-based";
    case ScheduleRule::resourceBased: return "resource-based";
    default: return "resource-based with arcs";
    }
}

bool findPolicyRecord(const std::string& path, int group, int instance, PolicyRecord& record, std::string& error)
{
    std::vector<PolicyRecord> records;
    if (!readPolicyFile(path, records, error, InputKind::regularOrStream)) return false;
    for (const PolicyRecord& r : records) {
        if (r.stem.empty() && r.group == group && r.instance == instance) {
            record = r;
            return true;
        }
    }
    error = path + ": no record of group " + std::to_string(group) + " instance " + std::to_string(instance);
    if (!records.empty() && !records.front().stem.empty())
        error += " (a file run's records are named by stem or number: " + path + " " + records.front().stem + ")";
    return false;
}

bool findFileRunRecord(const std::string& path, const std::string& name, PolicyRecord& record, std::string& error)
{
    std::vector<PolicyRecord> records;
    if (!readPolicyFile(path, records, error, InputKind::regularOrStream)) return false;
    // The stem first: a project may well be called 12, and its name then means it, not file 12.
    for (const PolicyRecord& r : records)
        if (!r.stem.empty() && r.stem == name) {
            record = r;
            return true;
        }
    long long k = 0;
    if (parseWhole(name, 1, maxRunFiles, k))
        for (const PolicyRecord& r : records)
            // Another method's file records have no place in a run: their line is their place.
            if (!r.stem.empty() && (isMethodRecord(r) ? r.lineNo : r.inst) == k) {
                record = r;
                return true;
            }
    if (!records.empty() && records.front().stem.empty())
        error = path + ": holds PSPLIB records, named by group and instance (" + path + " GROUP INSTANCE), not \"" +
                name + "\"";
    else
        error = path + ": no record of stem \"" + name + "\"" +
                (k > 0 ? " nor of file " + std::to_string(k) + " of the run" : "");
    return false;
}

static std::string csvText(const std::vector<PolicyArc>& arcs, const float* durations, const bool* critical)
{
    std::string out = "activity,start,finish,duration";
    for (int r = 1; r <= resNum; ++r) out += ",r" + std::to_string(r);
    out += ",critical\n";
    for (int a = 1; a <= actNum; ++a) {
        out += std::to_string(a) + "," + floatText(startTime[a]) + "," + floatText(finishTime[a]) + "," +
               floatText(durations[a]);
        for (int r = 1; r <= resNum; ++r) out += "," + std::to_string(resReq[a][r]);
        out += critical[a] ? ",1\n" : ",0\n";
    }
    // The arcs follow as a section of their own after one blank line, header always present.
    out += "\nfrom,to,type\n";
    for (const PolicyArc& arc : arcs)
        out += std::to_string(arc.from) + "," + std::to_string(arc.to) + "," + std::to_string(arc.type) + "\n";
    return out;
}

static std::string jsonText(nlohmann::ordered_json head, const std::vector<PolicyArc>& arcs,
                            const float* durations, const bool* critical)
{
    using nlohmann::ordered_json;
    head["lower_bound"] = floatNumber(earlyFinish[actNum]);
    head["makespan"] = floatNumber(finishTime[actNum]);
    ordered_json caps = ordered_json::array();
    for (int r = 1; r <= resNum; ++r) caps.push_back(resCap[r]);
    head["capacities"] = caps;
    ordered_json acts = ordered_json::array();
    for (int a = 1; a <= actNum; ++a) {
        ordered_json req = ordered_json::array();
        for (int r = 1; r <= resNum; ++r) req.push_back(resReq[a][r]);
        acts.push_back({{"activity", a}, {"start", floatNumber(startTime[a])}, {"finish", floatNumber(finishTime[a])},
                        {"duration", floatNumber(durations[a])}, {"requirements", req}, {"critical", critical[a] ? 1 : 0}});
    }
    head["activities"] = acts;
    ordered_json arcList = ordered_json::array();
    for (const PolicyArc& arc : arcs) arcList.push_back({arc.from, arc.to, arc.type});
    head["arcs"] = arcList;
    return head.dump() + "\n";
}

int runSchedule(int argc, char** argv)
{
    CLI::App app{"Prints the schedule that one policy of a policy record produces.", "tarvo schedule"};
    std::string policy = "ph2", scenario = "nominal", evalDist, folder = "Instances", format = "csv", file;
    uint32_t seed = 1;
    int levels = 0;
    std::vector<std::string> which;
    app.add_option("--policy", policy,
                   "ph1: the list under the search's policy; ph2: the list with the arcs (a record of another "
                   "method has its own rule's policy alone)")
        ->check(CLI::IsMember({"ph1", "ph2"}))->capture_default_str();
    app.add_option("--scenario", scenario, "nominal, or run K of tarvo evaluate")->capture_default_str();
    app.add_option("--dist", evalDist, "distribution of the scenario (default: the one searched for)")
        ->transform(CLI::IsMember(std::vector<std::string>(distLabels + 1, distLabels + 1 + distCount), CLI::ignore_case));
    app.add_option("--seed", seed, "seed of the scenario streams, as in tarvo evaluate")->capture_default_str();
    app.add_option("--levels", levels, "scenario from the L-level tabulation, as in tarvo evaluate (0: exact)")
        ->check(CLI::Range(0, 1000000))->capture_default_str();
    app.add_option("--instances", folder, "folder of the .sm files (a file run's records name their own files)")
        ->capture_default_str();
    app.add_option("--format", format, "csv or json")->check(CLI::IsMember({"csv", "json"}))->capture_default_str();
    app.add_option("FILE.jsonl", file, "policy records of a batch run or of another method")->required();
    app.add_option("INSTANCE", which,
                   "PSPLIB: GROUP INSTANCE (two numbers); a file run: the project's STEM, or K for the run's "
                   "K-th file (a stem of that name is taken first)")
        ->required()->expected(1, 2);
    app.footer("Forms:\n  tarvo schedule [OPTIONS] FILE.jsonl GROUP INSTANCE   a PSPLIB run's instance\n"
               "  tarvo schedule [OPTIONS] FILE.jsonl STEM             a file run's project, by its stem\n"
               "  tarvo schedule [OPTIONS] FILE.jsonl K                a file run's K-th file (no project of stem K)");
    try {
        app.parse(argc, argv);   // argv[0] is the word "schedule"
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : exitUsage;
    }

    // The scenario: "nominal" or a run number 1, 2, ...
    long run = 0;
    if (scenario != "nominal") {
        char* end = nullptr;
        run = std::strtol(scenario.c_str(), &end, 10);
        if (scenario.empty() || *end != '\0' || run < 1 || run > 1000000000L)
            return refused("--scenario " + scenario + ": neither \"nominal\" nor a run number 1, 2, ...");
    }

    PolicyRecord record;
    std::string error;
    if (which.size() == 1) {
        if (!findFileRunRecord(file, which[0], record, error)) return refused(error);
    } else {
        long long group = 0, instance = 0;
        if (!parseWhole(which[0], 1, 60, group) || !parseWhole(which[1], 1, 10, instance))
            return refused("\"" + which[0] + " " + which[1] + "\": not a parameter group 1..60 and an instance 1..10");
        if (!findPolicyRecord(file, static_cast<int>(group), static_cast<int>(instance), record, error))
            return refused(error);
    }
    // A record of another method holds one policy, its own rule's: --policy has nothing to choose.
    const bool own = isMethodRecord(record);
    if (own && app.count("--policy") > 0)
        return refused(file + ": line " + std::to_string(record.lineNo) + ": a record of method " + record.method +
                       " holds one policy (rule " + record.rule + "): leave --policy out");
    if (evalDist.empty()) evalDist = record.distribution;
    if (run > 0 && evalDist.empty())
        return refused(file + ": line " + std::to_string(record.lineNo) + ": the record names no distribution it was "
                       "made for: give the scenario's with --dist");
    uint8_t list[actDim] = {};
    if (!loadPolicyQuietly(record, folder, file, list, error)) return refused(error);

    // The durations of run K are those tarvo evaluate draws for this instance, distribution and seed.
    float durations[actDim] = {};
    if (run == 0) {
        for (int a = 1; a <= actNum; ++a) durations[a] = static_cast<float>(dur[a]);
    } else {
        int dist = labelIndex(evalDist, distLabels, distCount);
        static ScenarioSource source;   // large tables: kept off the stack
        makeScenarioSource(source, scenarioKeyOf(record, dist, seed), dist, levels);
        drawScenario(source, run, durations);
    }

    const PolicyRule run1 = own ? phase1RuleOf(record) : policy == "ph2" ? PolicyRule::withArcs : phase1RuleOf(record);
    if (own) policy = record.rule;
    const bool phase2 = run1 == PolicyRule::withArcs;
    ScheduleRule rule = phase2                                     ? ScheduleRule::withArcs
                        : run1 == PolicyRule::resourceBased ? ScheduleRule::resourceBased
                                                                   : ScheduleRule::activityBased;
    runUnderRule(run1, list, durations);
    bool critical[actDim];
    markCriticalChain(list, rule, critical);
    static const std::vector<PolicyArc> none;
    const std::vector<PolicyArc>& arcs = phase2 ? record.arcs : none;

    std::string out;
    if (format == "csv") {
        out = csvText(arcs, durations, critical);
    } else {
        nlohmann::ordered_json head = {{"dataset", record.dataset}, {"distribution", nullptr},
                                       {"method", record.method}};
        if (!record.distribution.empty()) head["distribution"] = record.distribution;
        putInstanceKeys(head, record.group, record.instance, record.file, record.stem);
        head["policy"] = policy;
        head["rule"] = ruleName(rule);
        if (run == 0) {
            head["scenario"] = "nominal";
        } else {
            head["scenario"] = run;
            head["eval_distribution"] = evalDist;
            head["eval_seed"] = seed;
            if (levels > 0) head["levels"] = levels;
        }
        out = jsonText(head, arcs, durations, critical);
    }
    // A failed write is reported, with the system's reason, when the program ends (main).
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
