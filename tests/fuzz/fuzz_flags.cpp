// libFuzzer target: the flags of `tarvo run`. The input is split at white space into argv words;
// the parser must return an outcome for every word list, without exiting or printing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/batch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words;
    std::string word;
    for (size_t k = 0; k < size; ++k) {
        char c = static_cast<char>(data[k]);
        if (c == ' ' || c == '\n' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    BatchOptions options;
    FlagsOutcome outcome = parseBatchFlags(words, options);
    // A run accepted must be one the batch run can carry out.
    if (outcome.run) {
        bool anyDist = false;
        for (int d = 1; d <= 5; ++d) anyDist = anyDist || options.dist[d];
        bool fileRun = !options.files.empty();
        if (fileRun && (options.dataset != 0 || options.singleStream ||
                        (!options.name.empty() && !validRunName(options.name))))
            __builtin_trap();
        if ((!fileRun && (options.dataset < 1 || options.dataset > 4)) || !anyDist || options.firstGroup < 1 ||
            options.firstGroup > options.lastGroup || options.lastGroup > (options.dataset == 4 ? 60 : 48) ||
            options.firstSeed > options.lastSeed || options.jobs < 1 || options.jobs > 256 ||
            (options.shardCount > 0 && (options.shard < 1 || options.shard > options.shardCount)))
            __builtin_trap();
        // The flags handed to --jobs workers read back to the same run.
        BatchOptions again;
        if (!parseBatchFlags(batchFlags(options), again).run || batchFlags(again) != batchFlags(options))
            __builtin_trap();
    } else if (outcome.text.empty() || outcome.text.size() > 4000) {
        __builtin_trap();  // every refusal says why, briefly
    }
    return 0;
}
