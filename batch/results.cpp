// Machine-readable results of batch runs: one CSV row per instance, the policy found as JSON Lines,
// and the report rebuilt from rows, so a resumed or merged run writes what one process would.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "batch/batch.h"
#include "batch/policyRecord.h"
#include "config/version.h"
#include "driver/driver.h"
#include "project/inputFile.h"
#include "project/state.h"

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
static std::string exact(double value, int digits)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

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
         << row.activities << "," << exact(row.lowerBound, 9) << "," << exact(row.ph1Makespan, 9) << ","
         << exact(row.ph1Gap, 17) << "," << exact(row.ph2Makespan, 9) << "," << exact(row.ph2Gap, 17) << ","
         << exact(row.smallerGap, 17) << "," << exact(row.cpuSeconds, 17) << "," << row.streamSeed << ","
         << id.version << "," << (row.host.empty() ? hostName() : row.host);
    if (id.fileRun) line << "," << row.file << "," << row.stem;
    return line.str();
}

// ---------------------------------------------------------------------------------------------
// Reading results files back (resume, merge, summaries)
// ---------------------------------------------------------------------------------------------

static std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

bool parseWhole(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool parseDecimal(const std::string& text, double& value)
{
    // strtod alone would also take hex forms (0x10), nan, inf and leading blanks.
    if (text.empty() || text.size() > 40 || text.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

static bool oneOf(const std::string& text, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (text == name) return true;
    return false;
}

// The identity columns name files (merge writes <dataset>-<distribution>-...), so only the
// values the program writes are accepted.
static bool knownIdentity(const RunIdentity& id)
{
    long long a, b;
    if (id.fileRun)
        return validRunName(id.dataset) && oneOf(id.distribution, {"U1", "B1", "U2", "B2", "EXP"}) &&
               oneOf(id.method, {"HV", "LV"}) && parseWhole(id.config, 1, 1000000000, a) &&
               (id.runSeed == "single" || parseWhole(id.runSeed, 0, 4294967295LL, a)) &&
               parseWhole(id.groups, 1, maxRunFiles, a) && id.version.find('/') == std::string::npos;
    std::size_t dash = id.groups.find('-');
    return oneOf(id.dataset, {"J30", "J60", "J90", "J120"}) && oneOf(id.distribution, {"U1", "B1", "U2", "B2", "EXP"}) &&
           oneOf(id.method, {"HV", "LV"}) && parseWhole(id.config, 1, 1000000000, a) &&
           (id.runSeed == "single" || parseWhole(id.runSeed, 0, 4294967295LL, a)) && dash != std::string::npos &&
           parseWhole(id.groups.substr(0, dash), 1, 60, a) && parseWhole(id.groups.substr(dash + 1), a, 60, b) &&
           id.version.find('/') == std::string::npos;
}

// Which field of a row the checks of parseCsv refused, for the message: the first one, in the
// order they are checked.
static std::string firstBadField(const std::vector<std::string>& f, bool fileRun)
{
    auto bad = [&f](int c) {
        const char* name = c < csvColumnNum ? csvColumns[c] : c == csvColumnNum ? "file" : "stem";
        return std::string("field \"") + name + "\" is \"" + (f[c].size() > 40 ? f[c].substr(0, 40) + "..." : f[c]) + "\"";
    };
    long long a = 0, b = 0, files = 0, group = 0, instance = 0;
    double x;
    std::size_t dash = f[5].find('-');
    if (fileRun ? !validRunName(f[0]) : !oneOf(f[0], {"J30", "J60", "J90", "J120"})) return bad(0);
    if (!oneOf(f[1], {"U1", "B1", "U2", "B2", "EXP"})) return bad(1);
    if (!oneOf(f[2], {"HV", "LV"})) return bad(2);
    if (!parseWhole(f[3], 1, 1000000000, a)) return bad(3);
    if (f[4] != "single" && !parseWhole(f[4], 0, 4294967295LL, a)) return bad(4);
    if (fileRun ? !parseWhole(f[5], 1, maxRunFiles, files)
                : dash == std::string::npos || !parseWhole(f[5].substr(0, dash), 1, 60, a) ||
                      !parseWhole(f[5].substr(dash + 1), a, 60, b))
        return bad(5);
    if (f[18].find('/') != std::string::npos) return bad(18);
    if (!parseWhole(f[9], 3, 122, a)) return bad(9);
    if (!parseWhole(f[17], 0, 4294967295LL, a)) return bad(17);
    if (fileRun) {
        if (!f[6].empty()) return bad(6) + " (empty in a file run's row)";
        if (!f[7].empty()) return bad(7) + " (empty in a file run's row)";
        if (!parseWhole(f[8], 1, files, a)) return bad(8);
        if (f[20].empty()) return bad(20);
        if (f[21].empty()) return bad(21);
    } else {
        if (!parseWhole(f[6], 1, 60, group)) return bad(6);
        if (!parseWhole(f[7], 1, 10, instance)) return bad(7);
        if (!parseWhole(f[8], 1, 600, a) || a != (group - 1) * 10 + instance)
            return bad(8) + ", not (group - 1) * 10 + instance";
    }
    for (int c = 10; c <= 16; ++c)
        if (!parseDecimal(f[c], x)) return bad(c) + ", not a finite decimal number";
    return "a field is not what tarvo writes";
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
        std::vector<std::string> f = splitCsv(line);
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
        for (int c = 10; ok && c <= 16; ++c) ok = parseDecimal(f[c], v[c]);
        if (!ok) {
            error = where + " is not a results row: " + firstBadField(f, fileRun);
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
    std::string text;
    if (!readInputFile(path, InputKind::regularOnly, text, error)) return false;
    completeLastLine(path, text);
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

// ---------------------------------------------------------------------------------------------
// The files of a complete pass
// ---------------------------------------------------------------------------------------------

static void sortByInstance(std::vector<ResultRow>& rows)
{
    std::sort(rows.begin(), rows.end(), [](const ResultRow& a, const ResultRow& b) { return rowInst(a) < rowInst(b); });
}

// The table that gives a file run's instance numbers their files, after the report's summary.
static std::string fileTable(const std::vector<ResultRow>& rows)
{
    std::string table = "\nInst\tFile\n";
    for (const ResultRow& row : rows) table += std::to_string(rowInst(row)) + "\t" + row.file + "\n";
    return table;
}

std::string reportFromRows(std::vector<ResultRow> rows)
{
    sortByInstance(rows);
    // The interactive program's writers print to the shared report stream; lending it a string
    // buffer for the moment keeps one definition of the lines' format.
    std::ostringstream text;
    std::streambuf* file = static_cast<std::ostream&>(report).rdbuf(text.rdbuf());
    report << "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)" << std::endl;
    // The same order of additions as the interactive pass, so the averages come out identical.
    solvedNum = 0;
    ph1GapSum = 0;
    ph2GapSum = 0;
    cpuTimeSum = 0;
    for (const ResultRow& row : rows) {
        paramNum = row.group;
        instNum = row.instance;
        ph1Makespan = row.ph1Makespan;
        ph2Makespan = row.ph2Makespan;
        bestGap = row.ph2Gap;
        cpuTime = row.cpuSeconds;
        solvedNum += 1;
        ph1GapSum += row.ph1Gap;
        ph2GapSum += row.smallerGap;
        cpuTimeSum += row.cpuSeconds;
        writeInstanceLine();
    }
    writeSummary();
    static_cast<std::ostream&>(report).rdbuf(file);
    return text.str();
}

bool writeFinalFiles(const std::string& base, const RunIdentity& id, std::vector<ResultRow> rows, std::string& error)
{
    sortByInstance(rows);
    std::string csvText = csvHeader(id.fileRun) + "\n", jsonText;
    for (const ResultRow& row : rows) {
        csvText += csvLine(id, row) + "\n";
        jsonText += row.policy + "\n";
    }
    std::string reportText = reportFromRows(rows) + (id.fileRun ? fileTable(rows) : "");
    return writeWhole(base + ".txt", reportText, error) && writeWhole(base + ".jsonl", jsonText, error) &&
           writeWhole(base + ".csv", csvText, error);
}

std::string resultsBase(const std::string& reports, const RunIdentity& id, int shard, int shardCount)
{
    std::string base = reports + "/" + id.dataset + "-" + id.distribution + "-#" + id.config + "sch-" + id.method;
    if (id.runSeed != "1" && id.runSeed != "single") base += "-seed" + id.runSeed;
    if (shardCount > 0) base += "-shard" + std::to_string(shard) + "of" + std::to_string(shardCount);
    return base;
}
