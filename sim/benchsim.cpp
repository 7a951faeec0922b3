// benchsim: the virtual bench as a program (see benchsim --help and sim/README.md).
#include "virtual_bench.h"
#include "cli.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <time.h>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::CliResult cli = sim::parseBenchArgs(args);
    switch (cli.action) {
    case sim::CliAction::Error:
        std::fprintf(stderr, "benchsim: %s (benchsim --help lists the options)\n", cli.error.c_str());
        return sim::kUsageExit;
    case sim::CliAction::Help:
        std::fputs(sim::benchHelpText(), stdout);
        return 0;
    case sim::CliAction::Version:
        std::printf("benchsim %s\n", SCOPECAP_VERSION);
        return 0;
    case sim::CliAction::DumpSettings: {
        std::string reply = sim::scopeSettingsReply(cli.options);
        std::fwrite(reply.data(), 1, reply.size(), stdout);
        return 0;
    }
    case sim::CliAction::DumpSamples:
        for (int16_t s : sim::waveSamples(cli.options, cli.dumpChannel))
            std::printf("%d\n", s);
        std::printf("interval %.9g\n", (double)sim::sampleInterval(cli.options));
        return 0;
    case sim::CliAction::Run:
        break;
    }

    // The signals are taken synchronously below, so the answering thread never sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::VirtualBench bench(cli.options);
    std::string error;
    if (!bench.start(&error)) {
        std::fprintf(stderr, "benchsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", bench.portPath().c_str());
    std::fflush(stdout);

    const timespec tick{0, 50 * 1000 * 1000};
    while (!bench.finished()) {
        int sig = sigtimedwait(&stopSignals, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM)
            break;
    }
    bench.stop();
    return 0;
}
