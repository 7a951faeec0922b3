// The oscilloscope: command channel, capture exports and set-up sequences.
//
//   ScopeSendCmd     logs and writes one complete command (terminator included)
//   scopeQuery       sends a command, waits, reads one reply, parses it with "%g";
//                    owns serialState.scopeQueryRead
//   scopePoll        "Polling waveform...." and one dual-channel capture
//   scopeReadDual    settings + both sample memories to ./op_scope.csv and ./gbookFtemp.js
//   scopeReadAquire  one channel's sample memory to ./op_scope1.csv or ./op_scope2.csv,
//                    header values queried live
//   scopeSetupSweep  reset, auto-set, both single-channel exports, 40-step delay sweep
//   scopeSetup       reset, auto-set and identification queries
//   scopePollBoth    identification queries and both single-channel exports
#pragma once

#include "winapi.h"

#include <stdint.h>

enum {
    kSettingsReplyMax = 700,
    kWaveBlockSize = 8014,
    kWaveSamples = 4000,
};

// --- owned by command.cpp: the command channel ---
void ScopeSendCmd(int port, const char *command);
float scopeQuery(int port, const char *command);
// Ends the reply text after `count` bytes (and at its last byte), parses it with
// "%g", logs it; `reply` holds 1000 bytes.
float scopeParseReply(char *reply, DWORD count);

// --- owned by capture.cpp: capture exports ---
// Problems that make a capture incomplete (an empty settings reply, a short or
// malformed sample block, an output file not written). Each is reported on
// standard error as it is found; the program's exit status reflects the count.
extern int scopeProblems;
int scopePoll(int port);
void scopeReadDual(int port, char channel);
void scopeReadAquire(int port, char channel);
// Writes the files and console trace of a dual capture from replies already read;
// `count` is the byte count of the last block read, as the log lines show it.
void scopeExportDual(char channel, const char *settings, const unsigned char *block1, const unsigned char *block2,
                     unsigned count);

// --- owned by sequences.cpp: set-up and sweep sequences ---
int scopeSetupSweep(int port);
int scopeSetup(int port);
int scopePollBoth(int port);

// --- owned by waveblock.cpp: decoding a sample-memory reply ---
float waveBlockInterval(const unsigned char *block);          // bytes 6..9, big-endian float
int waveBlockSample(const unsigned char *block, int offset);  // signed 16-bit at 14 + offset
const char *probeName(float code);                            // "" outside the table
const char *horizontalModeName(float code);                   // "" outside the table
