#include "run_program.h"

#include "child_process.h"

#ifndef SCOPECAP_BUILD_DIR
#error "SCOPECAP_BUILD_DIR must name the build tree"
#endif

std::string buildDir() { return SCOPECAP_BUILD_DIR; }
std::string appProgram(const std::string &name) { return buildDir() + "/app/" + name; }

ProgramRun runProgram(const std::string &program, const std::vector<std::string> &args,
                      const std::map<std::string, std::string> &env, const std::string &workDir,
                      std::chrono::seconds limit)
{
    ProgramRun run;
    auto start = std::chrono::steady_clock::now();
    ChildProcess child(program, args, env, workDir);
    run.timedOut = !child.drain(run.out, run.err, start + limit);
    int status = child.wait(limit);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitStatus = run.timedOut ? -1 : status;
    return run;
}
