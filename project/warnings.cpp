// Capacity warnings: printed as they come (the interactive program) or counted per instance in a
// few fixed slots (batch mode) and reported once each when the instance is done.
#include "project/warnings.h"

#include <cstdio>
#include <cstring>

namespace {

bool counted = false;

// Each kind of warning has its own text, and there are three kinds; a few more slots for safety.
struct Slot {
    char text[200];
    long count;
};
Slot slots[8];
int slotNum = 0;
long uncounted = 0;   // warnings beyond the slots, still told in the total

}  // namespace

void setWarningsCounted(bool on) { counted = on; }

void capacityWarning(const char* text)
{
    if (!counted) {
        std::fputs(text, stdout);
        return;
    }
    for (int k = 0; k < slotNum; ++k)
        if (std::strncmp(slots[k].text, text, sizeof slots[k].text - 1) == 0) {
            ++slots[k].count;
            return;
        }
    if (slotNum == static_cast<int>(sizeof slots / sizeof slots[0])) {
        ++uncounted;
        return;
    }
    std::snprintf(slots[slotNum].text, sizeof slots[slotNum].text, "%s", text);
    slots[slotNum].count = 1;
    ++slotNum;
}

void reportCountedWarnings(const char* instance)
{
    for (int k = 0; k < slotNum; ++k) {
        // The texts end with blanks and a line feed of their own.
        std::size_t n = std::strlen(slots[k].text);
        while (n > 0 && (slots[k].text[n - 1] == '\n' || slots[k].text[n - 1] == ' ')) --n;
        std::fprintf(stderr, "tarvo: warning, %s: %.*s (%ld %s)\n", instance, static_cast<int>(n), slots[k].text,
                     slots[k].count, slots[k].count == 1 ? "time" : "times");
    }
    if (uncounted > 0) std::fprintf(stderr, "tarvo: warning, %s: %ld other capacity warnings\n", instance, uncounted);
    slotNum = 0;
    uncounted = 0;
}
