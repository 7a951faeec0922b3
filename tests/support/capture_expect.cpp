#include "capture_expect.h"

#include "log_lines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdarg>
#include <initializer_list>
#include <regex>
#include <sstream>

namespace {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// The name a setting's code stands for; a code past the names has none.
std::string nameOf(float code, std::initializer_list<const char *> names)
{
    return code >= 0 && code < names.size() ? names.begin()[(int)code] : "";
}

} // namespace

std::string formatAs(const RuntimeStyle &style, const char *fmt, double value)
{
    char buf[256];
    snprintf(buf, sizeof buf, fmt, value);
    std::string text = buf;
    size_t e = text.find_first_of("eE");
    if (!style.threeDigitExponent || e == std::string::npos)
        return text;
    text.insert(e + 2, "0");
    // a fixed-width field gives up one blank of its padding for the extra digit
    bool hasWidth = std::isdigit((unsigned char)fmt[1]) && fmt[1] != '0';
    if (hasWidth && text[0] == ' ')
        text.erase(0, 1);
    return text;
}

std::string lineEnds(const std::string &text, const RuntimeStyle &style)
{
    return style.crlf ? std::regex_replace(text, std::regex("\n"), "\r\n") : text;
}

std::string expectedSettingsListing(const std::string &settings)
{
    std::string out;
    // one item per ';' and one after the last, even when empty
    std::istringstream items(settings + ";");
    for (std::string item; std::getline(items, item, ';');)
        out += (item.starts_with(':') ? "" : "    ") + item + "\n";
    return out;
}

std::string expectedCsv(const ScopeCaptureInput &in, const RuntimeStyle &st)
{
    std::string out = expectedSettingsListing(in.settings);
    out += "Memory Length,4000,\n";
    out += "Trigger Level," + formatAs(st, "%9.3E", in.triggerLevel) + ",\n";
    out += in.channel == '1' ? "Source,CH1,\n" : "Source,CH2,\n";
    out += "Probe," + nameOf(in.probeCode, {"1X", "10X", "100X"}) + ",\n";
    out += "Vertical Units,V,\n";
    out += "Vertical Scale," + formatAs(st, "%9.3E", in.scale1) + ",\n";
    out += "Vertical Position," + formatAs(st, "%9.3E", in.offset1) + ",\n";
    out += "Vertical2 Units,V,\n";
    out += "Vertical2 Scale," + formatAs(st, "%9.3E", in.scale2) + ",\n";
    out += "Vertical2 Position," + formatAs(st, "%9.3E", in.offset2) + ",\n";
    out += "Horizontal Units,s,\n";
    out += "Horizontal Scale," + formatAs(st, "%9.3E", in.timeScale) + ",\n";
    out += "Horizontal Position," + formatAs(st, "%9.3E", in.timeDelay) + ",\n";
    out += "Horizontal Mode," + nameOf(in.sweepCode, {"Main", "Window", "WinZoom", "Roll", "XY"}) + ",\n";
    out += "Sampling Period," + formatAs(st, "%9.3E", in.interval1) + ",\n";
    out += "Firmware, V1.26,\nTime, ,\nMode,Fast,\nWaveform Data,\n";
    for (size_t k = 0; k < 4000; ++k)
        out += format("%3d,%3d\n", in.ch1.at(k), in.ch2.at(k));
    out += "===========================\n";
    return lineEnds(out, st);
}

std::string expectedScript(const ScopeCaptureInput &in, const RuntimeStyle &st)
{
    std::string out = "var Vertical1Units='V'\n";
    out += "var Vertical1Scale=" + formatAs(st, "%9G", in.scale1) + "\n";
    out += "var Vertical1Position=" + formatAs(st, "%9G", in.offset1) + "\n";
    out += "var Vertical2Units='V'\n";
    out += "var Vertical2Scale=" + formatAs(st, "%9G", in.scale2) + "\n";
    out += "var Vertical2Position=" + formatAs(st, "%9G", in.offset2) + "\n";
    out += "var displayOffset1=-Vertical1Position*1.0/Vertical1Scale*50.0\n";
    out += "var displayOffset2=+Vertical2Position*1.0/Vertical2Scale*50.0\n";
    out += "timeInterval=" + formatAs(st, "%e", in.interval1) + "\n";
    for (int k = 0; k < 4000; ++k)
        out += format("gbF( 'pelmora','scopecap@bench','Sun Feb  22 10:30:47 UTC 2015 ','127.0.0.1',%d,%d,0,0,'%d');\n",
                      in.ch1.at(k), in.ch2.at(k), k);
    return lineEnds(out, st);
}

std::string expectedSelfTestAndBanner(const RuntimeStyle &st)
{
    std::string out;
    for (double v : {0.0, 2.5e-06, 0.0, 20.0})
        out += "wanted value = " + formatAs(st, "%g", v) + "\n";
    for (int i = 0; i < 3; ++i)
        out += "wanted Bvalue = 12340\n";
    out += "\n++++++++++\nUSB-ISS and MAX2719 TCC version:-\t\n++++++++++\n";
    return lineEnds(out, st);
}

std::string sendLines(const char *command)
{
    return "\n\n==============================================\n\r\n\r ScopeSendCmd: " + std::string(command) + " \n\r";
}

std::string expectedCaptureRunLog(const ScopeCaptureInput &in, const RuntimeStyle &st)
{
    std::string out = kConnectOk + kConnectOk; // opened, closed and opened again
    out += "Polling waveform....\n";
    out += sendLines("*LRN?\r");
    out += sendLines(":acquire1:memory?\r");
    out += sendLines(":acquire2:memory?\r");
    out += "count_rd: 8014 8014 \n";
    out += format("count_rd: 8014 8014 TimeInterval:%f %f \n", (double)in.interval1, (double)in.interval2);
    auto trace = [&](const char *label, const std::string &h, int channelByte) {
        return format("%s:T:%c a:%c b: %c%c%c%c d:%c \n", label, h[0], h[1], h[2], h[3], h[4], h[5], channelByte + '0');
    };
    out += trace("tr1", in.header1, in.channelByte1);
    out += trace("tr2", in.header2, in.channelByte2);
    out += format("\nchannel:%c", in.channelByte1 + '0');
    out += format("\nchannel:%c", in.channelByte2 + '0');
    for (int k = 0; k < 4000; ++k) {
        if (k % 16 == 0)
            out += "\n";
        int s1 = in.ch1.at(k);
        // the trace puts a '1' at column (s1 + 128) / 2, left-justified when that is negative;
        // spelled out here rather than left to a printf width, which is how the program makes it
        int width = (s1 + 128) / 2;
        std::string bar = width > 1    ? std::string(width - 1, ' ') + "1"
                          : width < -1 ? "1" + std::string(-width - 1, ' ')
                                       : "1";
        out += format("%5d,%3d,%3d,", 2 * k, s1, in.ch2.at(k)) + bar + "\n";
    }
    out += "\n";
    return expectedSelfTestAndBanner(st) + lineEnds(out, st);
}

std::string withoutBlockReadLines(const std::string &log)
{
    std::string out;
    for (size_t start = 0, end; start < log.size(); start = end + 1) {
        end = std::min(log.find('\n', start), log.size() - 1); // the line's last byte
        std::string line = log.substr(start, end + 1 - start);
        // a command's log ends in "\n\r", so the read line after it starts with that '\r'
        size_t at = line.starts_with("\rcount_rd: ") ? 1 : 0;
        if (line.compare(at, 10, "count_rd: ") == 0 && line.find(" countGot: ") != std::string::npos)
            line.erase(at);
        out += line;
    }
    return out;
}
