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
