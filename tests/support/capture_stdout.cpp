#include "capture_stdout.h"

#include <stdlib.h>
#include <unistd.h>

StreamCapture::StreamCapture(FILE *stream, int fd) : stream_(stream), fd_(fd)
{
    fflush(stream_);
    char name[] = "/tmp/captureXXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    saved_ = dup(fd_);
    dup2(file_, fd_);
}

StreamCapture::~StreamCapture() { finish(); }

std::string StreamCapture::finish()
{
    if (saved_ < 0)
        return {};
    fflush(stream_);
    dup2(saved_, fd_);
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
