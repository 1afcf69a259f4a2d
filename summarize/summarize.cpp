// `tarvo summarize`: per row, the averages over instances within each seed, then over seeds; the
// 95 % t-interval of the Phase 2 gap over the seeds' averages (two or more seeds) or over the
// instances (one seed); and the three output formats.
#include "summarize/summarize.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "project/inputFile.h"
#include "results/csvFields.h"
#include "results/evalCsv.h"
#include "results/groupDesign.h"
#include "results/latexText.h"
#include "results/resultsCsv.h"
#include "simulation/statistics.h"

namespace {

// Per seed: the instances seen (the first row of an instance counts) and the per-instance values.
// An instance is named by its report number for PSPLIB, by its stem for a file run, whose numbers
// depend on the order the run was given its files.
struct SeedData {
    std::set<std::string> batchInstances, evalInstances;
    std::vector<double> ph1Gap, smallerGap, cpu;
    std::vector<double> evalPh1Gap, evalPh2Gap, bias, biasPercent;
    std::vector<double> evalPh1GapPath, evalPh2GapPath;   // gaps above the path bound
};

// What one row is: one experiment's set, distribution, method, configuration, evaluation
// distribution, instance set, evaluation runs and seed (0 and "" for batch rows) and version.
// Rows of different instance sets, runs or evaluation seeds are never averaged together. The last
// place is the level of --by (-1 without it), so that a configuration's levels follow each other.
using RowKey = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string, long,
                          std::string, std::string, double>;

struct Group {
    std::map<std::string, SeedData> seeds;    // by run_seed
    std::string evalVersion, evalFile;        // the evaluating program's version, and a file of it
    std::string groups;                       // the instance set in words
    int instanceNum = 0;
};

// The batch makespans of one seed of a run, by instance: the search's own estimates, to join an
// evaluation made without the run's results file.
struct RunEstimates {
    std::string seed, version;
    std::map<std::string, std::pair<double, double>> makespans;
};

// The per-seed averages of one column over the seeds that have it, then their mean.
double seedMean(const Group& g, std::vector<double> SeedData::*column, std::vector<double>* perSeed = nullptr)
{
    std::vector<double> averages;
    for (const auto& [seed, data] : g.seeds)
        if (!(data.*column).empty()) averages.push_back(meanOf(data.*column));
    if (perSeed) *perSeed = averages;
    return meanOf(averages);
}

std::string instanceName(int group, int instance, const std::string& stem)
{
    return stem.empty() ? std::to_string((group - 1) * 10 + instance) : stem;
}

// The instance set as a key (its names in order) and in words: the groups it touches, as ranges
// ("1-48", "1-2 5"), or a file run's number of files.
std::string setKey(const std::set<std::string>& names) 
{
    std::string key;
    for (const std::string& n : names) key += n + " ";
    return key;
}

std::string setWords(const std::set<std::string>& names, bool fileRun)
{
    if (fileRun) return std::to_string(names.size()) + " files";
    std::set<int> groups;
    for (const std::string& n : names) groups.insert((std::stoi(n) - 1) / 10 + 1);
    std::string words;
    for (auto it = groups.begin(); it != groups.end();) {
        int first = *it, last = first;
        while (++it != groups.end() && *it == last + 1) last = *it;
        words += (words.empty() ? "" : " ") + std::to_string(first) + "-" + std::to_string(last);
    }
    return words;
}

// The level of an instance by the design parameter of --by ("" none: -1): its group's NC, RF or RS,
// or the group number itself.
double levelOf(const std::string& by, const std::string& dataset, int group)
{
    if (by.empty()) return -1;
    if (by == "group") return group;
    int set = dataset == "J30" ? 1 : dataset == "J60" ? 2 : dataset == "J90" ? 3 : dataset == "J120" ? 4 : 0;
    double nc, rf, rs;
    if (!groupDesign(set, group, nc, rf, rs)) return -1;
    return by == "nc" ? nc : by == "rf" ? rf : rs;
}

}  // namespace

bool summarizeFiles(const std::vector<std::string>& paths, std::vector<SummaryRow>& out, std::string& error,
                    const std::string& by)
{
    // All files are read first and batch files taken before evaluations, so that nothing depends
    // on the order of the arguments.
    // Each file is read once: a pipe given on the command line (<(cat x.csv), /dev/stdin) cannot
    // be opened again.
    std::vector<std::pair<std::string, std::string>> batchFiles, evalFiles;   // path, text
    for (const std::string& path : paths) {
        std::string text;
        if (!readInputFile(path, InputKind::regularOrStream, text, error)) {
            error = "cannot read " + error;
            return false;
        }
        completeLastLine(path, text);
        const std::string header = text.substr(0, text.find('\n'));
        if (header == csvHeader(false) || header == csvHeader(true)) batchFiles.emplace_back(path, std::move(text));
        else if (header == evalCsvHeader(false) || header == evalCsvHeader(true))
            evalFiles.emplace_back(path, std::move(text));
        else {
            error = path + ": line 1 is neither the header of a tarvo results file nor of an evaluation file";
            return false;
        }
    }
    std::map<RowKey, Group> batchGroups, evalGroups;
    std::map<std::string, std::vector<RunEstimates>> estimates;   // by run (set, dist, method, config, instances)
    for (const auto& [path, text] : batchFiles) {
        RunIdentity id;
        std::vector<ResultRow> fileRows;
        if (!parseCsv(text, path, id, fileRows, error)) return false;
        if (fileRows.empty()) continue;
        if (!by.empty() && id.fileRun) {
            error = path + ": --by " + by + " needs the design levels of a PSPLIB set, and a file run has none";
            return false;
        }
        std::map<double, std::vector<ResultRow>> levels;
        for (const ResultRow& r : fileRows) levels[levelOf(by, id.dataset, r.group)].push_back(r);
        for (const auto& [level, levelRows] : levels) {
            const std::vector<ResultRow>& rows = levelRows;
            std::set<std::string> names;
            for (const ResultRow& r : rows) names.insert(instanceName(r.group, r.instance, r.stem));
            const std::string set = setKey(names);
            Group& g = batchGroups[{id.dataset, id.distribution, id.method, id.config, id.distribution, set, 0L, "",
                                    id.version, level}];
            g.groups = setWords(names, id.fileRun);
            g.instanceNum = static_cast<int>(names.size());
            SeedData& s = g.seeds[id.runSeed];
            RunEstimates run{id.runSeed, id.version, {}};
            for (const ResultRow& r : rows) {
                const std::string name = instanceName(r.group, r.instance, r.stem);
                run.makespans[name] = {r.ph1Makespan, r.ph2Makespan};
                if (!s.batchInstances.insert(name).second) continue;
                s.ph1Gap.push_back(r.ph1Gap);
                s.smallerGap.push_back(r.smallerGap);
                s.cpu.push_back(r.cpuSeconds);
            }
            std::vector<RunEstimates>& known = estimates[id.dataset + "/" + id.distribution + "/" + id.method + "/" +
                                                         id.config + "/" + set];
            bool again = false;
            for (const RunEstimates& k : known) again = again || (k.seed == run.seed && k.version == run.version);
            if (!again) known.push_back(run);
        }
    }
    for (const auto& [path, text] : evalFiles) {
        std::vector<EvalRow> rows;
        if (!parseEvalText(text, path, rows, error)) return false;
        // One part per evaluation the file holds (one, for the files evaluate writes); in each,
        // pairs of rows per instance: ph1 and ph2.
        using Part = std::tuple<std::string, std::string, long, uint32_t, std::string, std::string, double>;
        std::map<Part, std::map<std::string, std::pair<const EvalRow*, const EvalRow*>>> parts;
        // Rows of one policy (records of other methods, the LFT list: policy AB, RB or RBA), by
        // part and label, each a row of its own.
        std::map<std::pair<Part, std::string>, std::map<std::string, const EvalRow*>> singles;
        for (const EvalRow& r : rows) {
            if (!by.empty() && !r.stem.empty()) {
                error = path + ": --by " + by + " needs the design levels of a PSPLIB set, and a file run has none";
                return false;
            }
            if (r.policy != "ph1" && r.policy != "ph2") {
                singles[{{r.runSeed, r.evalDistribution, r.runs, r.evalSeed, r.version, r.runVersion,
                          levelOf(by, r.dataset, r.group)},
                         r.method + "-" + r.policy}][instanceName(r.group, r.instance, r.stem)] = &r;
                continue;
            }
            auto& p = parts[{r.runSeed, r.evalDistribution, r.runs, r.evalSeed, r.version, r.runVersion,
                             levelOf(by, r.dataset, r.group)}][instanceName(r.group, r.instance, r.stem)];
            (r.policy == "ph1" ? p.first : p.second) = &r;
        }
        for (const auto& [part, pairs] : parts) {
            std::set<std::string> names;
            for (const auto& [name, p] : pairs) {
                if (!p.first || !p.second) {
                    error = path + ": instance " + name + " lacks its ph1 or ph2 row";
                    return false;
                }
                names.insert(name);
            }
            const EvalRow& head = *pairs.begin()->second.first;
            const std::string set = setKey(names);
            std::string runSeed = head.runSeed, runVersion = head.runVersion;
            // Evaluated without the run's results file beside it: joined to that run when exactly
            // one run of its instances is given, and never counted as a seed of its own.
            const RunEstimates* joined = nullptr;
            if (runSeed.empty()) {
                const auto& known = estimates[head.dataset + "/" + head.distribution + "/" + head.method + "/" +
                                              head.config + "/" + set];
                if (known.size() > 1) {
                    error = path + " was evaluated without its run's results file (run_seed empty), and " +
                            std::to_string(known.size()) + " runs of its instances are given: summarize it with "
                            "its own run only, or evaluate it again beside that run's .csv";
                    return false;
                }
                if (known.size() == 1) {
                    joined = &known.front();
                    runSeed = joined->seed;
                    runVersion = joined->version;
                }
            }
            Group& g = evalGroups[{head.dataset, head.distribution, head.method, head.config, head.evalDistribution,
                                   set, head.runs, std::to_string(head.evalSeed),
                                   runVersion.empty() ? head.version : runVersion, std::get<6>(part)}];
            g.groups = setWords(names, !head.stem.empty());
            g.instanceNum = static_cast<int>(names.size());
            if (g.evalVersion.empty()) {
                g.evalVersion = head.version;
                g.evalFile = path;
            } else if (g.evalVersion != head.version) {
                error = path + " and " + g.evalFile + " were evaluated by different program versions (" + head.version +
                        ", " + g.evalVersion + "): summarize them apart";
                return false;
            }
            SeedData& s = g.seeds[runSeed];
            for (const auto& [name, p] : pairs) {
                if (!s.evalInstances.insert(name).second) continue;
                const EvalRow& a = *p.first;
                const EvalRow& b = *p.second;
                double in1 = a.inSample, in2 = b.inSample;
                if (joined && a.evalDistribution == a.distribution) {
                    // The batch run's estimates are floats written with 9 digits, as evaluate reads them.
                    auto it = joined->makespans.find(name);
                    if (it != joined->makespans.end()) {
                        in1 = static_cast<float>(it->second.first);
                        in2 = static_cast<float>(it->second.second);
                    }
                }
                s.evalPh1Gap.push_back(a.gap);
                // The policy the search reports: Phase 2 unless its own estimate was above Phase 1's.
                const bool first = !std::isnan(in1) && !std::isnan(in2) && in2 > in1;
                const EvalRow& chosen = first ? a : b;
                s.evalPh2Gap.push_back(chosen.gap);
                s.evalPh1GapPath.push_back(a.gapPath);
                s.evalPh2GapPath.push_back(chosen.gapPath);
                const double bias = std::isnan(chosen.bias) && joined ? (first ? in1 : in2) - chosen.mean : chosen.bias;
                if (!std::isnan(bias)) {
                    s.bias.push_back(bias);
                    s.biasPercent.push_back(100.0 * bias / chosen.mean);
                }
            }
        }
        for (const auto& [key, rowsOf] : singles) {
            std::set<std::string> names;
            for (const auto& [name, row] : rowsOf) names.insert(name);
            const EvalRow& head = *rowsOf.begin()->second;
            const Part& part = key.first;
            // The label (method-policy, e.g. LFT-RB) is no batch run's method: the row joins no batch columns.
            Group& g = evalGroups[{head.dataset, head.distribution, key.second, head.config, head.evalDistribution,
                                   setKey(names), head.runs, std::to_string(head.evalSeed),
                                   head.runVersion.empty() ? head.version : head.runVersion, std::get<6>(part)}];
            g.groups = setWords(names, !head.stem.empty());
            g.instanceNum = static_cast<int>(names.size());
            if (!g.evalVersion.empty() && g.evalVersion != head.version) {
                error = path + " and " + g.evalFile + " were evaluated by different program versions (" +
                        head.version + ", " + g.evalVersion + "): summarize them apart";
                return false;
            }
            g.evalVersion = head.version;
            g.evalFile = path;
            SeedData& s = g.seeds[head.runSeed];
            for (const auto& [name, row] : rowsOf) {
                if (!s.evalInstances.insert(name).second) continue;
                s.evalPh2Gap.push_back(row->gap);
                s.evalPh2GapPath.push_back(row->gapPath);
                if (!std::isnan(row->bias)) {
                    s.bias.push_back(row->bias);
                    s.biasPercent.push_back(100.0 * row->bias / row->mean);
                }
            }
        }
    }
    // An evaluation under the searched distribution takes the batch columns of its run's seeds;
    // a batch row stands alone unless each of its seeds joined an evaluation row.
    std::map<RowKey, std::set<std::string>> joinedSeeds;
    for (auto& [key, g] : evalGroups) {
        if (g.seeds.count("") && g.seeds.size() > 1) {
            error = g.evalFile + ": an evaluation without run_seed (made without its run's results file) would "
                    "count as a seed beside runs of known seeds: give its run's .csv too, or summarize it apart";
            return false;
        }
        if (std::get<4>(key) != std::get<1>(key)) continue;
        RowKey batchKey = key;
        std::get<6>(batchKey) = 0;
        std::get<7>(batchKey) = "";
        auto found = batchGroups.find(batchKey);
        if (found == batchGroups.end()) continue;
        for (auto& [seed, s] : g.seeds) {
            auto run = found->second.seeds.find(seed);
            if (run == found->second.seeds.end()) continue;
            s.batchInstances = run->second.batchInstances;
            s.ph1Gap = run->second.ph1Gap;
            s.smallerGap = run->second.smallerGap;
            s.cpu = run->second.cpu;
            joinedSeeds[batchKey].insert(seed);
        }
    }
    std::map<RowKey, Group> groups = evalGroups;
    for (auto& [key, g] : batchGroups)
        if (joinedSeeds[key].size() < g.seeds.size()) groups[key] = g;
    for (const auto& [key, g] : groups) {
        SummaryRow r;
        std::string set;
        double level;
        std::tie(r.dataset, r.distribution, r.method, r.config, r.evalDistribution, set, r.runs, r.evalSeed,
                 r.version, level) = key;
        r.by = by;
        if (!by.empty()) {
            // The design levels as the literature writes them (0.2, not the double's 17 digits).
            char text[24];
            std::snprintf(text, sizeof text, "%g", level);
            r.level = text;
        }
        r.groups = g.groups;
        r.evalVersion = g.evalVersion;
        r.instances = g.instanceNum;
        r.seeds = static_cast<int>(g.seeds.size());
        std::vector<double> ph2PerSeed;
        r.ph1GapMean = seedMean(g, &SeedData::ph1Gap);
        r.ph2GapMean = seedMean(g, &SeedData::smallerGap, &ph2PerSeed);
        r.cpuMean = seedMean(g, &SeedData::cpu);
        r.evalPh1GapMean = seedMean(g, &SeedData::evalPh1Gap);
        r.evalPh2GapMean = seedMean(g, &SeedData::evalPh2Gap);
        r.evalPh1GapPathMean = seedMean(g, &SeedData::evalPh1GapPath);
        r.evalPh2GapPathMean = seedMean(g, &SeedData::evalPh2GapPath);
        r.biasMean = seedMean(g, &SeedData::bias);
        r.biasPercentMean = seedMean(g, &SeedData::biasPercent);
        double half = NAN;
        if (ph2PerSeed.size() >= 2) {
            half = halfWidth(ph2PerSeed);
            r.intervalOver = "seeds";
        } else if (ph2PerSeed.size() == 1) {
            for (const auto& [seed, s] : g.seeds)
                if (!s.smallerGap.empty()) half = halfWidth(s.smallerGap);
            r.intervalOver = "instances";
        }
        r.ph2GapCiLow = r.ph2GapMean - half;
        r.ph2GapCiHigh = r.ph2GapMean + half;
        out.push_back(r);
    }
    return true;
}

// ---- Formats ----

// A batch row's runs stay empty: it was not evaluated.
static std::string runsOf(const SummaryRow& r) { return r.runs > 0 ? std::to_string(r.runs) : ""; }

static std::string fixed(double v, int digits)
{
    if (std::isnan(v)) return "";
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

std::string formatSummary(const std::vector<SummaryRow>& rows, const std::string& format)
{
    std::string text;
    if (format == "csv") {
        text = "dataset,distribution,method,config,eval_distribution,instances,seeds,ph1_gap_mean,ph2_gap_mean,"
               "ph2_gap_ci95_low,ph2_gap_ci95_high,cpu_mean,eval_ph1_gap_mean,eval_ph2_gap_mean,bias_mean,"
               "interval_over,version,eval_version,groups,runs,eval_seed,bias_time_mean,eval_ph1_gap_path_mean,"
               "eval_ph2_gap_path_mean";
        const std::string by = rows.empty() ? "" : rows.front().by;
        text += (by.empty() ? "" : "," + by) + "\n";
        for (const SummaryRow& r : rows)
            text += r.dataset + "," + r.distribution + "," + r.method + "," + r.config + "," + r.evalDistribution + "," +
                    std::to_string(r.instances) + "," + std::to_string(r.seeds) + "," + exactNumber(r.ph1GapMean) + "," +
                    exactNumber(r.ph2GapMean) + "," + exactNumber(r.ph2GapCiLow) + "," + exactNumber(r.ph2GapCiHigh) +
                    "," + exactNumber(r.cpuMean) + "," + exactNumber(r.evalPh1GapMean) + "," +
                    exactNumber(r.evalPh2GapMean) + "," + exactNumber(r.biasPercentMean) + "," + r.intervalOver + "," +
                    r.version + "," + r.evalVersion + "," + r.groups + "," + runsOf(r) + "," + r.evalSeed + "," +
                    exactNumber(r.biasMean) + "," + exactNumber(r.evalPh1GapPathMean) + "," +
                    exactNumber(r.evalPh2GapPathMean) + (by.empty() ? "" : "," + r.level) + "\n";
        return text;
    }
    const bool latex = format == "latex";
    const char* sep = latex ? " & " : " | ";
    auto interval = [](const SummaryRow& r, bool tex) {
        if (std::isnan(r.ph2GapCiLow)) return std::string(tex ? "--" : "");
        return "[" + fixed(r.ph2GapCiLow, 3) + ", " + fixed(r.ph2GapCiHigh, 3) + "]";
    };
    auto cell = [&](double v, int digits) {
        std::string s = fixed(v, digits);
        return s.empty() && latex ? std::string("--") : s;
    };
    // With --by the level leads each row; the gaps above the path bound stand beside those above the
    // critical path.
    const std::string by = rows.empty() ? "" : rows.front().by;
    const std::string byName = by == "group" ? "Group" : by == "nc" ? "NC" : by == "rf" ? "RF" : "RS";
    if (latex) {
        text = "\\begin{tabular}{" + std::string(by.empty() ? "" : "r") + "llllllrrrrrrrrrrrrr}\n\\toprule\n" +
               (by.empty() ? "" : byName + " & ") +
               "Set & Dist. & Method & Budget & Groups & Eval. & Runs & Eval. seed & $n$ & Seeds & Ph1 gap (\\%) & "
               "Ph2 gap (\\%) & 95\\,\\% CI & "
               "CPU (s) & Eval. Ph1 gap (\\%) & Eval. Ph2 gap (\\%) & Eval. Ph1 gap path (\\%) & "
               "Eval. Ph2 gap path (\\%) & Bias (\\%) \\\\\n\\midrule\n";
    } else {
        text = "| " + (by.empty() ? "" : byName + " | ") +
               "set | dist | method | budget | groups | eval | runs | eval seed | instances | seeds | Ph1 gap % | "
               "Ph2 gap % | Ph2 gap 95 % CI | CPU s | eval Ph1 gap % | eval Ph2 gap % | eval Ph1 gap path % | "
               "eval Ph2 gap path % | bias % |\n|" + (by.empty() ? "" : "---:|") +
               "---|---|---|---|---|---|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|\n";
    }
    std::set<std::string> over, versions, evalVersions;
    for (const SummaryRow& r : rows) {
        auto name = [latex](const std::string& t) { return latex ? latexText(t) : t; };
        std::string line = (by.empty() ? "" : r.level + sep) + name(r.dataset) + sep + r.distribution + sep + r.method + sep + r.config + sep +
                           name(r.groups) + sep + name(r.evalDistribution) + sep + runsOf(r) + sep + r.evalSeed + sep +
                           std::to_string(r.instances) + sep + std::to_string(r.seeds) + sep +
                           cell(r.ph1GapMean, 3) + sep + cell(r.ph2GapMean, 3) + sep + interval(r, latex) + sep +
                           cell(r.cpuMean, 3) + sep + cell(r.evalPh1GapMean, 3) + sep + cell(r.evalPh2GapMean, 3) + sep +
                           cell(r.evalPh1GapPathMean, 3) + sep + cell(r.evalPh2GapPathMean, 3) + sep +
                           cell(r.biasPercentMean, 4);
        text += latex ? line + " \\\\\n" : "| " + line + " |\n";
        if (!r.intervalOver.empty()) over.insert(r.intervalOver);
        versions.insert(r.version);
        if (!r.evalVersion.empty()) evalVersions.insert(r.evalVersion);
    }
    std::string note = "95 % interval of the Phase 2 gap: t over ";
    if (over.count("seeds") && over.count("instances")) note += "the seeds' averages (rows with two or more seeds) or the instances (one seed)";
    else if (over.count("seeds")) note += "the seeds' averages";
    else note += "the instances (one seed)";
    auto list = [](const std::set<std::string>& names) {
        std::string joined;
        for (const std::string& v : names) joined += (joined.empty() ? "" : ", ") + v;
        return joined;
    };
    std::string versionNote = "program version of the runs: " + list(versions);
    if (!evalVersions.empty()) versionNote += "; of the evaluations: " + list(evalVersions);
    if (latex) {
        text += "\\bottomrule\n\\end{tabular}\n";
        text += "% " + note + "\n% " + versionNote + "\n";
    } else {
        text += "\n" + note + "; " + versionNote + ".\n";
    }
    return text;
}

int runSummarize(int argc, char** argv)
{
    std::string format = "md", by;
    std::vector<std::string> files;
    CLI::App app{"Condenses batch results files and evaluation files into one row per configuration.",
                 "tarvo summarize"};
    app.footer("A file run's results (tarvo run --files) are summarized like a PSPLIB set's: its rows carry the "
               "run's name in the set column, count its projects by stem, and are never pooled with a PSPLIB "
               "set's.");
    app.add_option("--format", format, "md (default), csv or latex")->check(CLI::IsMember({"md", "csv", "latex"}));
    app.add_option("--by", by, "one row per design level of the instances' groups: nc, rf, rs or group "
                               "(PSPLIB sets only)")
        ->check(CLI::IsMember({"nc", "rf", "rs", "group"}));
    app.add_option("files", files, "results files (.csv) of batch runs and evaluations, PSPLIB sets or file runs")
        ->required();
    int code = exitClean;
    if (!parseCommandFlags(app, argc, argv, "tarvo summarize", code)) return code;
    std::vector<SummaryRow> rows;
    std::string error;
    if (!summarizeFiles(files, rows, error, by)) {
        std::fprintf(stderr, "tarvo summarize: %s\n", error.c_str());
        return exitUsage;
    }
    std::fputs(formatSummary(rows, format).c_str(), stdout);
    return exitClean;
}
