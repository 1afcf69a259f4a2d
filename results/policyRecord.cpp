// Policy records of the .jsonl files: the checked reader and the writer whose key order and
// spelling are the file format (see policyRecord.h).
#include "results/policyRecord.h"

#include "config/labels.h"
#include "project/inputFile.h"
#include "project/limits.h"
#include "results/runNames.h"

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

// The names a record may give, without the labels' unused entry 0.
static const char* const* datasetNames = datasetLabels + 1;
static const int datasetSizes[] = {30, 60, 90, 120};
static const char* const* distributionNames = distLabels + 1;
static const char* const* methodNames = methodLabels + 1;

// x as a whole number in [low, high] (JSON allows numbers beyond 64 bits; they fail here).
static bool wholeValue(const Json& x, int64_t low, int64_t high, int64_t& value)
{
    if (x.is_number_unsigned()) {
        uint64_t u = x.get<uint64_t>();
        if (u > static_cast<uint64_t>(high) || static_cast<int64_t>(u) < low) return false;
        value = static_cast<int64_t>(u);
        return true;
    }
    if (!x.is_number_integer()) return false;
    value = x.get<int64_t>();
    return value >= low && value <= high;
}

// The field named key as a whole number in [low, high]; fault says why not.
static bool wholeField(const Json& object, const char* key, int64_t low, int64_t high, int64_t& value,
                       std::string& fault)
{
    auto it = object.find(key);
    if (it == object.end()) {
        fault = std::string("\"") + key + "\" is missing";
        return false;
    }
    if (!wholeValue(*it, low, high, value)) {
        std::string shown = it->dump();
        if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
        fault = std::string("\"") + key + "\" is " + shown + ", not a whole number " + std::to_string(low) + ".." +
                std::to_string(high);
        return false;
    }
    return true;
}

// The field named key as one of the names given; fault says why not.
static bool nameField(const Json& object, const char* key, const char* const* names, int nameNum, std::string& value,
                      std::string& fault)
{
    auto it = object.find(key);
    if (it == object.end()) {
        fault = std::string("\"") + key + "\" is missing";
        return false;
    }
    if (it->is_string())
        for (int k = 0; k < nameNum; ++k)
            if (it->get_ref<const std::string&>() == names[k]) {
                value = names[k];
                return true;
            }
    std::string shown = it->dump();
    if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
    fault = std::string("\"") + key + "\" is " + shown + ", not a known name";
    return false;
}

// A permutation of 1..n with the dummy start first and the dummy end last.
static bool readList(const Json& object, int n, std::vector<int>& list, std::string& fault)
{
    auto it = object.find("list");
    if (it == object.end() || !it->is_array()) {
        fault = it == object.end() ? "\"list\" is missing" : "\"list\" is not an array";
        return false;
    }
    if (static_cast<int>(it->size()) != n) {
        fault = "\"list\" holds " + std::to_string(it->size()) + " activities, not " + std::to_string(n);
        return false;
    }
    list.assign(n + 1, 0);
    std::vector<bool> seen(n + 1, false);
    int place = 0;
    for (const Json& entry : *it) {
        ++place;
        int64_t act = 0;
        if (!wholeValue(entry, 1, n, act)) {
            fault = "\"list\" place " + std::to_string(place) + " is not an activity 1.." + std::to_string(n);
            return false;
        }
        if (seen[act]) {
            fault = "\"list\" holds activity " + std::to_string(act) + " twice";
            return false;
        }
        seen[act] = true;
        list[place] = static_cast<int>(act);
    }
    if (list[1] != 1 || list[n] != n) {
        fault = "\"list\" must start with activity 1 and end with activity " + std::to_string(n);
        return false;
    }
    return true;
}

// Triples [from, to, type] between activities 1..n, type 1 or 2.
static bool readArcs(const Json& object, int n, std::vector<PolicyArc>& arcs, std::string& fault)
{
    auto it = object.find("arcs");
    if (it == object.end() || !it->is_array()) {
        fault = it == object.end() ? "\"arcs\" is missing" : "\"arcs\" is not an array";
        return false;
    }
    arcs.clear();
    int k = 0;
    for (const Json& entry : *it) {
        ++k;
        std::string where = "\"arcs\" entry " + std::to_string(k);
        if (!entry.is_array() || entry.size() != 3) {
            fault = where + " is not [from, to, type]";
            return false;
        }
        int64_t v[3] = {};
        if (!wholeValue(entry[0], 1, n, v[0]) || !wholeValue(entry[1], 1, n, v[1]) || v[0] == v[1]) {
            fault = where + " does not join two activities 1.." + std::to_string(n);
            return false;
        }
        if (!wholeValue(entry[2], 1, 2, v[2])) {
            fault = where + " has type " + entry[2].dump().substr(0, 20) + ", not 1 or 2";
            return false;
        }
        arcs.push_back({static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])});
    }
    return true;
}

// The field named key as a string of 1..4096 characters without control characters.
static bool textField(const Json& object, const char* key, std::string& value, std::string& fault)
{
    auto it = object.find(key);
    if (it == object.end()) {
        fault = std::string("\"") + key + "\" is missing";
        return false;
    }
    bool ok = it->is_string() && !it->get_ref<const std::string&>().empty() &&
              it->get_ref<const std::string&>().size() <= 4096;
    if (ok)
        for (unsigned char c : it->get_ref<const std::string&>()) ok = ok && c >= 0x20 && c != 0x7f;
    if (!ok) {
        std::string shown = it->dump();
        if (shown.size() > 40) shown = shown.substr(0, 40) + "...";
        fault = std::string("\"") + key + "\" is " + shown + ", not a file name";
        return false;
    }
    value = it->get_ref<const std::string&>();
    return true;
}

// A file run's record: the run's name, the file and its stem instead of group and instance,
// and a list of any project size.
static bool parseFileRecord(const Json& j, PolicyRecord& r, std::string& fault)
{
    int64_t config, inst, seed;
    auto name = j.find("dataset");
    if (name == j.end() || !name->is_string() || !validRunName(name->get_ref<const std::string&>())) {
        fault = name == j.end() ? "\"dataset\" is missing" : "\"dataset\" is " + name->dump().substr(0, 40) +
                                                                 ", not a run name";
        return false;
    }
    r.dataset = name->get_ref<const std::string&>();
    if (!nameField(j, "distribution", distributionNames, 5, r.distribution, fault) ||
        !nameField(j, "method", methodNames, 2, r.method, fault) ||
        !wholeField(j, "config", 1, 1000000000, config, fault) || !textField(j, "file", r.file, fault) ||
        !textField(j, "stem", r.stem, fault) || !wholeField(j, "inst", 1, maxRunFiles, inst, fault) ||
        !wholeField(j, "stream_seed", 0, 4294967295LL, seed, fault))
        return false;
    auto list = j.find("list");
    int n = list != j.end() && list->is_array() ? static_cast<int>(list->size()) : 0;
    if (list != j.end() && list->is_array() && (n < 3 || n > maxAct)) {
        fault = "\"list\" holds " + std::to_string(n) + " activities, not 3.." + std::to_string(maxAct);
        return false;
    }
    if (!readList(j, n, r.list, fault) || !readArcs(j, n, r.arcs, fault)) return false;
    r.config = static_cast<int>(config);
    r.group = r.instance = 0;
    r.inst = static_cast<int>(inst);
    r.streamSeed = static_cast<uint32_t>(seed);
    return true;
}

bool validMethodLabel(const std::string& label)
{
    if (label.empty() || label.size() > 32) return false;
    for (char c : label)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.' || c == '+'))
            return false;
    return true;
}

// The keys a record of another method may hold; config, inst and stream_seed are a batch record's,
// allowed (and ignored) so that a batch line given a rule still reads.
static const char* const methodRecordKeys[] = {"dataset", "group", "instance", "file", "stem", "method", "rule",
                                               "distribution", "list", "arcs", "config", "inst", "stream_seed"};

static std::string shownValue(const Json& x)
{
    std::string shown = x.dump();
    return shown.size() > 40 ? shown.substr(0, 40) + "..." : shown;
}

// A record of another method: its method's label and rule in place of the batch run's identity,
// the distribution optional, the arcs optional (and refused where the rule would ignore them).
static bool parseMethodRecord(const Json& j, PolicyRecord& r, std::string& fault)
{
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (const char* key : methodRecordKeys) known = known || it.key() == key;
        if (!known) {
            fault = "\"" + it.key().substr(0, 40) + "\" is not a key of a policy record (a misspelt key?)";
            return false;
        }
    }
    const bool fileRecord = j.contains("file") || j.contains("stem");
    int n = 0;
    if (fileRecord) {
        auto name = j.find("dataset");
        if (name == j.end() || !name->is_string() || !validRunName(name->get_ref<const std::string&>())) {
            fault = name == j.end() ? "\"dataset\" is missing"
                                    : "\"dataset\" is " + shownValue(*name) + ", not a run name (1..64 letters, "
                                      "digits, _-.+, not a PSPLIB set's name with \"file\" and \"stem\")";
            return false;
        }
        r.dataset = name->get_ref<const std::string&>();
        if (j.contains("group") || j.contains("instance")) {
            fault = "\"group\" and \"instance\" stand with \"file\" and \"stem\": name the instance one way";
            return false;
        }
        if (!textField(j, "file", r.file, fault) || !textField(j, "stem", r.stem, fault)) return false;
        auto list = j.find("list");
        n = list != j.end() && list->is_array() ? static_cast<int>(list->size()) : 0;
        if (list != j.end() && list->is_array() && (n < 3 || n > maxAct)) {
            fault = "\"list\" holds " + std::to_string(n) + " activities, not 3.." + std::to_string(maxAct);
            return false;
        }
    } else {
        int64_t group, instance;
        if (!nameField(j, "dataset", datasetNames, 4, r.dataset, fault) ||
            !wholeField(j, "group", 1, 60, group, fault) || !wholeField(j, "instance", 1, 10, instance, fault))
            return false;
        int d = 0;
        while (r.dataset != datasetNames[d]) ++d;
        if (group > (d == 3 ? 60 : 48)) {
            fault = "\"group\" is " + std::to_string(group) + ", beyond the last group of " + r.dataset;
            return false;
        }
        r.group = static_cast<int>(group);
        r.instance = static_cast<int>(instance);
        r.inst = (r.group - 1) * 10 + r.instance;
        n = datasetSizes[d] + 2;
    }
    auto method = j.find("method");
    if (method == j.end() || !method->is_string() || !validMethodLabel(method->get_ref<const std::string&>())) {
        fault = method == j.end() ? "\"method\" is missing"
                                  : "\"method\" is " + shownValue(*method) + ", not a label of 1..32 letters, digits "
                                    "and _-.+";
        return false;
    }
    r.method = method->get_ref<const std::string&>();
    static const char* const ruleNames[] = {"AB", "RB", "RBA"};
    if (!nameField(j, "rule", ruleNames, 3, r.rule, fault)) {
        if (j.find("rule")->is_string()) fault += " (AB, RB or RBA)";
        return false;
    }
    if (j.contains("distribution") && !nameField(j, "distribution", distributionNames, 5, r.distribution, fault)) {
        fault += " (U1, B1, U2, B2 or EXP)";
        return false;
    }
    if (!readList(j, n, r.list, fault)) return false;
    r.arcs.clear();
    if (j.contains("arcs") && !readArcs(j, n, r.arcs, fault)) return false;
    // The rules AB and RB never look at arcs: a policy given with arcs would be evaluated without them.
    if (!r.arcs.empty() && r.rule != "RBA") {
        fault = "\"arcs\" holds " + std::to_string(r.arcs.size()) + " arcs, but rule \"" + r.rule +
                "\" runs the list without arcs (give rule \"RBA\", or leave the arcs out)";
        return false;
    }
    r.config = 0;
    r.streamSeed = 0;
    return true;
}

bool parsePolicyLine(const std::string& line, PolicyRecord& r, std::string& fault)
{
    Json j;
    try {
        j = Json::parse(line);
    } catch (const Json::parse_error& e) {
        fault = "not valid JSON (at byte " + std::to_string(e.byte) + ")";
        return false;
    } catch (const Json::exception&) {
        // The parser's other refusal: a number beyond double range, such as 1e999.
        fault = "not valid JSON (a number out of range)";
        return false;
    }
    if (!j.is_object()) {
        fault = "not a JSON object";
        return false;
    }
    int64_t config, group, instance, inst, seed;
    r = PolicyRecord();
    if (j.contains("rule")) return parseMethodRecord(j, r, fault);
    if (j.contains("file") || j.contains("stem")) return parseFileRecord(j, r, fault);
    if (!nameField(j, "dataset", datasetNames, 4, r.dataset, fault) ||
        !nameField(j, "distribution", distributionNames, 5, r.distribution, fault) ||
        !nameField(j, "method", methodNames, 2, r.method, fault) ||
        !wholeField(j, "config", 1, 1000000000, config, fault) || !wholeField(j, "group", 1, 60, group, fault) ||
        !wholeField(j, "instance", 1, 10, instance, fault) || !wholeField(j, "inst", 1, 600, inst, fault) ||
        !wholeField(j, "stream_seed", 0, 4294967295LL, seed, fault))
        return false;
    if (inst != (group - 1) * 10 + instance) {
        fault = "\"inst\" is " + std::to_string(inst) + ", but group " + std::to_string(group) + " instance " +
                std::to_string(instance) + " is " + std::to_string((group - 1) * 10 + instance);
        return false;
    }
    int d = 0;
    while (r.dataset != datasetNames[d]) ++d;
    if (group > (d == 3 ? 60 : 48)) {
        fault = "\"group\" is " + std::to_string(group) + ", beyond the last group of " + r.dataset;
        return false;
    }
    int n = datasetSizes[d] + 2;
    if (!readList(j, n, r.list, fault) || !readArcs(j, n, r.arcs, fault)) return false;
    r.config = static_cast<int>(config);
    r.group = static_cast<int>(group);
    r.instance = static_cast<int>(instance);
    r.inst = static_cast<int>(inst);
    r.streamSeed = static_cast<uint32_t>(seed);
    return true;
}

std::string policyLine(const PolicyRecord& r)
{
    Json j;
    j["dataset"] = r.dataset;
    j["distribution"] = r.distribution;
    j["method"] = r.method;
    j["config"] = r.config;
    if (r.file.empty()) {
        j["group"] = r.group;
        j["instance"] = r.instance;
    } else {
        j["file"] = r.file;
        j["stem"] = r.stem;
    }
    j["inst"] = r.inst;
    j["stream_seed"] = r.streamSeed;
    Json list = Json::array();
    for (std::size_t p = 1; p < r.list.size(); ++p) list.push_back(r.list[p]);
    j["list"] = std::move(list);
    Json arcs = Json::array();
    for (const PolicyArc& a : r.arcs) arcs.push_back(Json::array({a.from, a.to, a.type}));
    j["arcs"] = std::move(arcs);
    return j.dump();
}

bool parsePolicyText(const std::string& text, const std::string& path, std::vector<PolicyRecord>& records,
                     std::string& error)
{
    records.clear();
    std::size_t start = 0;
    int lineNo = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // cut short: the instance is solved again
        ++lineNo;
        PolicyRecord r;
        std::string fault;
        if (!parsePolicyLine(text.substr(start, end - start), r, fault)) {
            error = path + ": line " + std::to_string(lineNo) + ": " + fault;
            return false;
        }
        r.lineNo = lineNo;
        records.push_back(std::move(r));
        start = end + 1;
    }
    return true;
}

bool readPolicyFile(const std::string& path, std::vector<PolicyRecord>& records, std::string& error, InputKind kind)
{
    std::string text;
    if (!readInputFile(path, kind, text, error)) return false;
    completeLastLine(path, text);
    return parsePolicyText(text, path, records, error);
}
