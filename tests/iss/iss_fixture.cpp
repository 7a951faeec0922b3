#include "iss_fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

Bytes hexBytes(const std::string &text)
{
    Bytes out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back((unsigned char)std::stoul(text.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

void appendRepeated(Bytes &out, std::initializer_list<unsigned char> run, int times)
{
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), run.begin(), run.end());
}

std::vector<Bytes> pinCommands(const Bytes &pins)
{
    std::vector<Bytes> frames;
    for (unsigned char p : pins)
        frames.push_back({0x63, p});
    return frames;
}

StderrCapture::StderrCapture()
{
    fflush(stderr);
    char name[] = "/tmp/stderrXXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    saved_ = dup(2);
    dup2(file_, 2);
}

StderrCapture::~StderrCapture() { finish(); }

std::string StderrCapture::finish()
{
    if (saved_ < 0)
        return {};
    fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
    std::string text;
    lseek(file_, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(file_, buf, sizeof buf)) > 0)
        text.append(buf, (size_t)n);
    close(file_);
    return text;
}
