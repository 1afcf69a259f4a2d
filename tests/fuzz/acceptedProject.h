// What every project a reader accepts must carry, shared by the reader fuzz targets: the input bytes
// as a read source, and the invariant walker and the passes after the reader on the loaded project.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <streambuf>

#include "phase1/phase1.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/state.h"

// The input bytes as the reader's source, without a copy.
struct MemoryText : std::streambuf {
    MemoryText(const uint8_t* data, std::size_t size)
    {
        char* first = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(first, first, first + size);
    }
};

inline bool feasiblePermutation(const uint8_t* list)
{
    ActSet placed;
    setClear(placed);
    for (int p = 1; p <= actNum; ++p) {
        int a = list[p];
        if (a < 1 || a > actNum || setHas(placed, a) || !setSubset(predSet[a], placed)) return false;
        setAdd(placed, a);
    }
    return list[1] == 1 && list[actNum] == actNum;
}

// Aborts, for the fuzzer to see, unless the loaded project satisfies the invariant walker and carries
// the critical path, a construction and a justification to feasible lists.
inline void checkAcceptedProject()
{
    if (!checkState(resCap)) std::abort();
    computeCpmTimes();
    ph1Iter = 0;
    popSize = elitePoolSize;
    uint8_t list[actDim] = {};
    constructActList(list);
    if (!feasiblePermutation(list)) std::abort();
    justifyList(list);
    if (!feasiblePermutation(list)) std::abort();
}
