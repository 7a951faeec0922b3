// Runs a program as a child process, with extra environment variables and a
// working directory, capturing standard output and standard error.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct ProgramRun {
    int exitStatus = -1;    // -1 when killed by a signal or by the time limit
    bool timedOut = false;
    std::string out;        // standard output
    std::string err;        // standard error
    double seconds = 0;     // wall time
};

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args,
                      const std::map<std::string, std::string> &env = {}, const std::string &workDir = "",
                      std::chrono::seconds limit = std::chrono::seconds(120));

// Directory of the test binaries' build tree siblings (set at build time).
std::string buildDir();
// One of the programs of app/ in that tree ("scopecap", "isscheck").
std::string appProgram(const std::string &name);
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &text);
std::string makeTempDir(const std::string &prefix);
void removeTree(const std::string &path);
std::vector<std::string> splitLines(const std::string &text);
std::vector<std::string> linesStartingWith(const std::string &text, const std::string &prefix);

// A locale that writes a decimal comma ("0,5"): an installed one, or one built with
// localedef into `dir` from the system's sources, which is then its LOCPATH. `env` holds
// LC_ALL and, for a built one, LOCPATH, for a program run in it; `why` says why there
// is none (then `env` is empty).
struct CommaLocale {
    std::map<std::string, std::string> env;
    std::string why;
};
CommaLocale commaLocale(const std::string &dir);
