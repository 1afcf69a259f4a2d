// The report file of a pass: its timestamped name, the tab-separated instance lines and the
// three summary lines. Lines are flushed as written, so a killed run keeps every finished line.
#include <iomanip>
#include <sstream>

#include "project/state.h"
#include "solve/solve.h"

// The name stream lives for the whole run and is emptied for every pass.
static std::ostringstream nameStream;

std::string composeReportPath(const std::string& timestamp)
{
    nameStream.str("");
    nameStream.clear();
    nameStream << "Reports/" << timestamp << "-" << datasetName[datasetType] << "-" << distName[distNum]
               << "-#" << budgetLabel << "sch-" << (isHV ? varName[1] : varName[2]) << ".txt";
    return nameStream.str();
}

void writeInstanceLine()
{
    // Fixed notation stays set on the stream, so the summary lines use it too.
    report << std::fixed << std::setprecision(3);
    // The header separates columns by one tab; the data columns after the first by two.
    report << (paramNum - 1) * 10 + instNum << "\t" << ph1Makespan << "\t\t" << ph2Makespan << "\t\t" << bestGap
           << "\t\t" << cpuTime << std::endl;
}

void writeSummary()
{
    report << std::endl;
    if (solvedNum > 0) {
        report << "Average of Gap Percents after Phase 1 = " << ph1GapSum / solvedNum << std::endl;
        report << "Average of Gap Percents after Phase 2 = " << ph2GapSum / solvedNum << std::endl;
    } else {
        // No instance was solved: an average over nothing has no value to print.
        report << "Average of Gap Percents after Phase 1 = none (no instance solved)" << std::endl;
        report << "Average of Gap Percents after Phase 2 = none (no instance solved)" << std::endl;
    }
    report << "computation time = " << cpuTimeSum << std::endl;
}
