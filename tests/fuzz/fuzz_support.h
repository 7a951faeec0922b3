// Shared by the fuzz targets: quiet standard output and loud invariant failures.
// The same target sources are linked with libFuzzer (build-fuzz) and with
// replay_main.cpp (every other build), so nothing here depends on libFuzzer.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

// The routines log every step; a fuzzer run would drown in it, so standard
// output goes to /dev/null for the whole process. It is opened for reading only:
// the C library then drops each console line at once instead of formatting it
// (a capture's trace is 4000 lines, some thousands of columns wide). The values
// printed are still computed by our code under the sanitizers, and the
// sanitizers' own printf check still reads every %s argument.
inline void fuzzQuietStdout()
{
    fflush(stdout);
    if (freopen("/dev/null", "r", stdout) == NULL) {
        perror("fuzz: cannot send standard output to /dev/null");
        abort();
    }
}

// The LLVMFuzzerInitialize of a target that needs nothing else at start.
#define FUZZ_QUIET_INITIALIZE()                                                                                     \
    extern "C" int LLVMFuzzerInitialize(int *, char ***)                                                           \
    {                                                                                                              \
        fuzzQuietStdout();                                                                                         \
        return 0;                                                                                                  \
    }

// An invariant broken: say which, then abort so both libFuzzer and ctest see it.
#define FUZZ_CHECK(cond, ...)                                                                                       \
    do {                                                                                                           \
        if (!(cond)) {                                                                                             \
            fprintf(stderr, "fuzz invariant broken at %s:%d: %s: ", __FILE__, __LINE__, #cond);                    \
            fprintf(stderr, __VA_ARGS__);                                                                          \
            fputc('\n', stderr);                                                                                   \
            abort();                                                                                               \
        }                                                                                                          \
    } while (0)

// A cursor over the fuzz input: fixed-size fields (little-endian) first, the rest as bytes.
struct FuzzInput {
    const uint8_t *data;
    size_t size;

    // Takes up to n bytes; missing ones read as zero.
    void take(void *out, size_t n)
    {
        uint8_t *o = (uint8_t *)out;
        for (size_t i = 0; i < n; i++)
            o[i] = i < size ? data[i] : 0;
        size_t used = n < size ? n : size;
        data += used;
        size -= used;
    }
    uint8_t byte()
    {
        uint8_t b;
        take(&b, 1);
        return b;
    }
    uint16_t u16()
    {
        uint8_t b[2];
        take(b, 2);
        return (uint16_t)(b[0] | b[1] << 8);
    }
    uint32_t u32()
    {
        uint8_t b[4];
        take(b, 4);
        return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    }
};

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
