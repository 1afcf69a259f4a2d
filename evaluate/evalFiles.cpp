// Evaluation files: the columns of a row, writing and reading them exactly, and the statistics of
// one instance's two policies on shared scenarios (means, intervals, percentiles, paired difference).
#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "evaluate/evaluate.h"

static const char* evalColumns[] = {
    "dataset", "distribution", "eval_distribution", "method", "config", "run_seed", "group", "instance", "policy",
    "runs", "eval_seed", "lower_bound", "in_sample", "mean", "stderr", "ci95_low", "ci95_high", "sd", "p50", "p90",
    "p95", "p99", "gap", "bias", "paired_diff", "paired_stderr", "version", "run_version"};
constexpr int evalColumnNum = sizeof evalColumns / sizeof evalColumns[0];

std::string evalCsvHeader(bool fileRun)
{
    std::string h;
    for (int c = 0; c < evalColumnNum; ++c) h += std::string(c ? "," : "") + evalColumns[c];
    // The batch results' own file-run columns, in the same place: after all the others.
    return fileRun ? h + ",file,stem" : h;
}

// 17 significant digits give back the same double; NaN stands for "no value".
std::string exactNumber(double value)
{
    if (std::isnan(value)) return "";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string evalCsvLine(const EvalRow& r)
{
    std::ostringstream l;
    l << r.dataset << "," << r.distribution << "," << r.evalDistribution << "," << r.method << "," << r.config << ","
      << r.runSeed << ",";
    if (r.stem.empty())
        l << r.group << "," << r.instance;
    else
        l << ",";
    l << "," << r.policy << "," << r.runs << "," << r.evalSeed << ","
      << exactNumber(r.lowerBound) << "," << exactNumber(r.inSample) << "," << exactNumber(r.mean) << ","
      << exactNumber(r.stderrOfMean) << "," << exactNumber(r.ci95Low) << "," << exactNumber(r.ci95High) << ","
      << exactNumber(r.sd) << "," << exactNumber(r.p50) << "," << exactNumber(r.p90) << "," << exactNumber(r.p95) << ","
      << exactNumber(r.p99) << "," << exactNumber(r.gap) << "," << exactNumber(r.bias) << ","
      << exactNumber(r.pairedDiff) << "," << exactNumber(r.pairedStderr) << "," << r.version << "," << r.runVersion;
    if (!r.stem.empty()) l << "," << r.file << "," << r.stem;
    return l.str();
}

static std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

// A number, or NaN for an empty field; false for anything else.
static bool readNumber(const std::string& text, double& value)
{
    if (text.empty()) {
        value = NAN;
        return true;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

bool readEvalCsv(const std::string& path, std::vector<EvalRow>& rows, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    int lineNo = 0;
    bool fileRun = false;
    while (std::getline(in, line)) {
        ++lineNo;
        // A line without its line feed was cut short by a stop: it does not count.
        if (in.eof()) break;
        if (lineNo == 1) {
            if (line != evalCsvHeader(false) && line != evalCsvHeader(true)) {
                error = path + ": line 1 is not the header of a tarvo evaluation file";
                return false;
            }
            fileRun = line == evalCsvHeader(true);
            continue;
        }
        std::vector<std::string> f = splitFields(line);
        double v[evalColumnNum] = {};
        bool ok = static_cast<int>(f.size()) == evalColumnNum + (fileRun ? 2 : 0) && (f[8] == "ph1" || f[8] == "ph2");
        // A file run's row names its project by file and stem, a PSPLIB row by group and instance.
        if (ok && fileRun) ok = f[6].empty() && f[7].empty() && !f[28].empty() && !f[29].empty();
        if (ok && !fileRun) ok = !f[6].empty() && !f[7].empty();
        for (int c = 6; ok && c <= 25; ++c) ok = c == 8 || readNumber(f[c], v[c]);
        if (!ok) {
            error = path + ": line " + std::to_string(lineNo) + " is not an evaluation row";
            return false;
        }
        EvalRow r;
        r.dataset = f[0];
        r.distribution = f[1];
        r.evalDistribution = f[2];
        r.method = f[3];
        r.config = f[4];
        r.runSeed = f[5];
        if (fileRun) {
            r.file = f[28];
            r.stem = f[29];
        } else {
            r.group = static_cast<int>(v[6]);
            r.instance = static_cast<int>(v[7]);
        }
        r.policy = f[8];
        r.runs = static_cast<long>(v[9]);
        r.evalSeed = static_cast<uint32_t>(v[10]);
        double* numbers[] = {&r.lowerBound, &r.inSample, &r.mean, &r.stderrOfMean, &r.ci95Low, &r.ci95High, &r.sd,
                             &r.p50, &r.p90, &r.p95, &r.p99, &r.gap, &r.bias, &r.pairedDiff, &r.pairedStderr};
        for (int c = 11; c <= 25; ++c) *numbers[c - 11] = v[c];
        r.version = f[26];
        r.runVersion = f[27];
        rows.push_back(r);
    }
    if (lineNo == 0) {
        error = path + ": empty, not a tarvo evaluation file";
        return false;
    }
    return true;
}

double tQuantile975(double df)
{
    return boost::math::quantile(boost::math::students_t(df), 0.975);
}

// Mean and sample standard deviation of x[0..n-1] in double, the deviations summed in a second
// pass so that a constant sample gives exactly 0.
template <class Value>
static void meanAndSd(const Value* x, long n, double& mean, double& sd)
{
    double sum = 0;
    for (long k = 0; k < n; ++k) sum += static_cast<double>(x[k]);
    mean = sum / n;
    double squares = 0;
    for (long k = 0; k < n; ++k) {
        double dev = static_cast<double>(x[k]) - mean;
        squares += dev * dev;
    }
    sd = n > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
}

// The p-quantile of a sorted sample: its ceil(p n)-th smallest value.
static double percentile(const std::vector<float>& sorted, double p)
{
    long k = static_cast<long>(std::ceil(p * sorted.size()));
    if (k < 1) k = 1;
    return sorted[k - 1];
}

static void fillOne(EvalRow& r, std::vector<float>& m, double t)
{
    const long n = static_cast<long>(m.size());
    meanAndSd(m.data(), n, r.mean, r.sd);
    r.runs = n;
    r.stderrOfMean = r.sd / std::sqrt(static_cast<double>(n));
    r.ci95Low = r.mean - t * r.stderrOfMean;
    r.ci95High = r.mean + t * r.stderrOfMean;
    std::sort(m.begin(), m.end());
    r.p50 = percentile(m, 0.50);
    r.p90 = percentile(m, 0.90);
    r.p95 = percentile(m, 0.95);
    r.p99 = percentile(m, 0.99);
    r.gap = 100.0 * (r.mean - r.lowerBound) / r.lowerBound;
    r.bias = r.inSample - r.mean;
}

void fillEvalStatistics(EvalRow& ph1, EvalRow& ph2, std::vector<float>& m1, std::vector<float>& m2)
{
    const long n = static_cast<long>(m1.size());
    const double t = tQuantile975(static_cast<double>(n - 1));
    // Paired first, while the runs still stand side by side.
    std::vector<double> diff(n);
    for (long k = 0; k < n; ++k) diff[k] = static_cast<double>(m1[k]) - static_cast<double>(m2[k]);
    double diffSd;
    meanAndSd(diff.data(), n, ph2.pairedDiff, diffSd);
    ph2.pairedStderr = diffSd / std::sqrt(static_cast<double>(n));
    ph1.pairedDiff = NAN;
    ph1.pairedStderr = NAN;
    fillOne(ph1, m1, t);
    fillOne(ph2, m2, t);
}

int pairedVerdict(const EvalRow& ph2)
{
    if (!(ph2.pairedStderr > 0)) return 0;
    const double t = tQuantile975(static_cast<double>(ph2.runs - 1));
    if (ph2.pairedDiff > t * ph2.pairedStderr) return 1;
    if (ph2.pairedDiff < -t * ph2.pairedStderr) return -1;
    return 0;
}
