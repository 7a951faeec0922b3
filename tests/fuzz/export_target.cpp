// Fuzz target: sample-block decode and the dual-channel export (scopeExportDual),
// plus the setting-code tables with arbitrary floats.
// Input: channel character, count (4 bytes), a float's bits (4 bytes, big-endian)
// for the tables, the channel-1 and channel-2 blocks (8014 bytes each, missing
// bytes zero), then the settings text (at most 700 bytes; it ends at its first NUL).
// The export writes ./op_scope.csv and ./gbookFtemp.js into a private temporary
// directory (on tmpfs where there is one) that the process enters at start.
#include "fuzz_support.h"
#include "scope.h"
#include "scope_internal.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <math.h>
#include <string.h>
#include <string>
#include <unistd.h>
#include <vector>

// The last bytes of a file, or "" when it cannot be read.
static std::string fileTail(const char *name, size_t n)
{
    std::ifstream f(name, std::ios::binary);
    std::string tail(n, '\0');
    f.seekg(-(std::streamoff)n, std::ios::end);
    return f.read(tail.data(), (std::streamsize)n) ? tail : "";
}

// The tables as the oscilloscope's manual gives them, for codes 0 to 7.
static const char *const kProbes[6] = {"1X", "10X", "100X", "", "", ""};
static const char *const kModes[8] = {"Main", "Window", "WinZoom", "Roll", "XY", "", "", ""};

// Inside a table the code truncates toward zero; outside, any short text will do.
template <size_t N>
static void checkTable(const char *what, const char *text, const char *const (&table)[N], float code)
{
    FUZZ_CHECK(text != NULL, "the %s table gave no text for %g", what, (double)code);
    if (code >= 0.0f && code < (float)N)
        FUZZ_CHECK(strcmp(text, table[(int)code]) == 0, "%s %g gave \"%s\"", what, (double)code, text);
    else
        FUZZ_CHECK(strlen(text) < 8, "%s %g gave a long text", what, (double)code);
}

// One export makes some 12,000 printf-family calls, and AddressSanitizer's check
// of their arguments would take a third of each run. Its only %s arguments are the
// gbF user text and the table texts, which checkTable reads under the sanitizer.
extern "C" const char *__asan_default_options() { return "check_printf=0"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzQuietStdout();
    static char tempDir[64];
    const char *base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    snprintf(tempDir, sizeof tempDir, "%s/scopecap-fuzz-XXXXXX", base);
    if (mkdtemp(tempDir) == NULL || chdir(tempDir) != 0) {
        perror("fuzz: cannot make or enter a temporary directory");
        abort();
    }
    atexit([] { std::filesystem::remove_all(tempDir); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const char channel = (char)in.byte();
    const uint32_t count = in.u32();
    uint8_t codeBytes[4];
    in.take(codeBytes, 4);
    // exactly-sized heap blocks, so a read past a block is an AddressSanitizer report
    std::vector<unsigned char> block1(kWaveBlockSize), block2(kWaveBlockSize);
    in.take(block1.data(), kWaveBlockSize);
    in.take(block2.data(), kWaveBlockSize);
    std::vector<char> settings(std::min(in.size, (size_t)kSettingsReplyMax) + 1, '\0');
    in.take(settings.data(), settings.size() - 1);

    float code;
    const uint32_t codeBits = (uint32_t)codeBytes[0] << 24 | (uint32_t)codeBytes[1] << 16 |
                              (uint32_t)codeBytes[2] << 8 | codeBytes[3];
    memcpy(&code, &codeBits, sizeof code);
    for (float c : {code, -code, code * 1e30f /* huge and infinite */, nanf("")}) {
        checkTable("probe", probeName(c), kProbes, c);
        checkTable("mode", horizontalModeName(c), kModes, c);
    }

    // the same four bytes placed as a block's interval field read back as that float
    unsigned char probeBlock[kWaveBlockSize] = {};
    memcpy(probeBlock + 6, codeBytes, 4);
    const float interval = waveBlockInterval(probeBlock);
    FUZZ_CHECK(memcmp(&interval, &code, sizeof code) == 0, "interval bits differ");
    for (int i = 0; i < 2 * kWaveSamples; i += 2) {
        const int s = waveBlockSample(block1.data(), i);
        const int expected = block1[14 + i] < 0x80 ? block1[14 + i] * 256 + block1[15 + i]
                                                   : (block1[14 + i] - 256) * 256 + block1[15 + i];
        FUZZ_CHECK(s == expected, "sample at offset %d read as %d, expected %d", i, s, expected);
    }

    unlink("op_scope.csv");
    unlink("gbookFtemp.js");
    scopeExportDual(channel, settings.data(), block1.data(), block2.data(), count);
    FUZZ_CHECK(fileTail("op_scope.csv", 28) == "===========================\n", "the CSV file is not complete");
    FUZZ_CHECK(fileTail("gbookFtemp.js", 9) == "'3999');\n", "the script file is not complete");
    return 0;
}
