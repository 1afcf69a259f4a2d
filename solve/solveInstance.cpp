// One instance solved from its file to its results, in the order every run keeps: reader, sample
// pool, critical path, Phase 1, Phase 2 (and, for a set never installed, how to install it); and
// the start of a pass over a distribution.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "config/labels.h"
#include "durations/durations.h"
#include "phase1/phase1.h"
#include "phase2/phase2.h"
#include "project/check.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"
#include "solve/solve.h"

void fillLabels()
{
    for (int d = 1; d <= datasetCount; ++d) datasetName[d] = datasetLabels[d];
    for (int d = 1; d <= distCount; ++d) distName[d] = distLabels[d];
    for (int m = 1; m <= methodCount; ++m) varName[m] = methodLabels[m];
}

static bool fileOpens(const char* path) { return std::ifstream(path).is_open(); }

// After the reader's own message: when the set's first file is absent as well, the set was never
// installed, which a missing file alone does not tell a new user; say which set, and the command
// that installs it into the folder the run reads.
void sayMissingSet()
{
    if (!projectFile.empty() || fileOpens(instancePath(paramNum, instNum)) || fileOpens(instancePath(1, 1))) return;
    // From the labels themselves: a batch run checks its files before the label tables are filled.
    std::string set = datasetLabels[datasetType >= 1 && datasetType <= 3 ? datasetType : 4];
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

void startPass()
{
    solvedNum = 0;
    ph1Makespan = 0;
    ph2Makespan = 0;
    ph1GapSum = 0;
    ph2GapSum = 0;
    isHV = passIsHV(distNum, varSetting);
}
