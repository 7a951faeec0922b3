#include "program_expect.h"

#include "log_lines.h"
#include "text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

void expectCaptureFiles(const std::string &dir, const ScopeCaptureInput &in, const RuntimeStyle &style)
{
    EXPECT_EQ(readFile(dir + "/op_scope.csv"), expectedCsv(in, style));
    EXPECT_EQ(readFile(dir + "/gbookFtemp.js"), expectedScript(in, style));
}

void expectCaptureLog(const std::string &out, const ScopeCaptureInput &in, const RuntimeStyle &style)
{
    std::vector<std::string> got = splitLines(withoutBlockReadLines(out));
    std::vector<std::string> want = splitLines(expectedCaptureRunLog(in, style));
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "log line " << i + 1;
}

void expectExampleCapture(const std::string &out, const ScopeCaptureInput &in, const RuntimeStyle &style)
{
    auto channel = [&](int n, float interval, const std::vector<int16_t> &samples) {
        std::string line = "channel " + std::to_string(n) + ": sampling interval " + formatAs(style, "%g", interval) +
                           " s, first samples:";
        for (int k = 0; k < 8; ++k)
            line += " " + std::to_string(samples.at(k));
        return line + "\n";
    };
    std::string want = kConnectOk + sendLines("*LRN?\r") + "time base: " +
                       formatAs(style, "%g", in.timeScale) + " s/div\n" + sendLines(":acquire1:memory?\r") +
                       channel(1, in.interval1, in.ch1) + sendLines(":acquire2:memory?\r") + channel(2, in.interval2, in.ch2);
    EXPECT_EQ(withoutBlockReadLines(out), lineEnds(want, style));
}

void expectAdapterInfo(const std::string &out, const std::string &serial, int port)
{
    std::vector<std::string> lines = splitLines(out);
    ASSERT_EQ(lines.size(), 6u) << out;
    EXPECT_EQ(lines[0] + "\n" + lines[1], connectOkLine(port) + " iBytesWritten: 2 ");
    // module id 7, some firmware version, and the mode it is in: I/O mode at power-up
    EXPECT_EQ(lines[2].substr(0, 18), "ISS:5A-01:ver: 07 ") << lines[2];
    EXPECT_EQ(lines[2].substr(20), " 00 ") << lines[2];
    EXPECT_EQ(lines[3], " iBytesWritten: 2 ");
    ASSERT_EQ(serial.size(), 7u);
    const unsigned char *s = (const unsigned char *)serial.data();
    char hex[64], text[32];
    snprintf(hex, sizeof hex, "ISS:5A-03:ser: %02X %02X %02X-%02X %02X %02X %02X", s[0], s[1], s[2], s[3], s[4], s[5],
             s[6]);
    snprintf(text, sizeof text, "ISS:5A-03:ser: %.3s-%.4s", serial.c_str(), serial.c_str() + 3);
    EXPECT_EQ(lines[4], hex);
    EXPECT_EQ(lines[5], text);
}

// The "# matrix" block the adapter bench writes last: 8 rows of '#' (lit) and '.' (dark).
static std::vector<std::string> lastMatrix(const std::string &log)
{
    std::vector<std::string> lines = splitLines(log);
    auto it = std::find(lines.rbegin(), lines.rend(), "# matrix");
    if (it == lines.rend())
        return {};
    std::vector<std::string> rows;
    for (auto row = it.base(); row != lines.end() && rows.size() < 8; ++row)
        rows.push_back(row->substr(0, 2) == "# " ? row->substr(2) : *row);
    return rows;
}

void expectLedWalk(const std::string &benchLog, int rows)
{
    // the driver set-up and the eight rows cleared come first
    std::vector<std::string> expected = {"0B07", "0900", "0A07", "0F00", "0C01", "0100", "0200",
                                         "0300", "0400", "0500", "0600", "0700", "0800"};
    std::vector<std::string> matrix(8, "........");
    for (int row = 1; row <= rows; ++row) {
        for (int column = 0; column < 8; ++column) {
            char word[16];
            snprintf(word, sizeof word, "%02X%02X", (unsigned)row, 1u << column);
            expected.push_back(word);
        }
        matrix[row - 1] = ".......#";
    }
    EXPECT_EQ(wholeWordsLatched(benchLog), expected) << benchLog.substr(0, 2000);
    // the pin walk may latch a partial word (the driver's no-op register); the
    // words after it always arrive whole
    std::vector<std::string> latches = linesStartingWith(benchLog, "# latched ");
    auto firstWhole = std::find(latches.begin(), latches.end(), "# latched 0B07");
    EXPECT_TRUE(std::all_of(firstWhole, latches.end(), [](const std::string &l) { return l.size() == 14; }));
    EXPECT_EQ(lastMatrix(benchLog), matrix) << benchLog.substr(benchLog.size() > 600 ? benchLog.size() - 600 : 0);
    EXPECT_EQ(splitLines(benchLog).at(0), "5A 02 00 00");
}

std::vector<std::string> wholeWordsLatched(const std::string &log)
{
    std::vector<std::string> words;
    for (const auto &line : linesStartingWith(log, "# latched "))
        if (line.size() == 14)
            words.push_back(line.substr(10));
    return words;
}
