// The samples file of `tarvo evaluate --samples` while it is written (FILE.part): each line the
// name of its results file, a tab, and the JSON line of one policy's makespans; read back to resume.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where one samples line stands in the .part file and what it is the sample of.
struct SamplesPlace {
    int output = 0;                   // the index of its results file (outputNames' value)
    int group = 0, instance = 0;      // 0 for a file run's line, named by stem
    std::string stem, policy;         // policy "ph1" or "ph2"
    uint32_t evalSeed = 0;
    long runs = 0;
    long offset = 0, length = 0;      // bytes in the .part file, the line feed included
};

// Checks one line (without its line feed) and fills place (but for offset and length); false
// with fault naming the key that is wrong, e.g. "\"group\" is \"1\", not a whole number 1..60".
// A line of a results file not in outputNames is no fault: known is then false.
bool parseSamplesLine(const std::string& line, const std::map<std::string, int>& outputNames, SamplesPlace& place,
                      bool& known, std::string& fault);

// The lines of the outputs in outputNames in the samples .part at path, checked; the last line
// without its line feed was cut short by a stop and is left out. false with error naming the file,
// the line and the fault, or the reason when the path is a folder, pipe or device.
bool indexSamples(const std::string& path, const std::map<std::string, int>& outputNames,
                  std::vector<SamplesPlace>& places, std::string& error);
// The same for text already read; path only names the file in the messages.
bool indexSamplesText(const std::string& text, const std::string& path, const std::map<std::string, int>& outputNames,
                      std::vector<SamplesPlace>& places, std::string& error);
