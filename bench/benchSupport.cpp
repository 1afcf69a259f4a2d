// Loading benchmark instances for the benchmark programs (see benchSupport.h).
#include "benchSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "project/reader.h"
#include "project/state.h"

void benchFixedList(uint8_t* list)
{
    const int n = actNum;
    ActSet placed;
    setClear(placed);
    for (int p = 1; p <= n; ++p) {
        int best = 0;
        for (int a = 1; a <= n; ++a)
            if (!setHas(placed, a) && setSubset(predSet[a], placed) && (best == 0 || lateFinish[a] < lateFinish[best]))
                best = a;
        list[p] = static_cast<uint8_t>(best);
        setAdd(placed, best);
    }
    for (int a = 0; a <= maxAct; ++a) {
        setClear(extraFinPred[a]);
        setClear(extraStartPred[a]);
    }
}

void benchLoad(const std::string& stem)
{
    static bool linked = false;
    if (!linked) {
        char dir[] = "/tmp/tarvo-bench.XXXXXX";
        if (!mkdtemp(dir) || chdir(dir) != 0 || symlink(TARVO_PSPLIB_DIR, "Instances") != 0) {
            std::fprintf(stderr, "cannot prepare a working folder for %s\n", stem.c_str());
            std::exit(1);
        }
        linked = true;
    }
    std::size_t us = stem.find('_');
    std::string set = stem.substr(1, 2) == "12" ? "120" : stem.substr(1, 2);
    datasetType = set == "30" ? 1 : set == "60" ? 2 : set == "90" ? 3 : 4;
    paramNum = std::atoi(stem.substr(1 + set.size(), us - 1 - set.size()).c_str());
    instNum = std::atoi(stem.substr(us + 1).c_str());
    if (!readInstance()) {
        std::fprintf(stderr, "cannot read %s\n", stem.c_str());
        std::exit(1);
    }
}
