// What a capture must produce, built from what the instrument sent: the settings
// text, the values it holds, and the samples. Used by the native and the Windows
// end-to-end tests, so both hold the program to the same files and log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The C runtime in use: glibc prints two exponent digits, the Windows runtime three
// ("2.500E-006", which also takes one blank of a fixed-width field's padding), and
// Windows text-mode files and console write "\n" as "\r\n".
struct RuntimeStyle {
    bool threeDigitExponent = false;
    bool crlf = false;
};
inline constexpr RuntimeStyle kGlibcStyle{false, false};
inline constexpr RuntimeStyle kWindowsStyle{true, true};

struct ScopeCaptureInput {
    std::string settings;              // the settings text as sent (without a line end)
    float triggerLevel = 0, probeCode = 0;
    float scale1 = 0, offset1 = 0, scale2 = 0, offset2 = 0;
    float timeScale = 0, timeDelay = 0, sweepCode = 0;
    float interval1 = 0, interval2 = 0;
    std::vector<int16_t> ch1, ch2;     // 4000 samples each
    std::string header1 = "#48008", header2 = "#48008";
    int channelByte1 = 1, channelByte2 = 2;
    char channel = '1';
};

// One printf conversion of one value, as the given runtime prints it.
std::string formatAs(const RuntimeStyle &style, const char *format, double value);

std::string expectedSettingsListing(const std::string &settings);
std::string expectedCsv(const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);
std::string expectedScript(const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);

// The program's standard output up to the port opening: self-test lines and banner.
std::string expectedSelfTestAndBanner(const RuntimeStyle &style = kGlibcStyle);
// Standard output of a whole successful run, block-read count lines left out
// (how a reply is split into reads depends on timing).
std::string expectedCaptureRunLog(const ScopeCaptureInput &in, const RuntimeStyle &style = kGlibcStyle);
// The two lines ScopeSendCmd logs for a command.
std::string sendLines(const char *command);
// Drops the "count_rd: N countGot: ..." lines of the block read.
std::string withoutBlockReadLines(const std::string &log);
// "\n" -> "\r\n" when the style asks for it.
std::string lineEnds(const std::string &text, const RuntimeStyle &style);
