// modem-sim: serves simulated modems on pseudo-terminals until SIGINT,
// SIGTERM or SIGHUP. Prints "PORT=/dev/pts/N" for each port once ready.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/modem-sim/ModemSim.h"

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: modem-sim [-v] PORT=PROFILE[,OPTION...] ...\n"
                 "Serves one simulated modem per argument on a pseudo-terminal, prints\n"
                 "PORT=/dev/pts/N for each (export it for the program), and runs until\n"
                 "SIGINT, SIGTERM or SIGHUP.\n"
                 "  -v, --verbose  log opens, closes and the bytes in and out on stderr\n"
                 "  -h, --help     this text\n"
                 "Profiles:\n");
    for (const modemsim::SProfileInfo& p : modemsim::ProfileList()) {
        std::fprintf(to, "  %-15s%.*s\n", std::string(p.name).c_str(), static_cast<int>(p.summary.size()),
                     p.summary.data());
    }
    std::fprintf(to, "Options:\n%s", modemsim::OptionsUsage().c_str());
    std::fprintf(to, "Example: modem-sim COM3=korvane336 COM5=korvane56,drop=B COM6=other,nodialtone\n");
}

int BadUsage(const std::string& message)
{
    std::fprintf(stderr, "modem-sim: %s (try --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    std::vector<modemsim::CModemSim::SPortSpec> ports;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        }
        if (arg == "-v" || arg == "--verbose") {
            verbose = true;
            continue;
        }
        if (!arg.empty() && arg[0] == '-') return BadUsage("unknown option '" + std::string(arg) + "'");
        std::string name;
        modemsim::SModemConfig config;
        std::string error;
        if (!modemsim::ParsePortArgument(arg, name, config, error)) return BadUsage(error);
        const auto eq = arg.find('=');
        ports.push_back({name, std::string(arg.substr(eq + 1))});
    }
    if (ports.empty()) return BadUsage("no ports given");

    // The signals are taken by sigwait below; blocked before the serving
    // thread starts, they stay blocked there too.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    modemsim::CModemSim sim;
    if (verbose) sim.SetLog([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    std::string error;
    if (!sim.Start(ports, &error)) {
        // Arguments were checked above, so this is a system failure (or a port given twice).
        std::fprintf(stderr, "modem-sim: %s\n", error.c_str());
        return error.find("given twice") != std::string::npos ? 2 : 1;
    }
    for (const std::string& line : sim.EnvAssignments()) std::printf("%s\n", line.c_str());
    std::fflush(stdout);

    int sig = 0;
    while (sigwait(&stopSignals, &sig) != 0) {
    }
    if (verbose) std::fprintf(stderr, "modem-sim: %s, stopping\n", strsignal(sig));
    sim.Stop();
    return 0;
}
