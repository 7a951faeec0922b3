// Captures what the code under test prints to standard output or standard error
// (printf and fprintf(stderr, ...) included), through the file descriptor itself.
#pragma once

#include <cstdio>
#include <string>

class StreamCapture {
public:
    StreamCapture(FILE *stream, int fd); // starts capturing
    ~StreamCapture();                    // stops, if still capturing
    StreamCapture(const StreamCapture &) = delete;
    StreamCapture &operator=(const StreamCapture &) = delete;
    std::string finish();

private:
    FILE *stream_;
    int fd_;
    int saved_ = -1;
    int file_ = -1;
};

class StdoutCapture : public StreamCapture {
public:
    StdoutCapture() : StreamCapture(stdout, 1) {}
};

class StderrCapture : public StreamCapture {
public:
    StderrCapture() : StreamCapture(stderr, 2) {}
};
