// The report of `tarvo compare`: per distribution the table of gaps and paired comparisons over
// instances (md, csv or latex), and the per-instance rows of --out.
#include <cmath>
#include <cstdio>

#include "compare/compare.h"
#include "results/csvFields.h"
#include "results/latexText.h"
#include "simulation/pairedTests.h"
#include "simulation/statistics.h"

namespace comparison {

static const char* const columns[] = {"dataset", "eval", "level", "input", "against", "instances", "gap_cp", "gap_cp_ci95",
                                      "gap_path", "gap_path_ci95", "diff_gap", "diff_gap_ci95", "wilcoxon_p",
                                      "w/t/l 5%", "w/t/l Holm"};
constexpr int columnCount = sizeof columns / sizeof columns[0];

static std::string fixed(double v, int digits)
{
    if (std::isnan(v)) return "";
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

static std::string interval(double low, double high, const std::string& format)
{
    if (std::isnan(low)) return "";
    return format == "csv" ? fixed(low, 3) + " " + fixed(high, 3) : "[" + fixed(low, 3) + ", " + fixed(high, 3) + "]";
}

static std::string line(const std::vector<std::string>& cells, const std::string& format)
{
    std::string text;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        std::string c = format == "latex" ? latexText(cells[k]) : cells[k];
        if (format == "latex" && c.empty()) c = "--";
        text += (k ? (format == "csv" ? "," : format == "latex" ? " & " : " | ") : "") + c;
    }
    if (format == "csv") return text + "\n";
    if (format == "latex") return text + " \\\\\n";
    return "| " + text + " |\n";
}

std::string tableHeader(const std::string& format)
{
    std::vector<std::string> names(columns, columns + columnCount);
    if (format == "csv") {
        std::string text;
        for (int k = 0; k < columnCount; ++k) text += (k ? "," : "") + std::string(k == 13 ? "wtl_5" : k == 14 ? "wtl_holm" : columns[k]);
        return text + "\n";
    }
    if (format == "latex")
        return "\\begin{tabular}{llllrllllllllll}\n\\toprule\n" + line(names, format) + "\\midrule\n";
    std::string rule = "|";
    for (int k = 0; k < columnCount; ++k) rule += "---|";
    return line(names, format) + rule + "\n";
}

std::string tableFooter(const std::string& format)
{
    return format == "latex" ? "\\bottomrule\n\\end{tabular}\n" : "";
}

// Verdicts of input p against the base per instance: at 5 % and after Holm over the instances;
// +1 better (a smaller mean makespan), -1 worse, 0 not significantly different.
static void verdicts(const Options& o, const std::vector<InstanceResult>& results, std::size_t p,
                     std::vector<double>& pValues, std::vector<int>& v5, std::vector<int>& vHolm)
{
    pValues.clear();
    for (const InstanceResult& r : results) pValues.push_back(pairedTP(r.diff[p], r.diffStderr[p], o.runs - 1.0));
    std::vector<double> holm = holmAdjusted(pValues);
    v5.assign(results.size(), 0);
    vHolm.assign(results.size(), 0);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const int sign = results[i].diff[p] < 0 ? 1 : -1;
        if (pValues[i] < 0.05) v5[i] = sign;
        if (holm[i] < 0.05) vHolm[i] = sign;
    }
}

static std::string winsTiesLosses(const std::vector<int>& v)
{
    int w = 0, t = 0, l = 0;
    for (int x : v) (x > 0 ? w : x < 0 ? l : t)++;
    return std::to_string(w) + "/" + std::to_string(t) + "/" + std::to_string(l);
}

std::string tableRows(const Options& o, const std::vector<Input>& inputs, const std::vector<InstanceResult>& results,
                      const std::string& dataset, const std::string& evalLabel, const std::string& level)
{
    std::string text;
    std::vector<std::vector<double>> gaps(inputs.size());
    for (std::size_t p = 0; p < inputs.size(); ++p) {
        std::vector<double> cp, path;
        for (const InstanceResult& r : results) {
            cp.push_back(100.0 * (r.mean[p] - r.lowerBound) / r.lowerBound);
            path.push_back(100.0 * (r.mean[p] - r.pathBound) / r.pathBound);
        }
        gaps[p] = cp;
        const double m = meanOf(cp), h = halfWidth(cp), mp = meanOf(path), hp = halfWidth(path);
        std::vector<std::string> cells = {dataset, evalLabel, level, inputs[p].label, "", std::to_string(results.size()),
                                          fixed(m, 3), interval(m - h, m + h, o.format), fixed(mp, 3),
                                          interval(mp - hp, mp + hp, o.format)};
        if (p == 0) {
            cells.resize(columnCount);
        } else {
            cells[4] = inputs[0].label;
            std::vector<double> d;
            for (std::size_t i = 0; i < results.size(); ++i) d.push_back(gaps[p][i] - gaps[0][i]);
            PairedT t = pairedT(d);
            std::vector<double> pv;
            std::vector<int> v5, vHolm;
            verdicts(o, results, p, pv, v5, vHolm);
            char pText[40];
            std::snprintf(pText, sizeof pText, "%.4g", wilcoxonPratt(d));
            cells.push_back(fixed(t.mean, 3));
            cells.push_back(interval(t.ci95Low, t.ci95High, o.format));
            cells.push_back(pText);
            cells.push_back(winsTiesLosses(v5));
            cells.push_back(winsTiesLosses(vHolm));
        }
        text += line(cells, o.format);
    }
    return text;
}

std::string outHeader()
{
    return "dataset,eval_distribution,runs,eval_seed,group,instance,stem,lower_bound,path_bound,base,other,base_mean,"
           "other_mean,diff,diff_stderr,diff_ci95_low,diff_ci95_high,p_value,verdict,verdict_holm\n";
}

static const char* verdictWord(int v) { return v > 0 ? "better" : v < 0 ? "worse" : "same"; }

std::string outRows(const Options& o, const std::vector<Input>& inputs, const std::vector<Instance>& instances,
                    const std::vector<InstanceResult>& results, const std::string& dataset, const std::string& evalLabel)
{
    std::string text;
    const double t = tQuantile975(o.runs - 1.0);
    for (std::size_t p = 1; p < inputs.size(); ++p) {
        std::vector<double> pv;
        std::vector<int> v5, vHolm;
        verdicts(o, results, p, pv, v5, vHolm);
        for (std::size_t i = 0; i < results.size(); ++i) {
            const InstanceResult& r = results[i];
            const Instance& in = instances[i];
            const bool psplib = in.group > 0;
            text += dataset + "," + evalLabel + "," + std::to_string(o.runs) + "," + std::to_string(o.seed) + "," +
                    (psplib ? std::to_string(in.group) : "") + "," + (psplib ? std::to_string(in.instance) : "") + "," +
                    in.stem + "," + exactDigits(r.lowerBound, 9) + "," + exactNumber(r.pathBound) + "," +
                    inputs[0].label + "," + inputs[p].label + "," + exactNumber(r.mean[0]) + "," +
                    exactNumber(r.mean[p]) + "," + exactNumber(r.diff[p]) + "," + exactNumber(r.diffStderr[p]) + "," +
                    exactNumber(r.diff[p] - t * r.diffStderr[p]) + "," + exactNumber(r.diff[p] + t * r.diffStderr[p]) +
                    "," + exactNumber(pv[i]) + "," + verdictWord(v5[i]) + "," + verdictWord(vHolm[i]) + "\n";
        }
    }
    return text;
}

}  // namespace comparison
