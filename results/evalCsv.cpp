// Evaluation files: the columns of a row, written so that they read back exactly and read back
// checked, in the layout of a PSPLIB run or of a file run.
#include "results/evalCsv.h"

#include <fstream>
#include <sstream>

#include "results/csvFields.h"

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
        std::vector<std::string> f = splitCsvFields(line);
        double v[evalColumnNum] = {};
        bool ok = static_cast<int>(f.size()) == evalColumnNum + (fileRun ? 2 : 0) && (f[8] == "ph1" || f[8] == "ph2");
        // A file run's row names its project by file and stem, a PSPLIB row by group and instance.
        if (ok && fileRun) ok = f[6].empty() && f[7].empty() && !f[28].empty() && !f[29].empty();
        if (ok && !fileRun) ok = !f[6].empty() && !f[7].empty();
        for (int c = 6; ok && c <= 25; ++c) ok = c == 8 || numberOrEmpty(f[c], v[c]);
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
