// Lines of the programs' and the bench's logs that many tests expect, each spelled once.
#pragma once

#include <string>

// What openComPort prints for a port it opened, and for one it could not: error 2
// for a port that does not exist, 5 for one denied or already in use.
inline std::string connectOkLine(int port = 9)
{
    return " serial port COM" + std::to_string(port) + " connect OK \n\r";
}
inline const std::string kConnectOk = connectOkLine(9);
inline std::string connectFailLine(int error, int port = 9)
{
    const std::string com = "COM" + std::to_string(port);
    return "serial port " + com + " connect fail " + com + " error " + std::to_string(error) + "\n\r";
}
// scopecap's last words after a failed open, with no line end.
inline const std::string kOpeningPortFailed = "Opening Port Failed";

// The bench's command log of one capture: the settings, then both sample memories.
inline const std::string kCaptureCommands = "*LRN?\n:acquire1:memory?\n:acquire2:memory?\n";
