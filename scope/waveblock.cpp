// Decoding the oscilloscope's sample-memory reply and naming its setting codes.
#include "scope.h"

#include <string.h>

float waveBlockInterval(const unsigned char *block)
{
    uint32_t bits = (uint32_t)block[6] << 24 | (uint32_t)block[7] << 16 | (uint32_t)block[8] << 8 | block[9];
    float interval;
    memcpy(&interval, &bits, sizeof interval);
    return interval;
}

int waveBlockSample(const unsigned char *block, int offset)
{
    return (int16_t)(uint16_t)(block[14 + offset] << 8 | block[15 + offset]);
}

// A code outside the table (negative, past the end, NaN, infinite) names nothing;
// inside it, the code truncates toward zero (1.9 is entry 1).
static const char *tableEntry(const char *const *table, int size, float code)
{
    if (!(code >= 0.0f && code < (float)size))
        return "";
    return table[(int)code];
}

const char *probeName(float code)
{
    static const char *const probes[6] = {"1X", "10X", "100X", "", "", ""};
    return tableEntry(probes, 6, code);
}

const char *horizontalModeName(float code)
{
    static const char *const modes[8] = {"Main", "Window", "WinZoom", "Roll", "XY", "", "", ""};
    return tableEntry(modes, 8, code);
}
