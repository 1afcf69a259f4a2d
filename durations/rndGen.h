// The descriptive-sampling draw: one duration of an activity, taken without replacement from its
// quantile table. Inline, because the execution engines call it once per simulated activity.
#pragma once

#include "config/config.h"
#include "project/platform.h"
#include "project/state.h"

// The rare console messages of the draw, kept out of line so the inlined draw stays small.
[[gnu::cold]] [[gnu::noinline]] void rndGenBadSize();
[[gnu::cold]] [[gnu::noinline]] void rndGenNegative();

// Row a of the poolSize-level table is consumed from place 1 on: the draw at cursor k swaps a
// random entry of places k..poolSize into place k and returns it, so poolSize draws in a row return
// every quantile once (the first draw of the next block resets the cursor and goes over the
// permuted row again). Any poolSize other than 1000, midLevels or 10 draws nothing and gives 0.
inline float rndGen(int a, int poolSize)
{
    float* row;
    int32_t* cursor;
    if (poolSize == 1000) {
        row = samplePool1000[a];
        cursor = &poolCursor1000[a];
    } else if (poolSize == midLevels) {
        row = samplePoolMid[a];
        cursor = &poolCursorMid[a];
    } else if (poolSize == 10) {
        row = samplePool10[a];
        cursor = &poolCursor10[a];
    } else {
        rndGenBadSize();
        return 0.0f;
    }
    if (*cursor > poolSize) *cursor = 1;
    const int k = *cursor;
    const float u = randFraction();
    // Partner place in k..poolSize: (poolSize - k) * u + k summed in float (two statements, so no
    // compiler may fuse them), 0.5 added in double, then truncated. The end places k and poolSize
    // get half the chance of an inner place.
    const float scaled = static_cast<float>(poolSize - k) * u;
    const float sum = scaled + static_cast<float>(k);
    const int r = static_cast<int>(static_cast<double>(sum) + 0.5);
    const float drawn = row[r];
    row[r] = row[k];
    row[k] = drawn;
    *cursor = k + 1;
    // A negative zero (the exponential rule at d = 0) is not below 0.
    if (drawn < 0.0f) rndGenNegative();
    return drawn;
}
