// The serial link's results as whole values, so that a mismatch prints both sides:
// the line openComPort leaves, its connect line, and what one readBlock gives.
#pragma once

#include "capture_stdout.h"
#include "log_lines.h"
#include "serial.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

// Rate, data bits, parity, stop bits, fAbortOnError, then the flow controls: XON/XOFF
// out and in, CTS, DSR, RTS, DTR.
using Line = std::tuple<unsigned, int, int, int, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned>;

inline Line lineOf(const DCB &d)
{
    return {d.BaudRate, d.ByteSize, d.Parity, d.StopBits, d.fAbortOnError, d.fOutX, d.fInX, d.fOutxCtsFlow,
            d.fOutxDsrFlow, d.fRtsControl, d.fDtrControl};
}

// 19200 baud, one stop bit, a line error fails the transfer, no flow control at all.
inline Line programLine(int byteSize, int parity)
{
    return {19200, byteSize, parity, ONESTOPBIT, 1, 0, 0, 0, 0, RTS_CONTROL_DISABLE, DTR_CONTROL_DISABLE};
}

// Read interval, read total constant and multiplier, write total constant and multiplier.
inline std::tuple<unsigned, unsigned, unsigned, unsigned, unsigned> timeoutsOf(const COMMTIMEOUTS &t)
{
    return {t.ReadIntervalTimeout, t.ReadTotalTimeoutConstant, t.ReadTotalTimeoutMultiplier,
            t.WriteTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier};
}
const auto kProgramTimeouts = std::tuple(100u, 100u, 1u, 5u, 1u);

// The data-bits and parity characters, and the byte size and parity they give: only
// '7' and an upper-case 'E' or 'O' change anything; every other character gives 8 bits
// and no parity.
inline const std::tuple<char, char, int, int> kLineChars[] = {
    {'7', 'O', 7, ODDPARITY}, {'7', 'E', 7, EVENPARITY}, {'8', 'O', 8, ODDPARITY}, {'8', 'N', 8, NOPARITY},
    {'9', '1', 8, NOPARITY},  {'x', 'N', 8, NOPARITY},   {'7', 'e', 7, NOPARITY},  {'7', '5', 7, NOPARITY},
};

// openComPort at 19200 baud, and the line it printed.
inline std::pair<HANDLE, std::string> openLogged(int port = 9, char bits = '8', char parity = 'N')
{
    StdoutCapture capture;
    HANDLE h = openComPort(port, 19200, bits, parity);
    return {h, capture.finish()};
}
inline std::pair<HANDLE, std::string> failedWith(const std::string &line) { return {nullptr, line}; }

// One readBlock of `want` bytes on COM9: the count, the bytes, and the lines it logged.
inline std::tuple<unsigned, std::string, std::string> readBlockLogged(unsigned want)
{
    std::string buf(want, '\0');
    StdoutCapture capture;
    unsigned got = readBlock(9, buf.data(), want);
    buf.resize(std::min(got, want));
    return {got, buf, capture.finish()};
}
