#include "sdk_examples.h"

#include "bench_process.h"
#include "program_expect.h"
#include "sim_expect.h"
#include "text.h"

#include <gtest/gtest.h>

ProgramRun runOnBench(const std::string &personality, const std::vector<std::string> &benchArgs,
                      const std::vector<std::string> &commandLine, const std::string &dir)
{
    BenchProcess bench(personality, dir + "/COM9", benchArgs);
    ProgramRun run = runProgram(commandLine.at(0), {commandLine.begin() + 1, commandLine.end()},
                                {{"COM9", bench.link()}}, dir);
    EXPECT_EQ(bench.stop(), 0) << bench.errors();
    return run;
}

static void expectDriveTheBench(const std::string &ledWalk, const std::string &scopeCapture, const BenchRunner &run,
                                const RuntimeStyle &style, const std::string &dir)
{
    ProgramRun walk = run("iss", {"--log", dir + "/iss.log"}, {ledWalk, "1"}, dir);
    EXPECT_EQ(walk.exitStatus, 0) << ledWalk << ": " << walk.err;
    expectLedWalk(readFile(dir + "/iss.log"), 1);
    ProgramRun capture = run("scope", {"--once", "--quiet"}, {scopeCapture}, dir);
    EXPECT_EQ(capture.exitStatus, 0) << scopeCapture << ": " << capture.err;
    expectExampleCapture(capture.out, benchCaptureInput(sim::BenchOptions{}), style);
}

void expectExamplesBuildAndDriveTheBench(const ExampleBuild &how, const std::string &dir, const BenchRunner &run,
                                         const RuntimeStyle &style)
{
    for (const char *name : {"led_walk", "scope_capture"}) {
        std::string package = name == std::string("led_walk") ? "scopecap-iss" : "scopecap-scope";
        std::string line = how.compiler + " '" + how.examples + "/" + name + ".cpp' $(pkg-config --cflags --libs " +
                           package + ")" + how.flags + " -o '" + dir + "/" + name + how.exeSuffix + "'";
        ProgramRun build = runProgram("/bin/sh", {"-c", line}, how.env);
        ASSERT_EQ(build.exitStatus, 0) << line << "\n" << build.err;
    }
    expectDriveTheBench(dir + "/led_walk" + how.exeSuffix, dir + "/scope_capture" + how.exeSuffix, run, style, dir);

    std::vector<std::string> configure = {"-S", how.examples, "-B", dir + "/cmake"};
    configure.insert(configure.end(), how.cmakeArgs.begin(), how.cmakeArgs.end());
    for (const std::vector<std::string> &args : {configure, {"--build", dir + "/cmake"}}) {
        ProgramRun step = runProgram(SCOPECAP_CMAKE, args);
        ASSERT_EQ(step.exitStatus, 0) << step.out << step.err;
    }
    std::string built = dir + "/cmake/";
    expectDriveTheBench(built + "led_walk" + how.exeSuffix, built + "scope_capture" + how.exeSuffix, run, style, dir);
}
