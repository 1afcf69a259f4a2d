// Reading back the samples .part of an interrupted evaluation: every line checked key by key, so a
// damaged line is refused with file, line and key instead of ending the program.
#include "evaluate/samplesFile.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "results/policyRecord.h"
#include "results/runNames.h"
#include "project/inputFile.h"

using Json = nlohmann::json;

namespace {

std::string shown(const Json& x)
{
    std::string text = x.dump();
    return text.size() > 40 ? text.substr(0, 40) + "..." : text;
}

bool missing(const Json& j, const char* key, std::string& fault)
{
    if (j.contains(key)) return false;
    fault = std::string("\"") + key + "\" is missing";
    return true;
}

bool whole(const Json& j, const char* key, int64_t low, int64_t high, int64_t& value, std::string& fault)
{
    if (missing(j, key, fault)) return false;
    const Json& x = j[key];
    bool ok = x.is_number_unsigned() ? x.get<uint64_t>() <= static_cast<uint64_t>(high)
                                     : x.is_number_integer() && x.get<int64_t>() <= high;
    if (ok) value = x.is_number_unsigned() ? static_cast<int64_t>(x.get<uint64_t>()) : x.get<int64_t>();
    if (ok && value >= low) return true;
    fault = std::string("\"") + key + "\" is " + shown(x) + ", not a whole number " + std::to_string(low) + ".." +
            std::to_string(high);
    return false;
}

bool text(const Json& j, const char* key, std::initializer_list<const char*> names, std::string& value,
          std::string& fault)
{
    if (missing(j, key, fault)) return false;
    const Json& x = j[key];
    if (x.is_string()) {
        value = x.get<std::string>();
        if (names.size() == 0) {
            if (!value.empty()) return true;
        } else {
            for (const char* name : names)
                if (value == name) return true;
        }
    }
    fault = std::string("\"") + key + "\" is " + shown(x) + (names.size() == 0 ? ", not a name" : ", not a known name");
    return false;
}

bool finite(const Json& j, const char* key, std::string& fault)
{
    if (missing(j, key, fault)) return false;
    if (j[key].is_number() && std::isfinite(j[key].get<double>())) return true;
    fault = std::string("\"") + key + "\" is " + shown(j[key]) + ", not a finite number";
    return false;
}

}  // namespace

bool parseSamplesLine(const std::string& line, const std::map<std::string, int>& outputNames, SamplesPlace& p,
                      bool& known, std::string& fault)
{
    known = false;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
        fault = "no results file name before a tab";
        return false;
    }
    auto name = outputNames.find(line.substr(0, tab));
    if (name == outputNames.end()) return true;
    Json j;
    try {
        j = Json::parse(line.begin() + static_cast<long>(tab) + 1, line.end());
    } catch (const Json::exception&) {
        fault = "not a valid JSON line";
        return false;
    }
    if (!j.is_object()) {
        fault = "not a JSON object";
        return false;
    }
    std::string dataset, label;
    int64_t config, group = 0, instance = 0, seed, runs;
    // A single policy's line (rule AB, RB or RBA): its method's own label, distribution and config null.
    auto policy = j.find("policy");
    const bool single = policy != j.end() && policy->is_string() &&
                        (*policy == "AB" || *policy == "RB" || *policy == "RBA");
    auto isNull = [&j, single](const char* key) { return single && j.contains(key) && j[key].is_null(); };
    bool ok = text(j, "dataset", {}, dataset, fault) &&
              (validRunName(dataset) || dataset == "J30" || dataset == "J60" || dataset == "J90" ||
               dataset == "J120" || (fault = "\"dataset\" is " + shown(j["dataset"]) + ", not a data set", false)) &&
              (isNull("distribution") || text(j, "distribution", {"U1", "B1", "U2", "B2", "EXP"}, label, fault)) &&
              text(j, "eval_distribution", {}, label, fault) &&
              (single ? text(j, "method", {}, label, fault) &&
                            (validMethodLabel(label) ||
                             (fault = "\"method\" is " + shown(j["method"]) + ", not a method label", false))
                      : text(j, "method", {"HV", "LV"}, label, fault)) &&
              (isNull("config") || whole(j, "config", 1, 1000000000, config, fault));
    if (ok && j.contains("stem")) {
        std::string file;
        ok = text(j, "file", {}, file, fault) && text(j, "stem", {}, p.stem, fault);
    } else if (ok) {
        ok = whole(j, "group", 1, 60, group, fault) && whole(j, "instance", 1, 10, instance, fault);
    }
    ok = ok && text(j, "policy", {"ph1", "ph2", "AB", "RB", "RBA"}, p.policy, fault) &&
         whole(j, "eval_seed", 0, 4294967295LL, seed, fault) && whole(j, "runs", 2, 100000000, runs, fault) &&
         finite(j, "lower_bound", fault) && finite(j, "path_bound", fault) && finite(j, "mean", fault) && !missing(j, "makespans", fault);
    if (!ok) return false;
    const Json& makespans = j["makespans"];
    if (!makespans.is_array() || static_cast<int64_t>(makespans.size()) != runs) {
        fault = "\"makespans\" is not an array of " + std::to_string(runs) + " numbers";
        return false;
    }
    for (const Json& x : makespans)
        if (!x.is_number() || !std::isfinite(x.get<double>())) {
            fault = "\"makespans\" holds " + shown(x) + ", not a finite number";
            return false;
        }
    p.output = name->second;
    p.group = static_cast<int>(group);
    p.instance = static_cast<int>(instance);
    p.evalSeed = static_cast<uint32_t>(seed);
    p.runs = static_cast<long>(runs);
    known = true;
    return true;
}

bool indexSamplesText(const std::string& text, const std::string& path, const std::map<std::string, int>& outputNames,
                      std::vector<SamplesPlace>& places, std::string& error)
{
    int lineNo = 0;
    for (std::size_t at = 0, eol; (eol = text.find('\n', at)) != std::string::npos; at = eol + 1) {
        ++lineNo;
        SamplesPlace p;
        bool known = false;
        std::string fault;
        if (!parseSamplesLine(text.substr(at, eol - at), outputNames, p, known, fault)) {
            error = path + ": line " + std::to_string(lineNo) + ": " + fault;
            return false;
        }
        if (!known) continue;
        p.offset = static_cast<long>(at);
        p.length = static_cast<long>(eol - at + 1);
        places.push_back(p);
    }
    return true;
}

bool indexSamples(const std::string& path, const std::map<std::string, int>& outputNames,
                  std::vector<SamplesPlace>& places, std::string& error)
{
    std::string text;
    return readInputFile(path, InputKind::regularOnly, text, error) &&
           indexSamplesText(text, path, outputNames, places, error);
}
