// Fuzz target: settings-text lookup and listing (learnFind, learnValue, learnList).
// Input: header NUL key NUL text; a missing part is empty. Each part is copied
// into a heap block of exactly its length plus the terminator, so a search that
// runs past a text's end is an AddressSanitizer report.
#include "capture_expect.h"
#include "fuzz_support.h"
#include "learn.h"

#include <algorithm>
#include <string.h>
#include <string>
#include <string_view>
#include <vector>

FUZZ_QUIET_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view in((const char *)data, size);
    std::vector<char> parts[3];
    for (int i = 0; i < 3; i++) {
        // header and key end at a NUL, the text takes the rest
        const size_t end = i < 2 ? std::min(in.find('\0'), in.size()) : in.size();
        parts[i] = std::vector<char>(end + 1, '\0');
        std::copy(in.begin(), in.begin() + end, parts[i].begin());
        in.remove_prefix(std::min(end + 1, in.size()));
    }
    const char *header = parts[0].data(), *key = parts[1].data(), *text = parts[2].data();
    // the text as C sees it: it ends at its first NUL
    const size_t length = strlen(text);
    const std::string before(text, length);

    const char *at = learnFind(text, header, key);
    FUZZ_CHECK(at == NULL || (at >= text && at < text + length), "position %td outside a text of %zu bytes",
               at - text, length);
    FUZZ_CHECK(at == NULL || *at == ' ', "position %td holds 0x%02X, not a blank", at - text, (unsigned char)*at);
    if (before.find(header) == std::string::npos || before.find(key) == std::string::npos ||
        before.find(' ') == std::string::npos)
        FUZZ_CHECK(at == NULL, "found a value although header, key or blank is missing");
    else if (header[0] == '\0' && key[0] == '\0')
        FUZZ_CHECK(at == text + before.find(' '), "empty header and key must give the text's first blank");

    const float value = learnValue(text, header, key);
    if (at == NULL)
        FUZZ_CHECK(value == 0.0f, "no position but value %g", (double)value);
    FUZZ_CHECK(learnFind(NULL, header, key) == NULL, "a missing text must give no position");
    FUZZ_CHECK(learnValue(NULL, header, key) == 0.0f, "a missing text must give 0");

    char *listed = NULL;
    size_t listedSize = 0;
    FILE *mem = open_memstream(&listed, &listedSize);
    FUZZ_CHECK(mem != NULL, "open_memstream failed");
    learnList(mem, text);
    fclose(mem);
    FUZZ_CHECK(memcmp(text, before.data(), length + 1) == 0, "learnList changed the text");
    // one line per ';'-separated item, items that do not open a group indented
    const std::string expected = expectedSettingsListing(before);
    FUZZ_CHECK(std::string_view(listed, listedSize) == expected, "listing of %zu bytes differs from the expected %zu",
               listedSize, expected.size());
    free(listed);

    learnList(NULL, text); // to the console, which is /dev/null here
    FUZZ_CHECK(memcmp(text, before.data(), length + 1) == 0, "learnList to the console changed the text");
    learnList(stdout, NULL);
    return 0;
}
