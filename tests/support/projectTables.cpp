// Snapshots of the project tables, their comparison, and the Patterson writer of the loaded project
// (see projectTables.h).
#include "support/projectTables.h"

#include <cstring>
#include <sstream>

Tables snapshot()
{
    Tables t;
    std::memset(&t, 0, sizeof t);
    std::memcpy(t.mask, bitMask, sizeof bitMask);
    t.n = actNum;
    t.k = resNum;
    std::memcpy(t.d, dur, sizeof dur);
    std::memcpy(t.req, resReq, sizeof resReq);
    std::memcpy(t.cap, resCap, sizeof resCap);
    std::memcpy(t.sNum, succNum, sizeof succNum);
    std::memcpy(t.sList, succList, sizeof succList);
    std::memcpy(t.pNum, predNum, sizeof predNum);
    std::memcpy(t.pList, predList, sizeof predList);
    std::memcpy(t.sSet, succSet, sizeof succSet);
    std::memcpy(t.pSet, predSet, sizeof predSet);
    return t;
}

bool sameTables(const Tables& a, const Tables& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameProject(const Tables& a, const Tables& b)
{
    if (std::memcmp(a.mask, b.mask, sizeof a.mask) != 0 || a.n != b.n || a.k != b.k) return false;
    for (int r = 1; r <= a.k; ++r)
        if (a.cap[r] != b.cap[r]) return false;
    for (int i = 1; i <= a.n; ++i) {
        if (a.d[i] != b.d[i] || a.sNum[i] != b.sNum[i] || a.pNum[i] != b.pNum[i]) return false;
        if (!setEqual(a.sSet[i], b.sSet[i]) || !setEqual(a.pSet[i], b.pSet[i])) return false;
        for (int r = 1; r <= a.k; ++r)
            if (a.req[i][r] != b.req[i][r]) return false;
        for (int s = 1; s <= a.sNum[i]; ++s)
            if (a.sList[i][s] != b.sList[i][s]) return false;
        for (int s = 1; s <= a.pNum[i]; ++s)
            if (a.pList[i][s] != b.pList[i][s]) return false;
    }
    return true;
}

void scrambleProjectTables()
{
    std::memset(bitMask, 0x5a, sizeof bitMask);
    actNum = 99;
    resNum = 3;
    std::memset(dur, 0x5a, sizeof dur);
    std::memset(resReq, 0x5a, sizeof resReq);
    std::memset(resCap, 0x5a, sizeof resCap);
    std::memset(succNum, 0x5a, sizeof succNum);
    std::memset(succList, 0x5a, sizeof succList);
    std::memset(predNum, 0x5a, sizeof predNum);
    std::memset(predList, 0x5a, sizeof predList);
    std::memset(succSet, 0x5a, sizeof succSet);
    std::memset(predSet, 0x5a, sizeof predSet);
}

std::string pattersonText()
{
    std::ostringstream t;
    t << int{actNum} << " " << int{resNum} << "\n";
    for (int r = 1; r <= resNum; ++r) t << (r > 1 ? " " : "") << int{resCap[r]};
    t << "\n";
    for (int i = 1; i <= actNum; ++i) {
        t << dur[i];
        for (int r = 1; r <= resNum; ++r) t << " " << int{resReq[i][r]};
        t << " " << int{succNum[i]};
        for (int s = 1; s <= succNum[i]; ++s) t << " " << int{succList[i][s]};
        t << "\n";
    }
    return t.str();
}

std::string wrapAtRandom(const std::string& text, std::mt19937& rng)
{
    static const char* const breaks[] = {"\n", "\n\n", "\r\n", " \n\t", "\n   "};
    std::string out;
    for (char c : text) {
        if ((c == ' ' || c == '\n') && rng() % 3 == 0)
            out += breaks[rng() % 5];
        else
            out += c;
    }
    return out;
}
