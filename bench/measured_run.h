// Runs a program once and measures it: wall time, processor time, peak memory, and
// the processor time of the busy waits it makes before opening its serial port.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace capturebench {

struct RunFigures {
    std::string problem;     // why the run could not be measured ("" when it could)
    int exitStatus = -1;     // -1 when killed
    double wallMs = 0;       // start of the process to its end
    double cpuMs = 0;        // user + system time of the process
    double busyWaitCpuMs = -1; // in the waits just before the port opened (-1: the port was never opened)
    double startupMs = -1;   // start to the port's open, less the waits
    long peakKiB = 0;        // peak resident memory
};

// Runs argv[0] (found on PATH) through the program run_child (run_child.cpp) in
// workDir with these variables added to the environment, standard output to
// workDir/stdout.txt and standard error to workDir/stderr.txt. The moment `portPath`
// is first opened ends the `waitsMs` of busy waits; the processor time of that
// stretch is taken from samples of the process's CPU clock every millisecond.
RunFigures measureRun(const std::string &runChild, const std::vector<std::string> &argv,
                      const std::map<std::string, std::string> &env,
                      const std::string &workDir, const std::string &portPath, double waitsMs,
                      std::chrono::seconds limit);

} // namespace capturebench
