// Results files of batch runs: one CSV row per instance, written exactly and read back checked,
// and the policy lines of the .jsonl beside them joined to their rows.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "results/resultsCsv.h"

#include "config/labels.h"
#include "config/version.h"
#include "results/csvFields.h"
#include "results/policyRecord.h"
#include "results/runNames.h"

std::string programVersion() { return std::string(tarvoVersion) + "+" + tarvoGitHash; }

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}

static const char* csvColumns[] = {"dataset", "distribution", "method", "config", "run_seed", "groups",
                                   "group", "instance", "inst", "activities", "lower_bound", "ph1_makespan",
                                   "ph1_gap", "ph2_makespan", "ph2_gap", "smaller_gap", "cpu_seconds",
                                   "stream_seed", "version", "host"};
constexpr int csvColumnNum = sizeof csvColumns / sizeof csvColumns[0];
// A file run's rows name their file after these: the path as given and its stem.
constexpr int fileColumnNum = csvColumnNum + 2;

std::string csvHeader(bool fileRun)
{
    std::string h;
    for (int c = 0; c < csvColumnNum; ++c) h += std::string(c ? "," : "") + csvColumns[c];
    return fileRun ? h + ",file,stem" : h;
}

// Numbers are written so that reading them back gives the same bits: makespans and the bound are
// floats widened to double (9 significant digits suffice), gaps and times doubles (17).
std::string csvLine(const RunIdentity& id, const ResultRow& row)
{
    std::ostringstream line;
    line << id.dataset << "," << id.distribution << "," << id.method << "," << id.config << "," << id.runSeed << ","
         << id.groups << ",";
    // A file run has no groups: its instances are numbered 1..N in the run's order of files.
    if (id.fileRun)
        line << ",," << row.instance << ",";
    else
        line << row.group << "," << row.instance << "," << (row.group - 1) * 10 + row.instance << ",";
    line
         << row.activities << "," << exactDigits(row.lowerBound, 9) << "," << exactDigits(row.ph1Makespan, 9) << ","
         << exactDigits(row.ph1Gap, 17) << "," << exactDigits(row.ph2Makespan, 9) << "," << exactDigits(row.ph2Gap, 17) << ","
         << exactDigits(row.smallerGap, 17) << "," << exactDigits(row.cpuSeconds, 17) << "," << row.streamSeed << ","
         << id.version << "," << (row.host.empty() ? hostName() : row.host);
    if (id.fileRun) line << "," << row.file << "," << row.stem;
    return line.str();
}

// ---------------------------------------------------------------------------------------------
// Reading results files back (resume, merge, summaries)
// ---------------------------------------------------------------------------------------------

// The identity columns name files (merge writes <dataset>-<distribution>-...), so only the
// values the program writes are accepted.
static bool knownIdentity(const RunIdentity& id)
{
    long long a, b;
    bool common = labelIndex(id.distribution, distLabels, distCount) != 0 &&
                  labelIndex(id.method, methodLabels, methodCount) != 0 &&
                  parseWhole(id.config, 1, 1000000000, a) &&
                  (id.runSeed == "single" || parseWhole(id.runSeed, 0, 4294967295LL, a)) &&
                  id.version.find('/') == std::string::npos;
    if (id.fileRun) return common && validRunName(id.dataset) && parseWhole(id.groups, 1, maxRunFiles, a);
    std::size_t dash = id.groups.find('-');
    return common && labelIndex(id.dataset, datasetLabels, datasetCount) != 0 && dash != std::string::npos &&
           parseWhole(id.groups.substr(0, dash), 1, 60, a) && parseWhole(id.groups.substr(dash + 1), a, 60, b);
}

bool parseCsv(const std::string& text, const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows,
              std::string& error)
{
    // Only lines ended by a line feed are complete: a run killed mid-write leaves at most one
    // partial line, which is dropped here and solved again.
    std::size_t end = text.rfind('\n');
    std::istringstream lines(end == std::string::npos ? std::string() : text.substr(0, end + 1));
    std::string line;
    if (!std::getline(lines, line) || (line != csvHeader(false) && line != csvHeader(true))) {
        error = path + ": line 1 is not the header of a tarvo results file";
        return false;
    }
    const bool fileRun = line == csvHeader(true);
    const int columns = fileRun ? fileColumnNum : csvColumnNum;
    int lineNo = 1;
    while (std::getline(lines, line)) {
        ++lineNo;
        std::string where = path + ": line " + std::to_string(lineNo);
        std::vector<std::string> f = splitCsvFields(line);
        if (static_cast<int>(f.size()) != columns) {
            error = where + " has " + std::to_string(f.size()) + " fields, not " + std::to_string(columns);
            return false;
        }
        RunIdentity rowId{f[0], f[1], f[2], f[3], f[4], f[5], f[18], fileRun};
        long long group = 0, instance = 0, inst = 0, activities = 0, seed = 0;
        double v[csvColumnNum] = {};
        bool ok = knownIdentity(rowId) && parseWhole(f[9], 3, 122, activities) &&
                  parseWhole(f[17], 0, 4294967295LL, seed);
        if (fileRun) {
            // Instance k of a file run is kept as group 1, instance k.
            long long files = 0;
            ok = ok && parseWhole(rowId.groups, 1, maxRunFiles, files) && f[6].empty() && f[7].empty() &&
                 parseWhole(f[8], 1, files, inst) && !f[20].empty() && !f[21].empty();
            group = 1;
            instance = inst;
        } else {
            ok = ok && parseWhole(f[6], 1, 60, group) && parseWhole(f[7], 1, 10, instance) &&
                 parseWhole(f[8], 1, 600, inst) && inst == (group - 1) * 10 + instance;
        }
        for (int c = 10; ok && c <= 16; ++c) ok = finiteNumber(f[c], v[c]);
        if (!ok) {
            error = where + " is not a results row";
            return false;
        }
        if (rows.empty()) id = rowId;
        else if (rowId.dataset != id.dataset || rowId.distribution != id.distribution || rowId.method != id.method ||
                 rowId.config != id.config || rowId.runSeed != id.runSeed || rowId.groups != id.groups ||
                 rowId.version != id.version) {
            error = where + " belongs to another run";
            return false;
        }
        ResultRow row;
        row.group = static_cast<int>(group);
        row.instance = static_cast<int>(instance);
        row.activities = static_cast<int>(activities);
        row.lowerBound = v[10];
        row.ph1Makespan = v[11];
        row.ph1Gap = v[12];
        row.ph2Makespan = v[13];
        row.ph2Gap = v[14];
        row.smallerGap = v[15];
        row.cpuSeconds = v[16];
        row.streamSeed = static_cast<uint32_t>(seed);
        row.host = f[19];
        if (fileRun) {
            row.file = f[20];
            row.stem = f[21];
        }
        rows.push_back(row);
    }
    return true;
}

bool readCsv(const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseCsv(text, path, id, rows, error);
}

std::string policyPathFor(const std::string& csvPath)
{
    std::size_t at = csvPath.rfind(".csv");
    if (at == std::string::npos) return csvPath + ".jsonl";
    return csvPath.substr(0, at) + ".jsonl" + csvPath.substr(at + 4);
}

bool attachPolicies(const std::string& path, std::vector<ResultRow>& rows, std::string& error)
{
    std::vector<PolicyRecord> records;
    if (!readPolicyFile(path, records, error)) return false;
    std::map<int, const PolicyRecord*> byInst;
    for (const PolicyRecord& r : records) byInst[r.inst] = &r;
    for (ResultRow& row : rows) {
        int inst = rowInst(row);
        auto it = byInst.find(inst);
        if (it == byInst.end()) {
            error = path + ": no complete policy line for instance " + std::to_string(inst) +
                    (row.stem.empty() ? " (group " + std::to_string(row.group) + ", instance " +
                                            std::to_string(row.instance) + ")"
                                      : " (" + row.file + ")") +
                    ", although its results row is there";
            return false;
        }
        if (it->second->stem != row.stem) {
            error = path + ": line " + std::to_string(it->second->lineNo) + " holds the policy of \"" +
                    it->second->stem + "\" for instance " + std::to_string(inst) + ", whose results row is \"" +
                    row.stem + "\"";
            return false;
        }
        row.policy = policyLine(*it->second);
    }
    return true;
}
