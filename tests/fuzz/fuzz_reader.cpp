// libFuzzer target of the instance reader: any bytes as an instance file. A file the reader accepts
// must satisfy the invariant walker and carry the passes after it (critical path, construction, justification).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <streambuf>

#include "phase1/phase1.h"
#include "project/checkState.h"
#include "project/cpm.h"
#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"

namespace {

// The input bytes as the reader's source, without a copy.
struct MemoryText : std::streambuf {
    MemoryText(const uint8_t* data, std::size_t size)
    {
        char* first = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(first, first, first + size);
    }
};

bool feasiblePermutation(const uint8_t* list)
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A rejected file waits for a key; nobody presses one here.
    setKeyWaits(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    MemoryText text(data, size);
    if (!readInstanceFrom(text, "fuzz.sm")) return 0;
    if (!checkState(resCap)) std::abort();
    computeCpmTimes();
    ph1Iter = 0;
    popSize = elitePoolSize;
    uint8_t list[actDim] = {};
    constructActList(list);
    if (!feasiblePermutation(list)) std::abort();
    justifyList(list);
    if (!feasiblePermutation(list)) std::abort();
    return 0;
}
