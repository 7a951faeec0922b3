// Fuzz target: settings-text lookup and listing (learnFind, learnValue, learnList).
// Input: header NUL key NUL text; a missing part is empty. Each part is copied
// into a heap block of exactly its length plus the terminator, so a search that
// runs past a text's end is an AddressSanitizer report.
#include "fuzz_support.h"
#include "learn.h"

#include <string.h>
#include <string>
#include <string_view>
#include <vector>

static char *heapText(std::string_view s)
{
    char *t = (char *)malloc(s.size() + 1);
    if (!s.empty())
        memcpy(t, s.data(), s.size());
    t[s.size()] = '\0';
    return t;
}

// What learnList must print for `text`: one line per ';'-separated item, items
// that do not open a group indented by four spaces.
static std::string expectedListing(std::string_view text)
{
    std::string out;
    for (;;) {
        size_t semi = text.find(';');
        std::string_view item = text.substr(0, semi);
        if (item.empty() || item[0] != ':')
            out += "    ";
        out += item;
        out += '\n';
        if (semi == std::string_view::npos)
            return out;
        text.remove_prefix(semi + 1);
    }
}

FUZZ_QUIET_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view in((const char *)data, size);
    std::string_view parts[3];
    for (int i = 0; i < 2; i++) {
        size_t nul = in.find('\0');
        parts[i] = in.substr(0, nul);
        in = nul == std::string_view::npos ? std::string_view() : in.substr(nul + 1);
    }
    parts[2] = in;
    char *header = heapText(parts[0]);
    char *key = heapText(parts[1]);
    char *text = heapText(parts[2]);
    // the text as C sees it: it ends at its first NUL
    const size_t length = strlen(text);
    const std::string before(text, length);

    const char *at = learnFind(text, header, key);
    FUZZ_CHECK(at == NULL || (at >= text && at < text + length), "position %td outside a text of %zu bytes",
               at - text, length);
    FUZZ_CHECK(at == NULL || *at == ' ', "position %td holds 0x%02X, not a blank", at - text, (unsigned char)*at);
    const std::string_view t(before);
    if (t.find(header) == std::string_view::npos || t.find(key) == std::string_view::npos ||
        t.find(' ') == std::string_view::npos)
        FUZZ_CHECK(at == NULL, "found a value although header, key or blank is missing");
    else if (header[0] == '\0' && key[0] == '\0')
        FUZZ_CHECK(at == text + t.find(' '), "empty header and key must give the text's first blank");

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
    const std::string expected = expectedListing(t);
    FUZZ_CHECK(std::string_view(listed, listedSize) == expected, "listing of %zu bytes differs from the expected %zu",
               listedSize, expected.size());
    free(listed);

    learnList(NULL, text); // to the console, which is /dev/null here
    FUZZ_CHECK(memcmp(text, before.data(), length + 1) == 0, "learnList to the console changed the text");
    learnList(stdout, NULL);

    free(header);
    free(key);
    free(text);
    return 0;
}
