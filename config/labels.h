// The labels of the data sets, duration distributions and Phase 2 methods: the one source of the
// spellings in file names, results files, flags and the console. Entry 0 is unused, as in the
// shared state's label tables that are filled from here.
#pragma once

#include <string>

constexpr int datasetCount = 4;
constexpr int distCount = 5;
constexpr int methodCount = 2;

constexpr const char* datasetLabels[datasetCount + 1] = {"", "J30", "J60", "J90", "J120"};
constexpr const char* distLabels[distCount + 1] = {"", "U1", "B1", "U2", "B2", "EXP"};
constexpr const char* methodLabels[methodCount + 1] = {"", "HV", "LV"};
// The stems of the data sets' instance files, j<set><group>_<instance>.sm.
constexpr const char* datasetStems[datasetCount + 1] = {"", "j30", "j60", "j90", "j120"};

// The place 1..count of text among labels[1..count]; 0 when it is none of them.
inline int labelIndex(const std::string& text, const char* const* labels, int count)
{
    for (int k = 1; k <= count; ++k)
        if (text == labels[k]) return k;
    return 0;
}
