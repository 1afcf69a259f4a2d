// The console messages of the descriptive-sampling draw (the draw itself is inline in rndGen.h):
// a table size the program does not have, and a negative duration.
#include <cstdio>

#include "durations/durations.h"

void rndGenBadSize()
{
    std::fputs("Error! rndGen", stdout);
}

void rndGenNegative()
{
    std::fputs("ERROR! rn < 0 --- rndGen\n", stdout);
}
