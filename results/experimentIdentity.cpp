// The identity of an experiment, its share of the file names and the comparisons of identities
// that decide whether files may be resumed, merged or kept side by side.
#include "results/experimentIdentity.h"

#include <cstdio>

bool wholeSet(const RunIdentity& id)
{
    if (id.fileRun) return true;
    return id.groups == (id.dataset == "J120" ? "1-60" : "1-48");
}

std::string runNameSuffix(const RunIdentity& id)
{
    std::string suffix;
    if (!wholeSet(id)) suffix += "-g" + id.groups;
    if (id.runSeed == "single") suffix += "-single";
    else if (id.runSeed != "1") suffix += "-seed" + id.runSeed;
    return suffix;
}

std::string describeRun(const RunIdentity& id)
{
    std::string text = id.dataset + " " + id.distribution + " " + id.method + " " + id.config + ", " +
                       (id.fileRun ? id.groups + " files" : "groups " + id.groups) + ", " +
                       (id.runSeed == "single" ? std::string("single stream") : "seed " + id.runSeed);
    return text + ", version " + id.version;
}

bool sameRun(const RunIdentity& a, const RunIdentity& b)
{
    return a.dataset == b.dataset && a.distribution == b.distribution && a.method == b.method &&
           a.config == b.config && a.runSeed == b.runSeed && a.groups == b.groups && a.version == b.version &&
           a.fileRun == b.fileRun;
}

bool policyFitsRow(const PolicyRecord& r, const RunIdentity& id, const ResultRow& row, std::string& fault)
{
    auto differs = [&fault](const std::string& key, const std::string& line, const std::string& wanted) {
        fault = "\"" + key + "\" is " + line + ", but its results row says " + wanted;
        return false;
    };
    if (r.dataset != id.dataset) return differs("dataset", r.dataset, id.dataset);
    if (r.distribution != id.distribution) return differs("distribution", r.distribution, id.distribution);
    if (r.method != id.method) return differs("method", r.method, id.method);
    if (std::to_string(r.config) != id.config) return differs("config", std::to_string(r.config), id.config);
    if (r.streamSeed != row.streamSeed)
        return differs("stream_seed", std::to_string(r.streamSeed), std::to_string(row.streamSeed));
    if (r.stem != row.stem) return differs("stem", "\"" + r.stem + "\"", "\"" + row.stem + "\"");
    if (row.stem.empty() && (r.group != row.group || r.instance != row.instance))
        return differs("group\" and \"instance", std::to_string(r.group) + " " + std::to_string(r.instance),
                       std::to_string(row.group) + " " + std::to_string(row.instance));
    return true;
}

std::string evalNameSuffix(long runs, uint32_t seed)
{
    std::string suffix;
    if (runs != 10000) suffix += "-runs" + std::to_string(runs);
    if (seed != 1) suffix += "-seed" + std::to_string(seed);
    return suffix;
}

std::string describeEval(const EvalIdentity& id)
{
    return "policies of " + id.dataset + " " + id.distribution + " " + id.method + " " + id.config + " (run seed " +
           (id.runSeed.empty() ? std::string("unknown") : id.runSeed) + ") under " + id.evalDistribution + ", " +
           std::to_string(id.runs) + " runs, seed " + std::to_string(id.evalSeed) + ", version " + id.version;
}

bool sameEval(const EvalIdentity& a, const EvalIdentity& b)
{
    return a.dataset == b.dataset && a.distribution == b.distribution && a.method == b.method &&
           a.config == b.config && a.runSeed == b.runSeed && a.runVersion == b.runVersion &&
           a.evalDistribution == b.evalDistribution && a.runs == b.runs && a.evalSeed == b.evalSeed &&
           a.version == b.version;
}
