// Runs a program as a child process, with extra environment variables and a
// working directory, capturing standard output and standard error; and where the
// build tree keeps the programs it runs.
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
