// Replays fuzz inputs (seed corpus and kept crash inputs) through a target without
// libFuzzer, so the ordinary and sanitizer builds run them as tests.
// Usage: fuzz_replay_<target> FILE|DIR...; directories are read in name order.
#include "fuzz_support.h"
#include "text.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    // a target may change directory when it starts, so the inputs are listed first
    std::vector<fs::path> inputs;
    for (int a = 1; a < argc; a++) {
        const fs::path arg = fs::absolute(argv[a]);
        if (!fs::is_directory(arg)) {
            inputs.push_back(arg);
            continue;
        }
        const size_t first = inputs.size();
        for (const auto &e : fs::directory_iterator(arg))
            if (e.is_regular_file())
                inputs.push_back(e.path());
        std::sort(inputs.begin() + (long)first, inputs.end());
    }
    LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path &input : inputs) {
        if (!fs::is_regular_file(input)) {
            fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::string text = readFile(input);
        // a copy of exactly the input's size, so a read past its end is an AddressSanitizer report
        const std::vector<uint8_t> bytes(text.begin(), text.end());
        fprintf(stderr, "replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    fprintf(stderr, "%zu inputs replayed\n", inputs.size());
    // an empty corpus would make this test pass without testing anything
    return inputs.empty() ? 1 : 0;
}
