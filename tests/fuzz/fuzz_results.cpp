// libFuzzer target: the readers of results files (.csv) and policy files (.jsonl) that resume,
// merge and evaluation use. Bad input must give an error, never a crash; a policy read back
// must be written out again byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "results/policyRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    RunIdentity id;
    std::vector<ResultRow> rows;
    std::string error;
    if (parseCsv(text, "fuzz.csv", id, rows, error)) {
        // Rows read are rows the program could have written: writing and reading them again
        // gives the same identity and instance numbers.
        std::string again = csvHeader(id.fileRun) + "\n";
        for (const ResultRow& row : rows) again += csvLine(id, row) + "\n";
        RunIdentity id2;
        std::vector<ResultRow> rows2;
        if (!parseCsv(again, "again.csv", id2, rows2, error) || rows2.size() != rows.size()) __builtin_trap();
        for (size_t k = 0; k < rows.size(); ++k)
            if (rows2[k].group != rows[k].group || rows2[k].instance != rows[k].instance ||
                rows2[k].streamSeed != rows[k].streamSeed || rows2[k].file != rows[k].file ||
                rows2[k].stem != rows[k].stem)
                __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    std::vector<PolicyRecord> records;
    if (parsePolicyText(text, "fuzz.jsonl", records, error)) {
        for (const PolicyRecord& r : records) {
            std::string line = policyLine(r), fault;
            PolicyRecord back;
            if (!parsePolicyLine(line, back, fault) || policyLine(back) != line) __builtin_trap();
        }
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
