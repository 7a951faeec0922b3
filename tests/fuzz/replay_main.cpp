// Replays fuzz inputs (seed corpus and kept crash inputs) through a target without
// libFuzzer, so the ordinary and sanitizer builds run them as tests.
// Usage: fuzz_replay_<target> FILE|DIR...; directories are read in name order.
#include "fuzz_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool replay(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // a copy of exactly the input's size, so a read past its end is an AddressSanitizer report
    uint8_t *copy = (uint8_t *)malloc(bytes.empty() ? 1 : bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy);
    fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(copy, bytes.size());
    free(copy);
    return true;
}

int main(int argc, char **argv)
{
    // a target may change directory when it starts, so the paths are fixed first
    std::vector<fs::path> args;
    for (int a = 1; a < argc; a++)
        args.push_back(fs::absolute(argv[a]));
    LLVMFuzzerInitialize(&argc, &argv);
    int count = 0;
    for (const fs::path &p : args) {
        std::vector<fs::path> files;
        if (fs::is_directory(p)) {
            for (const auto &e : fs::directory_iterator(p))
                if (e.is_regular_file())
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(p);
        }
        for (const auto &f : files) {
            if (!replay(f))
                return 1;
            count++;
        }
    }
    fprintf(stderr, "%d inputs replayed\n", count);
    // an empty corpus would make this test pass without testing anything
    return count > 0 ? 0 : 1;
}
