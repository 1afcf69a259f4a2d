// The experiment loop: one pass per chosen distribution over every parameter group and instance,
// calling reader, sample pool, critical path, Phase 1 and Phase 2 in that order for each instance.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "driver/driver.h"
#include "durations/durations.h"
#include "engine/engine.h"
#include "phase1/phase1.h"
#include "phase2/phase2.h"
#include "project/check.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"

bool solveInstance()
{
    double t0 = cpuSeconds();
    bool ok = readInstance();
    // The sample pool is rebuilt whatever the read gave; it also resets per-instance state.
    buildSamplePool();
    if (!ok) return false;
    solvedNum += 1;
    [[maybe_unused]] uint8_t capacities[resDim];
    for (int r = 1; r <= resNum; ++r) capacities[r] = resCap[r];
    computeCpmTimes();
    runPhase1();
    if (isHV)
        gaArcAddition();
    else
        greedyArcRemoval();
    cpuTime = cpuSeconds() - t0;
    // Debug and sanitizer builds walk the shared state's invariants after every instance.
    tarvoDebugCheck(checkState(capacities));
    cpuTimeSum += cpuTime;
    return true;
}

// Solves every instance of the chosen data set for distribution distNum. Returns false when the
// pass was cut short (a failed read) or could not write its report.
void startPass()
{
    solvedNum = 0;
    ph1Makespan = 0;
    ph2Makespan = 0;
    ph1GapSum = 0;
    ph2GapSum = 0;
    isHV = varSetting == 0 ? distNum > 2 : varSetting == 1;
}

static bool runPass(int groups)
{
    startPass();

    reportPath = composeReportPath(makeTimestamp());
    errno = 0;
    report.open(reportPath, std::ios::out | std::ios::trunc);
    if (!report.is_open()) {
        // Hours of results must not be computed into a file that does not exist: skip the pass.
        std::printf("Cannot write the report file %s: %s. The %s pass is skipped.\n", reportPath.c_str(),
                    errno ? std::strerror(errno) : "open failed", distName[distNum]);
        return false;
    }
    report << "Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)" << std::endl;
    std::cout << distName[distNum] << std::endl;
    cpuTimeSum = 0;

    bool complete = true;
    for (paramNum = 1; paramNum <= groups; ++paramNum) {
        for (instNum = 1; instNum <= 10; ++instNum) {
            if (!solveInstance()) {
                complete = false;
                break;
            }
            writeInstanceLine();
        }
        if (!complete) break;
        // The percent sign leads; the carriage return lets the next group overwrite the line.
        std::cout.precision(3);
        std::cout << "%" << static_cast<float>(paramNum * 100) / static_cast<float>(groups) << "        ";
        std::cout.flush();
        std::cout << "\r";
    }

    writeSummary();
    bool written = report.good();
    report.close();
    if (!written) std::printf("Writing the report file %s failed: %s.\n", reportPath.c_str(), std::strerror(errno));
    std::printf("Done!\n");
    return complete && written;
}

int runExperiment(int groups)
{
    int code = exitClean;
    for (distNum = firstDist; distNum <= lastDist; ++distNum)
        if (!runPass(groups)) code = exitIncomplete;
    return code;
}
