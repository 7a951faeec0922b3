#include "text.h"

#include <fstream>
#include <iterator>
#include <sstream>

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> linesStartingWith(const std::string &text, const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &line : splitLines(text))
        if (line.starts_with(prefix))
            found.push_back(line);
    return found;
}
