// What the programs must produce against the virtual bench, as gtest expectations shared
// by the pty end-to-end tests and the driver tier (tests/drivers), so every port kind is
// held to the same files, logs and frames.
//
//   expectCaptureFiles(dir, in[, style])  dir/op_scope.csv and dir/gbookFtemp.js byte for byte
//   expectCaptureLog(out, in[, style])    scopecap's standard output line by line (block-read
//                                 count lines left out: their chunking depends on timing)
//   (style: the C runtime the program printed with, kGlibcStyle or kWindowsStyle)
//   expectExampleCapture(out, in[, style])  examples/scope_capture's standard output
//                                 (block-read count lines left out)
//   expectAdapterInfo(out, serial[, port])  isscheck info's standard output (on COM9)
//   expectLedWalk(log, rows)      the words the bench's LED driver latched for
//                                 `isscheck leds --walk-rows rows`, and the matrix left lit
#pragma once

#include "capture_expect.h"

#include <string>
#include <vector>

void expectCaptureFiles(const std::string &dir, const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);
void expectCaptureLog(const std::string &out, const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);

void expectExampleCapture(const std::string &out, const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);

void expectAdapterInfo(const std::string &out, const std::string &serial, int port = 9);
void expectLedWalk(const std::string &benchLog, int rows);

// Words as the driver latched them, 16 clocks each ("# latched 0C01").
std::vector<std::string> wholeWordsLatched(const std::string &log);
