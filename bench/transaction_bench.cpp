// Port transactions against a pseudo-terminal that answers "ATI3" like a
// modem. Prints, per transaction, the time beyond the caller's wait and the
// CPU time of the calling thread, with their targets:
//   time beyond the wait <= the reply's transfer time at 57600 bit/s
//                           (10 bits a byte) + 20 ms + 5 ms
//   CPU per transaction   <  2 ms
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/comm/PtyPeer.h"
#include "port/ModemPort.h"
#include "tools/modem-sim/ModemSim.h"

namespace {

constexpr int kTransactions = 20;

double ThreadCpuMs()
{
    rusage ru{};
    getrusage(RUSAGE_THREAD, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
}

struct SFigures {
    double beyondMean = 0, beyondMax = 0, cpuMean = 0, cpuMax = 0;
    int wrong = 0;
};

// Runs kTransactions "ATI3" transactions on portName with the given wait; the
// device there answers reply.
SFigures Measure(const char* portName, const std::string& reply, int wait)
{
    SFigures f;
    CModemPort port;
    port.Transact(portName, "ATI3", wait, "\r");  // warm-up, not counted
    for (int i = 0; i < kTransactions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu0 = ThreadCpuMs();
        const CString got = port.Transact(portName, "ATI3", wait, "\r");
        const double cpu = ThreadCpuMs() - cpu0;
        const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double beyond = elapsed - wait;
        if (got.Str() != reply) ++f.wrong;
        f.beyondMean += beyond / kTransactions;
        f.beyondMax = std::max(f.beyondMax, beyond);
        f.cpuMean += cpu / kTransactions;
        f.cpuMax = std::max(f.cpuMax, cpu);
    }
    return f;
}

bool Report(const char* what, const SFigures& f, double transferMs)
{
    const double target = transferMs + 20 + 5;
    const bool ok = f.wrong == 0 && f.beyondMax <= target && f.cpuMax < 2.0;
    std::printf("%s\n", what);
    std::printf("  time beyond wait: mean %6.2f ms, max %6.2f ms   (target <= %.2f ms)\n", f.beyondMean, f.beyondMax, target);
    std::printf("  CPU per transaction: mean %5.3f ms, max %5.3f ms   (target < 2 ms)\n", f.cpuMean, f.cpuMax);
    std::printf("  replies not as sent: %d of %d   -> %s\n", f.wrong, kTransactions, ok ? "met" : "NOT MET");
    return ok;
}

}  // namespace

int main()
{
    plat::CPtyPeer peer("COM3");
    if (!peer.Ok()) {
        std::fprintf(stderr, "no pseudo-terminal available\n");
        return 2;
    }
    // An identification of about 80 bytes, then OK, as a modem with echo on sends it.
    const std::string reply = "ATI3\r\r\nKorvane 56000 V.92 Data/Fax/Voice Modem Version 3.12 (c) Korvane Ltd 1999\r\n\r\nOK\r\n";
    const double transferMs = static_cast<double>(reply.size()) * 10 * 1000.0 / 57600;
    std::printf("transaction_bench: %d transactions each, reply %zu bytes (%.2f ms at 57600 bit/s)\n\n", kTransactions,
                reply.size(), transferMs);

    auto answer = [&](long lineRate) {
        peer.SetAnswerer([&reply, lineRate](const std::string& line) {
            return plat::CPtyPeer::SAnswer{line == "ATI3\r" ? reply : "", 0, false, lineRate};
        });
    };
    answer(0);
    bool ok = Report("reply queued during a 200 ms wait:", Measure("COM3", reply, 200), transferMs);
    answer(57600);
    ok = Report("reply arriving during the read at 57600 bit/s (wait 1 ms):", Measure("COM3", reply, 1), transferMs) && ok;

    // The simulated Korvane 33.6 modem, as the program's search meets it.
    modemsim::CModemSim sim;
    std::string error;
    if (!sim.Start({{"COM4", "korvane336"}}, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    sim.ExportEnvironment();
    const std::string simReply = "ATI3\r\r\nKorvane Portable 33.6 Data+Fax Modem\r\nFirmware V3.10-0422  (c) 1998\r\n\r\nOK\r\n";
    const double simTransferMs = static_cast<double>(simReply.size()) * 10 * 1000.0 / 57600;
    ok = Report("simulated Korvane 33.6 modem, reply queued during a 200 ms wait:", Measure("COM4", simReply, 200), simTransferMs) && ok;
    return ok ? 0 : 1;
}
