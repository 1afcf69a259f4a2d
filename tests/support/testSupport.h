// Helpers shared by the test programs: scratch folders, loading benchmark or hand-written instance
// files, and small projects set up directly in the shared tables.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Creates a fresh empty folder under the system's temporary folder and makes it the working folder.
std::string enterScratchDir();

// Reads the benchmark instance <set><group>_<inst>.sm of ../shared/psplib (dataset 1..4) through
// readInstance, from a scratch folder whose Instances links to the benchmark folder.
bool loadBenchmark(int dataset, int group, int inst);
// Same, by file stem, e.g. "j301_1" or "j1201_1".
bool loadBenchmark(const std::string& stem);

// Writes text as Instances/j301_1.sm of a fresh scratch folder and reads it with readInstance.
bool loadInstanceText(const std::string& text);

// Contents of a file, or "" when it cannot be read.
std::string readFile(const std::string& path);
// Names of the files in folder whose names begin with "bad-" (the broken files of a corpus).
std::set<std::string> brokenFilesIn(const std::string& folder);

// A small project set straight into the project tables, without the reader: n activities with the
// given durations (index 1..n; entry 0 ignored), arcs (i, j), capacities (1..K) and requirements
// req[i][r] (i 1..n, r 1..K; empty for no resources). Transitive sets are computed independently.
struct TestProject {
    std::vector<int> dur;
    std::vector<std::pair<int, int>> arcs;
    std::vector<int> cap;
    std::vector<std::vector<int>> req;
};
void setProject(const TestProject& p);

// A random project: activities 2..n-1 numbered without regard to precedence, one to three
// predecessors each, durations 1..10 (0 now and then with zeros), K resources with requirements
// within capacity. Every activity but n has a successor, every one but 1 a predecessor.
TestProject randomProject(std::mt19937& rng, int n, int k, bool zeros, int capMax);

// Text of a PSPLIB single-mode file for a project given as above.
std::string psplibText(const TestProject& p);

// A list in the program's format (place 0 = 0) from the activities given in order.
std::vector<uint8_t> makeList(const std::vector<int>& order);

// A random topological order of the loaded project (place 0 = 0), from a seed of the test's own.
std::vector<uint8_t> randomFeasibleList(uint32_t seed);

// Makes a copy of list (place 0 = 0) the list Phase 1 hands to Phase 2.
void setBestList(const std::vector<uint8_t>& list);

// The random stream's state after count further draws from state (the stream itself is left as it was).
uint32_t stateAfterDraws(uint32_t state, long count);

// True when no extra arc is in force for activities 1..actNum.
bool allExtraSetsEmpty();

// True when list[1..n] holds every activity once and respects predSet.
bool isFeasibleList(const uint8_t* list, int n);

// The program's random stream written out again for the literal references of the tests: the ISO C
// example generator from a given state, counting the draws it makes.
struct LiteralStream {
    uint32_t state;
    long draws = 0;
    int draw()
    {
        state = state * 1103515245u + 12345u;
        ++draws;
        return static_cast<int>((state / 65536u) % 32768u);
    }
    // The draw as the fraction draw / 32767 in single precision.
    float fraction() { return static_cast<float>(draw()) / 32767.0f; }
};
