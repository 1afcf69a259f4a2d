// The experiment loop: one pass per chosen distribution over every parameter group and instance,
// calling reader, sample pool, critical path, Phase 1 and Phase 2 in that order for each instance.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

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

static bool fileOpens(const char* path) { return std::ifstream(path).is_open(); }

// After the reader's own message: when the set's first file is absent as well, the set was never
// installed, which a missing file alone does not tell a new user; say which set, and the command
// that installs it into the folder the run reads.
static void sayMissingSet()
{
    if (!projectFile.empty() || fileOpens(instancePath(paramNum, instNum)) || fileOpens(instancePath(1, 1))) return;
    std::string set = datasetName[datasetType >= 1 && datasetType <= 3 ? datasetType : 4];
    std::string first = instancePath(1, 1);
    std::string folder = instanceFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    std::string base = slash == std::string::npos ? folder : folder.substr(slash + 1);
    std::string parent = slash == std::string::npos ? "" : slash == 0 ? "/" : folder.substr(0, slash);
    std::string archive = "j" + set.substr(1) + ".sm.zip";
    std::printf("The %s set is not installed in %s: its first file %s is missing.\n", set.c_str(), folder.c_str(),
                first.substr(first.rfind('/') + 1).c_str());
    if (base == "Instances")
        std::printf("Install it with: bash scripts/fetch-instances.sh%s%s %s (the PSPLIB archive, or a folder of "
                    "its files; no argument downloads all four sets)\n",
                    parent.empty() ? "" : " --workdir ", parent.c_str(), archive.c_str());
    else
        std::printf("Install it with: bash scripts/fetch-instances.sh --workdir DIR %s (the PSPLIB archive, or a "
                    "folder of its files), which fills DIR/Instances\n", archive.c_str());
}

bool solveInstance()
{
    double t0 = cpuSeconds();
    bool ok = readInstance();
    // The sample pool is rebuilt whatever the read gave; it also resets per-instance state.
    buildSamplePool();
    if (!ok) sayMissingSet();
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
