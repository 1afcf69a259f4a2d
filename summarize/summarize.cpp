// `tarvo summarize`: per row, the averages over instances within each seed, then over seeds; the
// 95 % t-interval of the Phase 2 gap over the seeds' averages (two or more seeds) or over the
// instances (one seed); and the three output formats.
#include "summarize/summarize.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "cli/exitCodes.h"
#include "cli/flagStyle.h"
#include "results/csvFields.h"
#include "results/evalCsv.h"
#include "results/resultsCsv.h"
#include "simulation/statistics.h"

namespace {

// Per seed: the instances seen (the first row of an instance counts) and the per-instance values.
// An instance is named by its report number for PSPLIB, by its stem for a file run, whose numbers
// depend on the order the run was given its files.
struct SeedData {
    std::set<std::string> batchInstances, evalInstances;
    std::vector<double> ph1Gap, smallerGap, cpu;
    std::vector<double> evalPh1Gap, evalPh2Gap, bias;
};

using RowKey = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string>;

struct Group {
    std::map<std::string, SeedData> seeds;    // by run_seed
    std::string evalVersion, evalFile;        // the evaluating program's version, and a file of it
};

// The header line of path; false with the system's reason when the file cannot be opened.
bool firstLine(const std::string& path, std::string& line, std::string& error)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + (errno != 0 ? std::strerror(errno) : "cannot be opened");
        return false;
    }
    std::getline(in, line);
    return true;
}

// The per-seed averages of one column over the seeds that have it, then their mean.
double seedMean(const Group& g, std::vector<double> SeedData::*column, std::vector<double>* perSeed = nullptr)
{
    std::vector<double> averages;
    for (const auto& [seed, data] : g.seeds)
        if (!(data.*column).empty()) averages.push_back(meanOf(data.*column));
    if (perSeed) *perSeed = averages;
    return meanOf(averages);
}

}  // namespace

bool summarizeFiles(const std::vector<std::string>& paths, std::vector<SummaryRow>& out, std::string& error)
{
    std::map<RowKey, Group> groups;
    for (const std::string& path : paths) {
        std::string header;
        if (!firstLine(path, header, error)) return false;
        if (header == csvHeader(false) || header == csvHeader(true)) {
            RunIdentity id;
            std::vector<ResultRow> rows;
            if (!readCsv(path, id, rows, error)) return false;
            if (rows.empty()) continue;
            SeedData& s = groups[{id.dataset, id.distribution, id.method, id.config, id.distribution, id.version}]
                              .seeds[id.runSeed];
            for (const ResultRow& r : rows) {
                if (!s.batchInstances.insert(r.stem.empty() ? std::to_string(rowInst(r)) : r.stem).second) continue;
                s.ph1Gap.push_back(r.ph1Gap);
                s.smallerGap.push_back(r.smallerGap);
                s.cpu.push_back(r.cpuSeconds);
            }
        } else if (header == evalCsvHeader(false) || header == evalCsvHeader(true)) {
            std::vector<EvalRow> rows;
            if (!readEvalCsv(path, rows, error)) return false;
            // Pairs of rows per instance: ph1 and ph2.
            std::map<std::tuple<std::string, std::string>, std::pair<const EvalRow*, const EvalRow*>> pairs;
            for (const EvalRow& r : rows) {
                auto& p = pairs[{r.runSeed, r.stem.empty() ? std::to_string((r.group - 1) * 10 + r.instance) : r.stem}];
                (r.policy == "ph1" ? p.first : p.second) = &r;
            }
            for (const auto& [where, p] : pairs) {
                if (!p.first || !p.second) {
                    error = path + ": instance " + std::get<1>(where) + " lacks its ph1 or ph2 row";
                    return false;
                }
                const EvalRow& a = *p.first;
                const EvalRow& b = *p.second;
                // The row of the batch run that found the policies; its version if known.
                Group& g = groups[{a.dataset, a.distribution, a.method, a.config, a.evalDistribution,
                                   a.runVersion.empty() ? a.version : a.runVersion}];
                if (g.evalVersion.empty()) {
                    g.evalVersion = a.version;
                    g.evalFile = path;
                } else if (g.evalVersion != a.version) {
                    error = path + " and " + g.evalFile + " were evaluated by different program versions (" + a.version +
                            ", " + g.evalVersion + "): summarize them apart";
                    return false;
                }
                SeedData& s = g.seeds[a.runSeed];
                if (!s.evalInstances.insert(std::get<1>(where)).second) continue;
                s.evalPh1Gap.push_back(a.gap);
                // The policy the search reports: Phase 2 unless its own estimate was above Phase 1's.
                const EvalRow& chosen = !std::isnan(a.inSample) && !std::isnan(b.inSample) && b.inSample > a.inSample ? a : b;
                s.evalPh2Gap.push_back(chosen.gap);
                if (!std::isnan(chosen.bias)) s.bias.push_back(chosen.bias);
            }
        } else {
            error = path + ": line 1 is neither the header of a tarvo results file nor of an evaluation file";
            return false;
        }
    }
    for (const auto& [key, g] : groups) {
        SummaryRow r;
        std::tie(r.dataset, r.distribution, r.method, r.config, r.evalDistribution, r.version) = key;
        r.evalVersion = g.evalVersion;
        std::set<std::string> instances;
        for (const auto& [seed, s] : g.seeds) {
            instances.insert(s.batchInstances.begin(), s.batchInstances.end());
            instances.insert(s.evalInstances.begin(), s.evalInstances.end());
        }
        r.instances = static_cast<int>(instances.size());
        r.seeds = static_cast<int>(g.seeds.size());
        std::vector<double> ph2PerSeed;
        r.ph1GapMean = seedMean(g, &SeedData::ph1Gap);
        r.ph2GapMean = seedMean(g, &SeedData::smallerGap, &ph2PerSeed);
        r.cpuMean = seedMean(g, &SeedData::cpu);
        r.evalPh1GapMean = seedMean(g, &SeedData::evalPh1Gap);
        r.evalPh2GapMean = seedMean(g, &SeedData::evalPh2Gap);
        r.biasMean = seedMean(g, &SeedData::bias);
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
               "interval_over,version,eval_version\n";
        for (const SummaryRow& r : rows)
            text += r.dataset + "," + r.distribution + "," + r.method + "," + r.config + "," + r.evalDistribution + "," +
                    std::to_string(r.instances) + "," + std::to_string(r.seeds) + "," + exactNumber(r.ph1GapMean) + "," +
                    exactNumber(r.ph2GapMean) + "," + exactNumber(r.ph2GapCiLow) + "," + exactNumber(r.ph2GapCiHigh) +
                    "," + exactNumber(r.cpuMean) + "," + exactNumber(r.evalPh1GapMean) + "," +
                    exactNumber(r.evalPh2GapMean) + "," + exactNumber(r.biasMean) + "," + r.intervalOver + "," +
                    r.version + "," + r.evalVersion + "\n";
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
    if (latex) {
        text = "\\begin{tabular}{lllllrrrrrrrrr}\n\\toprule\n"
               "Set & Dist. & Method & Budget & Eval. & $n$ & Seeds & Ph1 gap (\\%) & Ph2 gap (\\%) & 95\\,\\% CI & "
               "CPU (s) & Eval. Ph1 gap (\\%) & Eval. Ph2 gap (\\%) & Bias \\\\\n\\midrule\n";
    } else {
        text = "| set | dist | method | budget | eval | instances | seeds | Ph1 gap % | Ph2 gap % | Ph2 gap 95 % CI | "
               "CPU s | eval Ph1 gap % | eval Ph2 gap % | bias |\n"
               "|---|---|---|---|---|---:|---:|---:|---:|---|---:|---:|---:|---:|\n";
    }
    std::set<std::string> over, versions, evalVersions;
    for (const SummaryRow& r : rows) {
        std::string line = r.dataset + sep + r.distribution + sep + r.method + sep + r.config + sep + r.evalDistribution +
                           sep + std::to_string(r.instances) + sep + std::to_string(r.seeds) + sep +
                           cell(r.ph1GapMean, 3) + sep + cell(r.ph2GapMean, 3) + sep + interval(r, latex) + sep +
                           cell(r.cpuMean, 3) + sep + cell(r.evalPh1GapMean, 3) + sep + cell(r.evalPh2GapMean, 3) + sep +
                           cell(r.biasMean, 4);
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
    std::string format = "md";
    std::vector<std::string> files;
    CLI::App app{"Condenses batch results files and evaluation files into one row per configuration.",
                 "tarvo summarize"};
    app.footer("A file run's results (tarvo run --files) are summarized like a PSPLIB set's: its rows carry the "
               "run's name in the set column, count its projects by stem, and are never pooled with a PSPLIB "
               "set's.");
    app.add_option("--format", format, "md (default), csv or latex")->check(CLI::IsMember({"md", "csv", "latex"}));
    app.add_option("files", files, "results files (.csv) of batch runs and evaluations, PSPLIB sets or file runs")
        ->required();
    int code = exitClean;
    if (!parseCommandFlags(app, argc, argv, "tarvo summarize", code)) return code;
    std::vector<SummaryRow> rows;
    std::string error;
    if (!summarizeFiles(files, rows, error)) {
        std::fprintf(stderr, "tarvo summarize: %s\n", error.c_str());
        return exitUsage;
    }
    std::fputs(formatSummary(rows, format).c_str(), stdout);
    return exitClean;
}
