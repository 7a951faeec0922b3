// The oscilloscope library's parts that its own files, the tests and the benchmark
// reach into, and a user does not need (not installed).
#pragma once

#include "winapi.h"

// Ends the reply text after `count` bytes (and at its last byte), parses it with
// "%g", logs it; `reply` holds 1000 bytes.
float scopeParseReply(char *reply, DWORD count);

// Writes the files and console trace of a dual capture from replies already read;
// `count` is the byte count of the last block read, as the log lines show it.
void scopeExportDual(char channel, const char *settings, const unsigned char *block1, const unsigned char *block2,
                     unsigned count);
