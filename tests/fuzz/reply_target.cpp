// Fuzz target: the numeric-reply parse of scopeQuery (scopeParseReply).
// Input: the read count (4 bytes, little-endian, any value including counts past
// 999), then the reply bytes. The reply buffer is a heap block of exactly 1000
// bytes; bytes past the input are filled with 'x', as stale data a real buffer
// could hold, so the terminators the parse must place are visible.
#include "fuzz_support.h"
#include "scope.h"
#include "scope_internal.h"

#include <algorithm>
#include <ctype.h>
#include <string.h>
#include <vector>

enum { kReplyBuffer = 1000 };

FUZZ_QUIET_INITIALIZE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const uint32_t count = in.u32();
    std::vector<char> reply(kReplyBuffer, 'x');
    in.take(reply.data(), std::min(in.size, (size_t)kReplyBuffer));
    const std::vector<char> before = reply;

    const float result = scopeParseReply(reply.data(), count);

    const size_t end = count < 999 ? count : 999;
    FUZZ_CHECK(reply[end] == '\0', "no terminator after the %zu bytes read", end);
    FUZZ_CHECK(reply[999] == '\0', "the buffer's last byte is not a terminator");
    FUZZ_CHECK(memcmp(reply.data(), before.data(), end) == 0, "the reply text was changed");
    // a number in "%g" starts, after white space, with a sign, a digit, a point,
    // or the i/n of inf/nan; anything else must leave the result 0.0
    const char *p = reply.data();
    while (isspace((unsigned char)*p))
        p++;
    if (strchr("+-.0123456789iInN", *p) == NULL || *p == '\0')
        FUZZ_CHECK(result == 0.0f, "text starting 0x%02X gave %g", (unsigned char)*p, (double)result);
    return 0;
}
