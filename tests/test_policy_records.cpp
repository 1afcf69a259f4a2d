// Records of other methods and the reference policy: the reader's cases, the schema beside the
// format's description against what the reader accepts, and the LFT list of small projects.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "config/labels.h"
#include "project/cpm.h"
#include "project/state.h"
#include "results/policyRecord.h"
#include "simulation/lftList.h"
#include "simulation/policy.h"
#include "support/testSupport.h"

namespace {

// A J30 list in precedence order is not needed by the reader: any permutation with 1 first and 32 last.
std::string j30List()
{
    std::string text = "[1";
    for (int a = 2; a <= 32; ++a) text += "," + std::to_string(a);
    return text + "]";
}

std::string methodLine(const std::string& extra)
{
    return "{\"dataset\":\"J30\",\"group\":2,\"instance\":3,\"method\":\"mine\",\"list\":" + j30List() + extra + "}";
}

bool parses(const std::string& line, PolicyRecord& r, std::string& fault)
{
    fault.clear();
    return parsePolicyLine(line, r, fault);
}

}  // namespace

TEST(policyRecords, recordsOfOtherMethodsReadWithTheirRuleMethodAndOptionalKeys)
{
    PolicyRecord r;
    std::string fault;
    ASSERT_TRUE(parses(methodLine(",\"rule\":\"RB\""), r, fault)) << fault;
    EXPECT_EQ(r.rule, "RB");
    EXPECT_EQ(r.method, "mine");
    EXPECT_EQ(r.distribution, "");
    EXPECT_EQ(r.inst, 13);
    EXPECT_TRUE(r.arcs.empty());
    EXPECT_TRUE(isMethodRecord(r));
    EXPECT_EQ(phase1RuleOf(r), PolicyRule::resourceBased);

    // Key order free, a distribution, arcs under RBA.
    ASSERT_TRUE(parses("{\"rule\":\"RBA\",\"arcs\":[[2,3,1],[4,5,2]],\"distribution\":\"EXP\",\"method\":\"a.B-c+d_9\","
                       "\"list\":" + j30List() + ",\"instance\":1,\"group\":48,\"dataset\":\"J30\"}",
                       r, fault)) << fault;
    EXPECT_EQ(r.distribution, "EXP");
    ASSERT_EQ(r.arcs.size(), 2u);
    EXPECT_EQ(r.arcs[1].type, 2);
    EXPECT_EQ(phase1RuleOf(r), PolicyRule::withArcs);

    // A file's record, any run name.
    ASSERT_TRUE(parses("{\"dataset\":\"RG30\",\"file\":\"x/Pat1.rcp\",\"stem\":\"Pat1\",\"method\":\"m\",\"rule\":\"AB\","
                       "\"list\":[1,2,3,4]}", r, fault)) << fault;
    EXPECT_EQ(r.stem, "Pat1");
    EXPECT_EQ(r.list.size(), 5u);

    // A batch line keeps its kind and its writer's bytes.
    const std::string batch = "{\"dataset\":\"J30\",\"distribution\":\"U1\",\"method\":\"HV\",\"config\":5000,\"group\":1,"
                              "\"instance\":1,\"inst\":1,\"stream_seed\":7,\"list\":" + j30List() + ",\"arcs\":[]}";
    ASSERT_TRUE(parses(batch, r, fault)) << fault;
    EXPECT_FALSE(isMethodRecord(r));
    EXPECT_EQ(phase1RuleOf(r), PolicyRule::resourceBased);
    EXPECT_EQ(policyLine(r), batch);
}

TEST(policyRecords, eachBadFieldOfARecordOfAnotherMethodHasItsOwnMessage)
{
    const std::string list = j30List();
    const std::pair<std::string, std::string> cases[] = {
        {methodLine(",\"rule\":\"XY\""), "\"rule\" is \"XY\""},
        {methodLine(",\"rule\":\"RB\",\"arcs\":[[2,3,1]]"), "rule \"RB\" runs the list without arcs"},
        {methodLine(",\"rule\":\"AB\",\"arcs\":[[2,3,1]]"), "rule \"AB\" runs the list without arcs"},
        {methodLine(",\"rule\":\"RB\",\"distribution\":\"U3\""), "\"distribution\" is \"U3\""},
        {methodLine(",\"rule\":\"RB\",\"colour\":1"), "\"colour\" is not a key"},
        {methodLine(",\"rule\":\"RBA\",\"arcs\":[[2,40,1]]"), "\"arcs\" entry 1 does not join"},
        {"{\"dataset\":\"J30\",\"group\":2,\"instance\":3,\"method\":\"no space\",\"rule\":\"RB\",\"list\":" + list + "}",
         "\"method\" is \"no space\""},
        {"{\"dataset\":\"J30\",\"group\":2,\"instance\":3,\"method\":\"" + std::string(33, 'm') + "\",\"rule\":\"RB\",\"list\":" +
             list + "}", "\"method\" is"},
        {"{\"dataset\":\"J30\",\"group\":2,\"instance\":3,\"rule\":\"RB\",\"list\":" + list + "}", "\"method\" is missing"},
        {"{\"dataset\":\"J30\",\"group\":49,\"instance\":3,\"method\":\"m\",\"rule\":\"RB\",\"list\":" + list + "}",
         "beyond the last group of J30"},
        {"{\"dataset\":\"J30\",\"file\":\"a.sm\",\"stem\":\"a\",\"method\":\"m\",\"rule\":\"RB\",\"list\":[1,2,3]}",
         "\"dataset\" is \"J30\", not a run name"},
        {"{\"dataset\":\"R\",\"file\":\"a.sm\",\"stem\":\"a\",\"group\":1,\"method\":\"m\",\"rule\":\"RB\",\"list\":[1,2,3]}",
         "name the instance one way"},
        {"{\"dataset\":\"J60\",\"group\":2,\"instance\":3,\"method\":\"m\",\"rule\":\"RB\",\"list\":" + list + "}",
         "\"list\" holds 32 activities, not 62"},
    };
    for (const auto& c : cases) {
        PolicyRecord r;
        std::string fault;
        EXPECT_FALSE(parses(c.first, r, fault)) << c.first;
        EXPECT_NE(fault.find(c.second), std::string::npos) << c.first << "\n  gave: " << fault;
    }
}

// The schema beside docs/policy-format.md names what the reader accepts, no more and no less.
TEST(policyRecords, schemaEnumerationsAgreeWithTheReader)
{
    std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/docs/policy-record.schema.json");
    ASSERT_TRUE(in);
    nlohmann::json schema;
    ASSERT_NO_THROW(schema = nlohmann::json::parse(in));
    EXPECT_EQ(schema["$schema"], "https://json-schema.org/draft/2020-12/schema");
    const nlohmann::json& defs = schema["$defs"];
    std::vector<std::string> datasets(datasetLabels + 1, datasetLabels + 1 + datasetCount);
    std::vector<std::string> dists(distLabels + 1, distLabels + 1 + distCount);
    std::vector<std::string> methods(methodLabels + 1, methodLabels + 1 + methodCount);
    EXPECT_EQ(defs["dataset"]["enum"].get<std::vector<std::string>>(), datasets);
    EXPECT_EQ(defs["distribution"]["enum"].get<std::vector<std::string>>(), dists);
    EXPECT_EQ(defs["batchMethod"]["enum"].get<std::vector<std::string>>(), methods);
    const auto rules = defs["rule"]["enum"].get<std::vector<std::string>>();
    EXPECT_EQ(rules, (std::vector<std::string>{"AB", "RB", "RBA"}));
    for (const std::string& rule : rules) {
        PolicyRule parsed;
        EXPECT_TRUE(ruleOfLabel(rule, parsed));
        EXPECT_EQ(ruleLabel(parsed), rule);
    }
    EXPECT_EQ(defs["method"]["pattern"], "^[A-Za-z0-9_.+-]{1,32}$");
    // The pattern's character class, one character at a time, and its length limits.
    for (int c = 0x21; c < 0x7f; ++c) {
        const char ch = static_cast<char>(c);
        const bool inPattern = std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.' || ch == '+' || ch == '-';
        EXPECT_EQ(validMethodLabel(std::string(1, ch)), inPattern) << ch;
    }
    EXPECT_TRUE(validMethodLabel(std::string(32, 'x')));
    EXPECT_FALSE(validMethodLabel(std::string(33, 'x')));
    EXPECT_FALSE(validMethodLabel(""));
    // Every distribution the schema names reads in a record of another method.
    for (const std::string& d : dists) {
        PolicyRecord r;
        std::string fault;
        EXPECT_TRUE(parses(methodLine(",\"rule\":\"AB\",\"distribution\":\"" + d + "\""), r, fault)) << fault;
    }
    const auto required = defs["methodRecord"]["required"].get<std::vector<std::string>>();
    EXPECT_EQ(required, (std::vector<std::string>{"dataset", "method", "rule", "list"}));
}

// ---- The latest-finish-time list ----

TEST(lftList, smallestLatestFinishFirstAmongTheEligibleTiesToTheSmallerNumber)
{
    // 1 -> {2 (4), 3 (2), 4 (2)}; 2 -> 6; 3 -> 5 (3); 4 -> 6; 5 -> 7; 6 (1) -> 7.
    // Critical path 1-3-5-7 = 5 and 1-2-6-7 = 5. Latest finishes: 2: 4, 3: 2, 4: 4, 5: 5, 6: 5.
    setProject({{0, 0, 4, 2, 2, 3, 1, 0},
                {{1, 2}, {1, 3}, {1, 4}, {2, 6}, {3, 5}, {4, 6}, {5, 7}, {6, 7}},
                {},
                {}});
    computeCpmTimes();
    ASSERT_EQ(lateFinish[2], 4.0f);
    ASSERT_EQ(lateFinish[3], 2.0f);
    ASSERT_EQ(lateFinish[4], 4.0f);
    uint8_t list[actDim] = {};
    lftList(list);
    // 3 (LF 2) first; then 2 and 4 tie at 4: 2 first; 5 and 6 tie at 5 once eligible.
    const std::vector<int> want = {0, 1, 3, 2, 4, 5, 6, 7};
    for (int p = 0; p <= 7; ++p) EXPECT_EQ(list[p], want[p]) << "place " << p;
}

TEST(lftList, anActivityWaitsForItsPredecessorsWhateverItsLatestFinish)
{
    // 1 -> 2 (1) -> 3 (1) -> 5; 1 -> 4 (1) -> 5. Latest finishes 2: 1, 3: 2, 4: 2. 3 ties with 4 but
    // may only follow 2; once 2 is placed the tie goes to the smaller number, 3.
    setProject({{0, 0, 1, 1, 1, 0}, {{1, 2}, {1, 4}, {2, 3}, {3, 5}, {4, 5}}, {}, {}});
    computeCpmTimes();
    uint8_t list[actDim] = {};
    lftList(list);
    const std::vector<int> want = {0, 1, 2, 3, 4, 5};
    for (int p = 0; p <= 5; ++p) EXPECT_EQ(list[p], want[p]) << "place " << p;
}
