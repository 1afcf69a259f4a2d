// Keys of the random streams: what the search's stream of an instance and the evaluation's
// scenarios are derived from, so that a result depends on nothing but its instance and seeds.
#pragma once

#include <cstdint>
#include <string>

// SplitMix64's finaliser: every bit of z reaches every bit of the result.
uint64_t mix64(uint64_t z);
// The 64-bit FNV-1a hash of a file's stem.
uint64_t stemHash(const std::string& stem);
// The key of a PSPLIB instance: seed << 32 ^ data set << 24 ^ distribution << 16 ^ group << 8 ^ instance.
uint64_t scenarioKey(int dataset, int group, int instance, int dist, uint32_t seed);
// The key of a file run's project, by its stem, never its place, folder or layout:
// mix64(mix64(stemHash(stem)) ^ seed << 8 ^ distribution).
uint64_t fileScenarioKey(const std::string& stem, int dist, uint32_t seed);
// The search's stream state of an instance: its key mixed (PSPLIB) or as it is (a file's key is
// mixed already), cut to the generator's 32 bits.
uint32_t instanceSeed(uint32_t seed, int dataset, int dist, int group, int instance);
uint32_t fileSeed(uint32_t seed, int dist, const std::string& stem);
