// Test helpers: scratch folders, instance loading and directly built projects (see testSupport.h).
#include "support/testSupport.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "project/platform.h"
#include "project/reader.h"
#include "project/state.h"

// Scratch folders of this test process, removed when it exits (each test runs in its own process).
static std::vector<std::string> scratchDirs;

static void removeScratchDirs()
{
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    for (const std::string& dir : scratchDirs) std::filesystem::remove_all(dir, ignored);
}

std::string enterScratchDir()
{
    if (scratchDirs.empty()) std::atexit(removeScratchDirs);
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarvo-test.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) ADD_FAILURE() << "cannot create a scratch folder";
    std::string dir(buf.data());
    scratchDirs.push_back(dir);
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
    return dir;
}

bool loadBenchmark(int dataset, int group, int inst)
{
    enterScratchDir();
    if (symlink(TARVO_PSPLIB_DIR, "Instances") != 0) ADD_FAILURE() << "cannot link Instances";
    datasetType = dataset;
    paramNum = group;
    instNum = inst;
    return readInstance();
}

bool loadBenchmark(const std::string& stem)
{
    // stem: j<30|60|90|120><group>_<inst>
    int set = 0;
    std::size_t pos = 0;
    static const char* prefixes[] = {"", "j30", "j60", "j90", "j120"};
    for (int d = 4; d >= 1; --d) {
        std::string pre = prefixes[d];
        if (stem.compare(0, pre.size(), pre) == 0) {
            set = d;
            pos = pre.size();
            break;
        }
    }
    std::size_t us = stem.find('_', pos);
    if (set == 0 || us == std::string::npos) {
        ADD_FAILURE() << "bad stem " << stem;
        return false;
    }
    return loadBenchmark(set, std::stoi(stem.substr(pos, us - pos)), std::stoi(stem.substr(us + 1)));
}

bool loadInstanceText(const std::string& text)
{
    enterScratchDir();
    if (mkdir("Instances", 0777) != 0) ADD_FAILURE() << "cannot create Instances";
    {
        std::ofstream out("Instances/j301_1.sm", std::ios::binary);
        out << text;
    }
    datasetType = 1;
    paramNum = 1;
    instNum = 1;
    return readInstance();
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::set<std::string> brokenFilesIn(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strncmp(e->d_name, "bad-", 4) == 0) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

void setProject(const TestProject& p)
{
    int n = static_cast<int>(p.dur.size()) - 1;
    int k = static_cast<int>(p.cap.size()) - 1;
    if (k < 0) k = 0;
    actNum = static_cast<uint8_t>(n);
    resNum = static_cast<uint8_t>(k);
    for (int b = 0; b < 64; ++b) bitMask[b] = uint64_t{1} << b;
    for (int i = 0; i <= n; ++i) {
        succNum[i] = 0;
        predNum[i] = 0;
        setClear(succSet[i]);
        setClear(predSet[i]);
    }
    for (int i = 1; i <= n; ++i) {
        dur[i] = static_cast<uint16_t>(p.dur[i]);
        for (int r = 1; r <= k; ++r)
            resReq[i][r] = static_cast<uint8_t>(p.req.empty() ? 0 : p.req[i][r]);
    }
    for (int r = 1; r <= k; ++r) resCap[r] = static_cast<uint8_t>(p.cap[r]);
    for (auto [i, j] : p.arcs) succList[i][++succNum[i]] = static_cast<uint8_t>(j);
    // Predecessor lists ascending, as the reader leaves them.
    for (int i = 1; i <= n; ++i)
        for (int s = 1; s <= succNum[i]; ++s) {
            int j = succList[i][s];
            predList[j][++predNum[j]] = static_cast<uint8_t>(i);
        }
    // Transitive closure by depth-first search from every activity.
    for (int i = 1; i <= n; ++i) {
        std::vector<int> stack{i};
        std::vector<bool> seen(n + 1, false);
        while (!stack.empty()) {
            int a = stack.back();
            stack.pop_back();
            for (int s = 1; s <= succNum[a]; ++s) {
                int j = succList[a][s];
                if (!seen[j]) {
                    seen[j] = true;
                    setAdd(succSet[i], j);
                    setAdd(predSet[j], i);
                    stack.push_back(j);
                }
            }
        }
    }
}

std::string psplibText(const TestProject& p)
{
    int n = static_cast<int>(p.dur.size()) - 1;
    int k = static_cast<int>(p.cap.size()) - 1;
    if (k < 0) k = 0;
    std::ostringstream t;
    t << "************************************************************************\n"
      << "file with basedata            : test.bas\n"
      << "initial value random generator: 1\n"
      << "************************************************************************\n"
      << "projects                      :  1\n"
      << "jobs (incl. supersource/sink ):  " << n << "\n"
      << "horizon                       :  100\n"
      << "RESOURCES\n"
      << "  - renewable                 :  " << k << "   R\n"
      << "  - nonrenewable              :  0   N\n"
      << "  - doubly constrained        :  0   D\n"
      << "************************************************************************\n"
      << "PRECEDENCE RELATIONS:\n"
      << "jobnr.    #modes  #successors   successors\n";
    for (int i = 1; i <= n; ++i) {
        std::vector<int> succ;
        for (auto [a, b] : p.arcs)
            if (a == i) succ.push_back(b);
        t << "   " << i << "        1          " << succ.size();
        for (int s : succ) t << "   " << s;
        t << "\n";
    }
    t << "************************************************************************\n"
      << "REQUESTS/DURATIONS:\n"
      << "jobnr. mode duration";
    for (int r = 1; r <= k; ++r) t << "  R " << r;
    t << "\n------------------------------------------------------------------------\n";
    for (int i = 1; i <= n; ++i) {
        t << "  " << i << "      1     " << p.dur[i];
        for (int r = 1; r <= k; ++r) t << "    " << (p.req.empty() ? 0 : p.req[i][r]);
        t << "\n";
    }
    t << "************************************************************************\n"
      << "RESOURCEAVAILABILITIES:\n";
    for (int r = 1; r <= k; ++r) t << "  R " << r;
    t << "\n";
    for (int r = 1; r <= k; ++r) t << "   " << p.cap[r];
    t << "\n************************************************************************\n";
    return t.str();
}

std::vector<uint8_t> makeList(const std::vector<int>& order)
{
    std::vector<uint8_t> list(maxAct + 1, 0);
    for (std::size_t i = 0; i < order.size(); ++i) list[i + 1] = static_cast<uint8_t>(order[i]);
    return list;
}

bool isFeasibleList(const uint8_t* list, int n)
{
    ActSet placed;
    setClear(placed);
    for (int p = 1; p <= n; ++p) {
        int a = list[p];
        if (a < 1 || a > n || setHas(placed, a)) return false;
        if (!setSubset(predSet[a], placed)) return false;
        setAdd(placed, a);
    }
    return true;
}

std::vector<uint8_t> randomFeasibleList(uint32_t seed)
{
    int n = actNum;
    std::vector<uint8_t> list(n + 1, 0);
    ActSet placed;
    setClear(placed);
    uint32_t s = seed;
    for (int p = 1; p <= n; ++p) {
        std::vector<int> ready;
        for (int a = 1; a <= n; ++a)
            if (!setHas(placed, a) && setSubset(predSet[a], placed) && (a != n || p == n)) ready.push_back(a);
        s = s * 1664525u + 1013904223u;
        int a = ready[(s >> 8) % ready.size()];
        list[p] = static_cast<uint8_t>(a);
        setAdd(placed, a);
    }
    return list;
}

void setBestList(const std::vector<uint8_t>& list)
{
    static uint8_t store[actDim];
    for (std::size_t p = 0; p < list.size() && p < actDim; ++p) store[p] = list[p];
    bestList = store;
}

bool allExtraSetsEmpty()
{
    for (int a = 1; a <= actNum; ++a)
        if (!setEmpty(extraFinPred[a]) || !setEmpty(extraStartPred[a])) return false;
    return true;
}

uint32_t stateAfterDraws(uint32_t state, long count)
{
    uint32_t saved = getRandState();
    setRandState(state);
    for (long i = 0; i < count; ++i) nextRand();
    uint32_t after = getRandState();
    setRandState(saved);
    return after;
}

// A random project: activities 2..n-1 numbered without regard to precedence, one to three
// predecessors each, durations 1..10 (0 now and then with zeros), K resources with requirements
// within capacity. Every activity but n has a successor, every one but 1 a predecessor.
TestProject randomProject(std::mt19937& rng, int n, int k, bool zeros, int capMax)
{
    TestProject p;
    std::vector<int> topo;
    for (int a = 2; a <= n - 1; ++a) topo.push_back(a);
    std::shuffle(topo.begin(), topo.end(), rng);
    std::set<std::pair<int, int>> arcs;
    std::vector<bool> hasSucc(n + 1, false);
    for (std::size_t i = 0; i < topo.size(); ++i)
        for (int c = 1 + static_cast<int>(rng() % 3); c > 0; --c) {
            std::size_t j = rng() % (i + 1);
            int from = j == i ? 1 : topo[j];
            arcs.insert({from, topo[i]});
            hasSucc[from] = true;
        }
    for (int a = 1; a <= n - 1; ++a)
        if (!hasSucc[a]) arcs.insert({a, n});
    p.arcs.assign(arcs.begin(), arcs.end());
    std::shuffle(p.arcs.begin(), p.arcs.end(), rng);
    p.dur.assign(n + 1, 0);
    for (int a = 2; a <= n - 1; ++a) p.dur[a] = zeros && rng() % 5 == 0 ? 0 : 1 + static_cast<int>(rng() % 10);
    p.cap.assign(k + 1, 0);
    for (int r = 1; r <= k; ++r) p.cap[r] = 1 + static_cast<int>(rng() % capMax);
    p.req.assign(n + 1, std::vector<int>(k + 1, 0));
    for (int a = 2; a <= n - 1; ++a)
        for (int r = 1; r <= k; ++r) p.req[a][r] = static_cast<int>(rng() % (p.cap[r] + 1));
    return p;
}
