// The files of a complete pass: the report rebuilt from rows in the interactive program's
// format, and the three final files written whole, so a resumed or merged run writes what one
// process would.
#include <algorithm>
#include <sstream>

#include "batch/batch.h"
#include "project/state.h"
#include "solve/solve.h"

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
