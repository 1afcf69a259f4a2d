// Machine-readable results of batch runs: one CSV row per instance, the policy found as JSON Lines,
// and the report rebuilt from rows, so a resumed or merged run writes what one process would.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "config/version.h"
#include "driver/batch.h"
#include "driver/driver.h"
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

std::string csvHeader()
{
    std::string h;
    for (int c = 0; c < csvColumnNum; ++c) h += std::string(c ? "," : "") + csvColumns[c];
    return h;
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
         << id.groups << "," << row.group << "," << row.instance << "," << (row.group - 1) * 10 + row.instance << ","
         << row.activities << "," << exact(row.lowerBound, 9) << "," << exact(row.ph1Makespan, 9) << ","
         << exact(row.ph1Gap, 17) << "," << exact(row.ph2Makespan, 9) << "," << exact(row.ph2Gap, 17) << ","
         << exact(row.smallerGap, 17) << "," << exact(row.cpuSeconds, 17) << "," << row.streamSeed << ","
         << id.version << "," << (row.host.empty() ? hostName() : row.host);
    return line.str();
}

static std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.push_back("");
    return fields;
}

bool writeWhole(const std::string& path, const std::string& text)
{
    std::string temp = path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

static bool toNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

bool readCsv(const std::string& path, RunIdentity& id, std::vector<ResultRow>& rows, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Only lines ended by a line feed are complete: a run killed mid-write leaves at most one
    // partial line, which is dropped here and solved again.
    all.erase(all.rfind('\n') == std::string::npos ? 0 : all.rfind('\n') + 1);
    std::istringstream lines(all);
    std::string line;
    if (!std::getline(lines, line) || line != csvHeader()) {
        error = path + ": line 1 is not the header of a tarvo results file";
        return false;
    }
    int lineNo = 1;
    while (std::getline(lines, line)) {
        ++lineNo;
        std::vector<std::string> f = splitCsv(line);
        double v[csvColumnNum] = {};
        bool ok = static_cast<int>(f.size()) == csvColumnNum;
        for (int c = 6; ok && c <= 17; ++c) ok = toNumber(f[c], v[c]);
        if (!ok) {
            error = path + ": line " + std::to_string(lineNo) + " is not a results row";
            return false;
        }
        RunIdentity rowId{f[0], f[1], f[2], f[3], f[4], f[5], f[18]};
        if (rows.empty()) id = rowId;
        else if (rowId.dataset != id.dataset || rowId.distribution != id.distribution || rowId.method != id.method ||
                 rowId.config != id.config || rowId.runSeed != id.runSeed || rowId.groups != id.groups ||
                 rowId.version != id.version) {
            error = path + ": line " + std::to_string(lineNo) + " belongs to another run";
            return false;
        }
        ResultRow row;
        row.group = static_cast<int>(v[6]);
        row.instance = static_cast<int>(v[7]);
        row.activities = static_cast<int>(v[9]);
        row.lowerBound = v[10];
        row.ph1Makespan = v[11];
        row.ph1Gap = v[12];
        row.ph2Makespan = v[13];
        row.ph2Gap = v[14];
        row.smallerGap = v[15];
        row.cpuSeconds = v[16];
        row.streamSeed = static_cast<uint32_t>(v[17]);
        row.host = f[19];
        rows.push_back(row);
    }
    return true;
}

bool readPolicies(const std::string& path, std::vector<std::string>& byInstance)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // a last line without its line feed is incomplete
        std::size_t at = line.find("\"inst\":");
        if (at == std::string::npos) continue;
        int inst = std::atoi(line.c_str() + at + 7);
        if (inst < 1) continue;
        if (static_cast<int>(byInstance.size()) <= inst) byInstance.resize(inst + 1);
        byInstance[inst] = line;
    }
    return true;
}

bool writeReportFromRows(const std::string& path, std::vector<ResultRow> rows)
{
    std::sort(rows.begin(), rows.end(), [](const ResultRow& a, const ResultRow& b) {
        return a.group * 10 + a.instance < b.group * 10 + b.instance;
    });
    std::string temp = path + ".new";
    report.open(temp, std::ios::out | std::ios::trunc);
    if (!report.is_open()) return false;
    report << "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)" << std::endl;
    // The same writers and the same order of additions as the interactive pass, so the lines and
    // the averages come out identical.
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
    bool ok = report.good();
    report.close();
    report.clear();
    return ok && std::rename(temp.c_str(), path.c_str()) == 0;
}

std::string resultsBase(const std::string& reports, const RunIdentity& id, int shard, int shardCount)
{
    std::string base = reports + "/" + id.dataset + "-" + id.distribution + "-#" + id.config + "sch-" + id.method;
    if (shardCount > 0) base += "-shard" + std::to_string(shard) + "of" + std::to_string(shardCount);
    return base;
}
