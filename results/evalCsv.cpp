// Evaluation files: the columns of a row, written so that they read back exactly and read back
// checked, in the layout of a PSPLIB run or of a file run.
#include "results/evalCsv.h"

#include <cmath>
#include <sstream>

#include "project/inputFile.h"
#include "results/csvFields.h"
#include "results/policyRecord.h"
#include "results/runNames.h"

static const char* evalColumns[] = {
    "dataset", "distribution", "eval_distribution", "method", "config", "run_seed", "group", "instance", "policy",
    "runs", "eval_seed", "lower_bound", "in_sample", "mean", "stderr", "ci95_low", "ci95_high", "sd", "p50", "p90",
    "p95", "p99", "gap", "bias", "paired_diff", "paired_stderr", "version", "run_version",
    "path_bound", "path_bound_stderr", "gap_path", "gap_path_stderr"};
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
      << exactNumber(r.pairedDiff) << "," << exactNumber(r.pairedStderr) << "," << r.version << "," << r.runVersion
      << "," << exactNumber(r.pathBound) << "," << exactNumber(r.pathBoundStderr) << "," << exactNumber(r.gapPath)
      << "," << exactNumber(r.gapPathStderr);
    if (!r.stem.empty()) l << "," << r.file << "," << r.stem;
    return l.str();
}

// A field of a row checked: its text, and the fault that names it when it is not what it must be.
struct FieldCheck {
    const std::vector<std::string>& f;
    std::string fault;

    // what empty: the field must not be empty.
    bool refuse(int c, const std::string& what)
    {
        const std::string name = c < evalColumnNum ? evalColumns[c] : c == evalColumnNum ? "file" : "stem";
        std::string shown = f[c].size() > 40 ? f[c].substr(0, 40) + "..." : f[c];
        fault = "field \"" + name + "\" is " + (what.empty() ? "empty" : "\"" + shown + "\", not " + what);
        return false;
    }
    bool whole(int c, long long low, long long high, long long& value)
    {
        return parseWhole(f[c], low, high, value) ||
               refuse(c, "a whole number " + std::to_string(low) + ".." + std::to_string(high));
    }
    // A finite number; an empty field, where allowed, reads as NaN.
    bool number(int c, bool emptyAllowed, double& value)
    {
        if (f[c].empty() && emptyAllowed) {
            value = NAN;
            return true;
        }
        return finiteNumber(f[c], value) || refuse(c, emptyAllowed ? "a finite number or empty" : "a finite number");
    }
    bool oneOf(int c, std::initializer_list<const char*> names)
    {
        std::string list;
        for (const char* name : names) {
            if (f[c] == name) return true;
            list += std::string(list.empty() ? "" : ", ") + name;
        }
        return refuse(c, "one of " + list);
    }
};

static const std::initializer_list<const char*> distNames = {"U1", "B1", "U2", "B2", "EXP"};

// eval_distribution: a distribution, with -L<levels> when drawn from a tabulation.
static bool evalLabel(FieldCheck& check, int c)
{
    const std::string& text = check.f[c];
    std::size_t dash = text.find("-L");
    long long levels = 0;
    bool ok = false;
    for (const char* name : distNames)
        ok = ok || text.substr(0, dash) == name;
    if (ok && dash != std::string::npos) ok = parseWhole(text.substr(dash + 2), 1, 1000000, levels);
    return ok || check.refuse(c, "a distribution such as U2 or U2-L1000");
}

// One row of fields; fault says which field is wrong and why.
static bool parseEvalRow(const std::vector<std::string>& f, bool fileRun, EvalRow& r, std::string& fault)
{
    const int columns = evalColumnNum + (fileRun ? 2 : 0);
    if (static_cast<int>(f.size()) != columns) {
        fault = "it has " + std::to_string(f.size()) + " fields, not " + std::to_string(columns);
        return false;
    }
    FieldCheck check{f, ""};
    // A single policy's row (a method's own rule, or LFT-RB): any method label, and no configuration,
    // distribution made for or pairing to give.
    const bool single = f[8] == "AB" || f[8] == "RB" || f[8] == "RBA";
    long long config = 0, group = 0, instance = 0, runs = 0, seed = 0, runSeed = 0;
    double v[evalColumnNum] = {};
    bool ok = (fileRun ? validRunName(f[0]) || check.refuse(0, "a run name")
                       : check.oneOf(0, {"J30", "J60", "J90", "J120"})) &&
              ((single && f[1].empty()) || check.oneOf(1, distNames)) && evalLabel(check, 2) &&
              (single ? validMethodLabel(f[3]) || check.refuse(3, "a method label")
                      : check.oneOf(3, {"HV", "LV"})) &&
              ((single && f[4].empty()) || check.whole(4, 1, 1000000000, config)) &&
              (f[5].empty() || f[5] == "single" || parseWhole(f[5], 0, 4294967295LL, runSeed) ||
               check.refuse(5, "a seed 0..4294967295, single or empty"));
    // A file run's row names its project by file and stem, a PSPLIB row by group and instance.
    if (ok && fileRun)
        ok = (f[6].empty() || check.refuse(6, "empty in a file run's row")) &&
             (f[7].empty() || check.refuse(7, "empty in a file run's row")) &&
             (!f[evalColumnNum].empty() || check.refuse(evalColumnNum, "")) &&
             (!f[evalColumnNum + 1].empty() || check.refuse(evalColumnNum + 1, ""));
    if (ok && !fileRun)
        ok = check.whole(6, 1, f[0] == "J120" ? 60 : 48, group) && check.whole(7, 1, 10, instance);
    ok = ok && check.oneOf(8, {"ph1", "ph2", "AB", "RB", "RBA"}) && check.whole(9, 2, 100000000, runs) &&
         check.whole(10, 0, 4294967295LL, seed);
    // The bound must be positive: every gap is divided by it.
    ok = ok && check.number(11, false, v[11]) && (v[11] > 0 || check.refuse(11, "a positive number"));
    // in_sample and bias are empty without the batch results or under another distribution; the
    // paired columns are empty on ph1 rows and filled on ph2 rows.
    for (int c = 12; ok && c <= 25; ++c) {
        const bool unpaired = f[8] != "ph2";
        const bool optional = c == 12 || c == 23 || ((c == 24 || c == 25) && unpaired);
        ok = check.number(c, optional, v[c]);
        if (ok && (c == 24 || c == 25) && unpaired && !f[c].empty())
            ok = check.refuse(c, "empty on a " + f[8] + " row");
    }
    ok = ok && (v[14] >= 0 || check.refuse(14, "a number >= 0")) && (v[17] >= 0 || check.refuse(17, "a number >= 0"));
    ok = ok && (!f[26].empty() || check.refuse(26, "a program version"));
    // The path bound divides gap_path, so it must be positive; standard errors are never negative.
    for (int c = 28; ok && c <= 31; ++c) ok = check.number(c, false, v[c]);
    ok = ok && (v[28] > 0 || check.refuse(28, "a positive number")) &&
         (v[29] >= 0 || check.refuse(29, "a number >= 0")) && (v[31] >= 0 || check.refuse(31, "a number >= 0"));
    if (!ok) {
        fault = check.fault;
        return false;
    }
    r.dataset = f[0];
    r.distribution = f[1];
    r.evalDistribution = f[2];
    r.method = f[3];
    r.config = f[4];
    r.runSeed = f[5];
    if (fileRun) {
        r.file = f[evalColumnNum];
        r.stem = f[evalColumnNum + 1];
    } else {
        r.group = static_cast<int>(group);
        r.instance = static_cast<int>(instance);
    }
    r.policy = f[8];
    r.runs = static_cast<long>(runs);
    r.evalSeed = static_cast<uint32_t>(seed);
    double* numbers[] = {&r.lowerBound, &r.inSample, &r.mean, &r.stderrOfMean, &r.ci95Low, &r.ci95High, &r.sd,
                         &r.p50, &r.p90, &r.p95, &r.p99, &r.gap, &r.bias, &r.pairedDiff, &r.pairedStderr};
    for (int c = 11; c <= 25; ++c) *numbers[c - 11] = v[c];
    r.version = f[26];
    r.runVersion = f[27];
    r.pathBound = v[28];
    r.pathBoundStderr = v[29];
    r.gapPath = v[30];
    r.gapPathStderr = v[31];
    return true;
}

bool parseEvalText(const std::string& text, const std::string& path, std::vector<EvalRow>& rows, std::string& error)
{
    std::size_t at = 0;
    int lineNo = 0;
    bool fileRun = false;
    // Only lines ended by a line feed count: a last line without one was cut short by a stop
    // (readEvalCsv completes it first when the file is not a .part).
    for (std::size_t eol; (eol = text.find('\n', at)) != std::string::npos; at = eol + 1) {
        std::string line = text.substr(at, eol - at);
        ++lineNo;
        if (lineNo == 1) {
            if (line != evalCsvHeader(false) && line != evalCsvHeader(true)) {
                // Files of earlier versions end at run_version: say so rather than "not ours".
                const bool earlier = line.find(",run_version") != std::string::npos &&
                                     line.find(",path_bound") == std::string::npos;
                error = path + (earlier ? ": line 1 is the header of an evaluation file without the path-bound "
                                          "columns (written by an earlier tarvo); evaluate again"
                                        : ": line 1 is not the header of a tarvo evaluation file");
                return false;
            }
            fileRun = line == evalCsvHeader(true);
            continue;
        }
        EvalRow r;
        std::string fault;
        if (!parseEvalRow(splitCsvFields(line), fileRun, r, fault)) {
            error = path + ": line " + std::to_string(lineNo) + " is not an evaluation row: " + fault;
            return false;
        }
        rows.push_back(r);
    }
    if (lineNo == 0) {
        error = path + ": empty, not a tarvo evaluation file";
        return false;
    }
    return true;
}

bool readEvalCsv(const std::string& path, std::vector<EvalRow>& rows, std::string& error)
{
    std::string text;
    if (!readInputFile(path, InputKind::regularOnly, text, error)) return false;
    completeLastLine(path, text);
    return parseEvalText(text, path, rows, error);
}
