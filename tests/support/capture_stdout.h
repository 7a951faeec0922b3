// Captures what the code under test prints to standard output (printf included).
#pragma once

#include <string>

class StdoutCapture {
public:
    StdoutCapture();  // starts capturing
    ~StdoutCapture(); // stops, if still capturing
    std::string finish();

private:
    int saved_ = -1;
    int file_ = -1;
};
