#include "capture_stdout.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    fflush(stdout);
    char name[] = "/tmp/stdoutXXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    saved_ = dup(1);
    dup2(file_, 1);
}

StdoutCapture::~StdoutCapture() { finish(); }

std::string StdoutCapture::finish()
{
    if (saved_ < 0)
        return {};
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    std::string text;
    lseek(file_, 0, SEEK_SET);
    char buf[65536];
    ssize_t n;
    while ((n = read(file_, buf, sizeof buf)) > 0)
        text.append(buf, (size_t)n);
    close(file_);
    return text;
}
