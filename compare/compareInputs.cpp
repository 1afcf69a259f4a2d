// The inputs of `tarvo compare`: policy files read and checked, the policy of each record chosen,
// and the instances all inputs hold.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "cli/exitCodes.h"
#include "cli/fileChecks.h"
#include "cli/flagStyle.h"
#include "compare/compare.h"
#include "config/labels.h"
#include "project/state.h"
#include "results/resultsCsv.h"

namespace comparison {

static bool readInput(const Options& o, const std::string& path, Input& in, std::map<std::string, int>& labels)
{
    in.path = path;
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (name.size() <= 6 || name.compare(name.size() - 6, 6, ".jsonl") != 0)
        return refuse("tarvo compare", path + ": not a policy file (.jsonl)");
    // Inputs are named by their file's base name; the same name again gets "-2", "-3", ...
    in.label = name.substr(0, name.size() - 6);
    if (int seen = labels[in.label]++) in.label += "-" + std::to_string(seen + 1);
    // The label is a field of the CSV outputs, which never quote.
    for (char c : in.label)
        if (c == ',' || c == '"' || static_cast<unsigned char>(c) < ' ')
            return refuse("tarvo compare", path + ": its name cannot label a CSV field (a comma, quote or control "
                                                  "character): rename the file");
    std::string error;
    if (!readPolicyFile(path, in.records, error, InputKind::regularOrStream)) return refuse("tarvo compare", error);
    if (in.records.empty()) return refuse("tarvo compare", path + ": holds no policy record");
    uint8_t list[actDim];
    std::set<std::string> stems;
    for (const PolicyRecord& r : in.records) {
        const std::string where = path + ": line " + std::to_string(r.lineNo) + ": ";
        const PolicyRecord& first = in.records.front();
        if (r.dataset != first.dataset || r.distribution != first.distribution || r.method != first.method ||
            r.config != first.config)
            return refuse("tarvo compare", where + "belongs to another run than line " + std::to_string(first.lineNo));
        if (!stems.insert(instanceStem(r)).second)
            return refuse("tarvo compare", where + "instance " + instanceStem(r) + " was given before");
        if (!loadPolicy(r, o.instances, path, list, error)) return refuse("tarvo compare", error);
        if (!(earlyFinish[actNum] > 0))
            return refuse("tarvo compare", where + "instance " + instanceStem(r) + " has the lower bound 0");
    }
    // The batch run's own estimates decide the reported policy: Phase 2 unless its estimate was
    // above Phase 1's, as the batch report counts the smaller gap.
    std::vector<double> in1(in.records.size(), NAN), in2(in.records.size(), NAN);
    const std::string csvPath = path.substr(0, path.size() - 6) + ".csv";
    const bool haveCsv = fileExists(csvPath);
    const bool methodRecords = isMethodRecord(in.records.front());
    if (o.policy == "reported" && !haveCsv && !methodRecords)
        std::fprintf(stderr, "tarvo compare: %s not found: Phase 2 taken for every record of %s\n", csvPath.c_str(),
                     path.c_str());
    if (o.policy == "reported" && haveCsv && !methodRecords) {
        RunIdentity id;
        std::vector<ResultRow> rows;
        if (!readCsv(csvPath, id, rows, error)) return refuse("tarvo compare", error);
        const PolicyRecord& first = in.records.front();
        if (!rows.empty() && (id.dataset != first.dataset || id.distribution != first.distribution ||
                              id.method != first.method || id.config != std::to_string(first.config) ||
                              id.fileRun != !first.stem.empty()))
            return refuse("tarvo compare", csvPath + " belongs to another run than " + path);
        for (std::size_t k = 0; k < in.records.size(); ++k)
            for (const ResultRow& row : rows) {
                const PolicyRecord& r = in.records[k];
                bool same = r.stem.empty() ? row.stem.empty() && row.group == r.group && row.instance == r.instance
                                           : row.stem == r.stem;
                if (same) {
                    in1[k] = static_cast<float>(row.ph1Makespan);
                    in2[k] = static_cast<float>(row.ph2Makespan);
                }
            }
    }
    for (std::size_t k = 0; k < in.records.size(); ++k) {
        const PolicyRecord& r = in.records[k];
        const PolicyRule phase1 = phase1RuleOf(r);
        // A record of another method names its own rule.
        if (isMethodRecord(r)) in.rules.push_back(phase1);
        else if (o.policy == "ph1") in.rules.push_back(phase1);
        else if (o.policy == "ph2") in.rules.push_back(PolicyRule::withArcs);
        else in.rules.push_back(in2[k] > in1[k] ? phase1 : PolicyRule::withArcs);
    }
    return true;
}

int planComparison(const Options& o, std::vector<Input>& inputs, std::vector<Instance>& instances,
                   std::vector<int>& dists)
{
    std::map<std::string, int> labels;
    if (o.baseline == "lft") {
        Input lft;
        lft.label = "LFT-RB";
        lft.lft = true;
        labels[lft.label] = 1;
        inputs.push_back(lft);
    }
    for (const std::string& f : o.files) {
        inputs.emplace_back();
        if (!readInput(o, f, inputs.back(), labels)) return exitUsage;
    }
    if (inputs.size() > static_cast<std::size_t>(maxPolicies)) {
        refuse("tarvo compare", "more than " + std::to_string(maxPolicies) + " policies to compare");
        return exitUsage;
    }
    if (inputs.size() < 2) {
        refuse("tarvo compare", "fewer than two policies to compare: give two inputs, or one with --baseline lft");
        return exitUsage;
    }
    const std::size_t firstFile = o.baseline == "lft" ? 1 : 0;
    const PolicyRecord& ref = inputs[firstFile].records.front();
    // The distribution the policies were made for: the same in every input that names one (a
    // method's records may name none).
    std::size_t named = inputs.size();
    for (std::size_t p = firstFile; p < inputs.size(); ++p)
        if (named == inputs.size() && !inputs[p].records.front().distribution.empty()) named = p;
    for (std::size_t p = firstFile + 1; p < inputs.size(); ++p) {
        const PolicyRecord& r = inputs[p].records.front();
        if (r.stem.empty() != ref.stem.empty() || r.dataset != ref.dataset) {
            refuse("tarvo compare", inputs[p].path + " holds " + r.dataset + (r.stem.empty() ? "" : " (a file run)") +
                                        ", " + inputs[firstFile].path + " " + ref.dataset +
                                        (ref.stem.empty() ? "" : " (a file run)") + ": different data sets");
            return exitUsage;
        }
    }
    for (std::size_t p = named + 1; p < inputs.size(); ++p) {
        const std::string& d = inputs[p].records.front().distribution;
        const std::string& madeFor = inputs[named].records.front().distribution;
        if (!d.empty() && d != madeFor) {
            refuse("tarvo compare", inputs[p].path + " was made for " + d + ", " + inputs[named].path + " for " +
                                        madeFor + ": the distribution differs between inputs");
            return exitUsage;
        }
    }
    // The instances of the first file held by every input, in its order.
    std::map<std::string, int> count;
    for (std::size_t p = firstFile; p < inputs.size(); ++p)
        for (const PolicyRecord& r : inputs[p].records) ++count[instanceStem(r)];
    const int files = static_cast<int>(inputs.size() - firstFile);
    std::string missing;
    for (const auto& c : count)
        if (c.second != files) missing += " " + c.first;
    if (!missing.empty()) std::fprintf(stderr, "tarvo compare: not in every input, left out:%s\n", missing.c_str());
    for (const PolicyRecord& r : inputs[firstFile].records) {
        if (count[instanceStem(r)] != files) continue;
        Instance inst;
        inst.stem = instanceStem(r);
        inst.group = r.group;
        inst.instance = r.instance;
        for (const Input& in : inputs) {
            const PolicyRecord* found = nullptr;
            for (const PolicyRecord& q : in.records)
                if (instanceStem(q) == inst.stem) found = &q;
            inst.records.push_back(found);
        }
        instances.push_back(inst);
    }
    if (instances.empty()) {
        refuse("tarvo compare", "the inputs have no instance in common");
        return exitUsage;
    }
    // --dist: searched (the inputs' own), all, or a list.
    dists.clear();
    const int searched =
        named == inputs.size() ? 0 : labelIndex(inputs[named].records.front().distribution, distLabels, distCount);
    std::string text = upperCase(o.dist) + ",";
    if (text == "SEARCHED," && searched == 0) {
        refuse("tarvo compare", "no input names the distribution its policies were made for: give --dist");
        return exitUsage;
    }
    if (text == "SEARCHED,") dists.push_back(searched);
    else if (text == "ALL,") for (int d = 1; d <= 5; ++d) dists.push_back(d);
    else
        for (std::size_t at = 0, comma; (comma = text.find(',', at)) != std::string::npos; at = comma + 1) {
            int d = labelIndex(text.substr(at, comma - at), distLabels, distCount);
            if (d == 0) {
                refuse("tarvo compare", "--dist: \"" + o.dist + "\" is not searched, all or a list of U1,B1,U2,B2,EXP");
                return exitUsage;
            }
            if (std::find(dists.begin(), dists.end(), d) == dists.end()) dists.push_back(d);
        }
    return exitClean;
}

}  // namespace comparison
