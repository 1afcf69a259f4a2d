// Stream keys: one formula per kind of instance, shared by the search (batch runs) and the
// evaluation, which draws from another generator, so no evaluation draw is one of the search's.
#include "results/streamKeys.h"

uint64_t mix64(uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t stemHash(const std::string& stem)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : stem) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

uint64_t scenarioKey(int dataset, int group, int instance, int dist, uint32_t seed)
{
    return (uint64_t{seed} << 32) ^ (uint64_t(dataset) << 24) ^ (uint64_t(dist) << 16) ^ (uint64_t(group) << 8) ^
           uint64_t(instance);
}

uint64_t fileScenarioKey(const std::string& stem, int dist, uint32_t seed)
{
    // seed << 8 ^ dist is one-to-one (dist < 256); the hash is mixed first so that stems differing
    // in one byte do not give keys differing in a few bits.
    return mix64(mix64(stemHash(stem)) ^ (uint64_t{seed} << 8) ^ uint64_t(dist));
}

uint32_t instanceSeed(uint32_t seed, int dataset, int dist, int group, int instance)
{
    return static_cast<uint32_t>(mix64(scenarioKey(dataset, group, instance, dist, seed)));
}

uint32_t fileSeed(uint32_t seed, int dist, const std::string& stem)
{
    return static_cast<uint32_t>(fileScenarioKey(stem, dist, seed));
}
