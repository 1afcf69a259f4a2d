// libFuzzer target of the PSPLIB instance reader: any bytes as an instance file. A file the reader
// accepts must satisfy the invariant walker and carry the passes after it (critical path, construction, justification).
#include <cstddef>
#include <cstdint>

#include "acceptedProject.h"
#include "project/platform.h"
#include "project/reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A rejected file waits for a key; nobody presses one here.
    setKeyWaits(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    MemoryText text(data, size);
    if (readInstanceFrom(text, "fuzz.sm")) checkAcceptedProject();
    return 0;
}
