// The results of the instance a batch pass has just solved: its results row, its policy line and
// its report line, read off the shared state.
#include <sstream>

#include "batch/batch.h"
#include "config/config.h"
#include "phase2/phase2.h"
#include "project/state.h"
#include "results/policyRecord.h"
#include "solve/solve.h"

// The policy found for the instance just solved: the best Phase 1 list and the arcs in force
// with it after Phase 2 (the remaining chain for LV, the best member's arcs for HV).
static std::string policyOfInstance(const RunIdentity& id, const ResultRow& row)
{
    PolicyRecord r;
    r.dataset = id.dataset;
    r.distribution = id.distribution;
    r.method = id.method;
    r.config = budgetLabel;
    r.inst = rowInst(row);
    if (id.fileRun) {
        r.file = row.file;
        r.stem = row.stem;
    } else {
        r.group = row.group;
        r.instance = row.instance;
    }
    r.streamSeed = row.streamSeed;
    r.list.assign(bestList, bestList + actNum + 1);
    uint8_t arcList[arcListDim];
    int count = policyArcsInForce(arcList);
    for (int k = 1; k <= count; ++k) r.arcs.push_back({arcList[3 * k], arcList[3 * k + 1], arcList[3 * k + 2]});
    return policyLine(r);
}

ResultRow solvedRow(const RunIdentity& id, uint32_t streamSeed, const std::string& projectStem)
{
    ResultRow row;
    row.streamSeed = streamSeed;
    row.group = paramNum;
    row.instance = instNum;
    row.activities = actNum;
    row.lowerBound = earlyFinish[actNum];
    row.ph1Makespan = ph1Makespan;
    row.ph1Gap = ph1Gap;
    row.ph2Makespan = ph2Makespan;
    row.ph2Gap = bestGap;
    row.smallerGap = ph1Gap > bestGap ? bestGap : ph1Gap;
    row.cpuSeconds = cpuTime;
    row.host = hostName();
    if (!projectFile.empty()) {
        row.file = projectFile;
        row.stem = projectStem;
    }
    row.policy = policyOfInstance(id, row);
    return row;
}

std::string instanceLine()
{
    std::ostringstream text;
    std::streambuf* file = static_cast<std::ostream&>(report).rdbuf(text.rdbuf());
    writeInstanceLine();
    static_cast<std::ostream&>(report).rdbuf(file);
    return text.str();
}
