// Text helpers: a file's bytes, and a text's lines.
#pragma once

#include <string>
#include <vector>

std::string readFile(const std::string &path); // "" when it cannot be read
void writeFile(const std::string &path, const std::string &text);
// The lines without their "\n"; a last line without one is a line too.
std::vector<std::string> splitLines(const std::string &text);
std::vector<std::string> linesStartingWith(const std::string &text, const std::string &prefix);
