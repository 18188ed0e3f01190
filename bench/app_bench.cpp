// The running utility, in a terminal of its own (tmux) with simulated modems
// (modem-sim). Prints, with their targets:
//   time from start to the first drawn search dialog (and, for comparison,
//     the harness's own time to show a line of a trivial program)
//   CPU of the program over 10 s idle in the main dialog       target 0.0 s
//   CPU of the program over 10 s of the search clip while the
//     scan waits on silent ports                               target < 2 % of a core
//   peak resident memory (VmHWM) of the program                target < 8 MB
// Only the plovex process is measured (all its threads), never tmux.
//   app_bench [--with-test-run]   (also a whole test run, about a minute,
//                                  before the peak memory is read)
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <fstream>
#include <string>
#include <vector>

#include "platform/base/Clock.h"
#include "tests/e2e/SimulatedModems.h"

namespace {

using e2e::ReadTextFile;

using Steady = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr int kWindowMs = 10000;

double MsSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// utime + stime of the whole process (every thread), in seconds, from
// /proc/PID/stat (clock ticks).
double StatCpuSeconds(int pid)
{
    const std::string stat = ReadTextFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t paren = stat.rfind(')');
    if (paren == std::string::npos) return -1;
    std::istringstream in(stat.substr(paren + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields from the state (3rd) on; utime and stime are the 14th and 15th.
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Time on a CPU of every thread, in seconds, from /proc/PID/task/*/schedstat
// (nanoseconds; finer than the ticks of the stat file).
double SchedCpuSeconds(int pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d) return -1;
    unsigned long long ns = 0;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::istringstream in(ReadTextFile(dir + "/" + e->d_name + "/schedstat"));
        unsigned long long n = 0;
        if (in >> n) ns += n;
    }
    closedir(d);
    return static_cast<double>(ns) / 1e9;
}

// A line of /proc/PID/status in kB ("VmHWM"), or -1.
long StatusKb(int pid, const std::string& key)
{
    std::istringstream in(ReadTextFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, key.size() + 1, key + ":") == 0) return std::atol(line.c_str() + key.size() + 1);
    return -1;
}

struct SCpu {
    double stat = 0, sched = 0;
};

SCpu CpuOver(int pid, int ms)
{
    const SCpu before{StatCpuSeconds(pid), SchedCpuSeconds(pid)};
    plat::Clock().SleepMs(ms);
    return {StatCpuSeconds(pid) - before.stat, SchedCpuSeconds(pid) - before.sched};
}

void Print(const char* what, const std::string& figure, const char* target)
{
    std::printf("%-56s %20s   target %s\n", what, figure.c_str(), target);
    std::fflush(stdout);
}

std::string Format(const char* fmt, double a, double b = 0)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The plovex process of a session, or 0 (with a note) when it is not one.
int ProgramPid(const e2e::CTerminalSession& s)
{
    const int pid = s.Pid();
    std::string comm = ReadTextFile("/proc/" + std::to_string(pid) + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (pid <= 0 || comm != "plovex") {
        std::fprintf(stderr, "app_bench: the terminal runs '%s', not plovex\n", comm.c_str());
        return 0;
    }
    return pid;
}

bool Fail(const char* what, const e2e::CTerminalSession& s)
{
    std::fprintf(stderr, "app_bench: %s; the screen:\n%s\n", what, s.Screen().c_str());
    return false;
}

// (1) From start to the first drawn search dialog, and the same harness
// showing a trivial program's line.
bool MeasureStart()
{
    e2e::CModemSimProcess sim({"COM3=korvane336"});
    if (!sim.Started()) {
        std::fprintf(stderr, "app_bench: %s\n", sim.Error().c_str());
        return false;
    }
    std::vector<double> program, baseline;
    for (int i = 0; i < kRuns; ++i) {
        Steady::time_point start = Steady::now();
        {
            e2e::CTerminalSession s({"sh", "-c", "echo harness-ready; exec sleep 10"}, e2e::PortOptions(sim));
            if (!s.WaitForText("harness-ready", 10000)) return Fail("the trivial program did not show", s);
            baseline.push_back(MsSince(start));
        }
        start = Steady::now();
        e2e::CTerminalSession s({e2e::PlovexPath()}, e2e::PortOptions(sim));
        if (!s.WaitForText("Searching For Korvane Modems", 10000)) return Fail("no search dialog", s);
        program.push_back(MsSince(start));
    }
    Print("start to first drawn search dialog, median of 5", Format("%.1f ms", Median(program)), "none given");
    Print("  (harness alone: tmux start to a program's first line)", Format("%.1f ms", Median(baseline)), "-");
    return true;
}

// (2) Idle in the main dialog; (4) peak memory afterwards, optionally after
// a whole test run.
bool MeasureIdle(bool withTestRun, long& peakKb)
{
    e2e::CPlovexWithModems p({"COM3=korvane336,dialdelay=200"});
    if (!p.Started()) {
        std::fprintf(stderr, "app_bench: %s\n", p.Error().c_str());
        return false;
    }
    e2e::CTerminalSession& s = p.Term();
    if (!s.WaitForText("COM3 - Korvane Modem", 20000)) return Fail("no main dialog", s);
    const int pid = ProgramPid(s);
    if (!pid) return false;
    plat::Clock().SleepMs(500);  // the last drawing settles
    const SCpu idle = CpuOver(pid, kWindowMs);
    Print("CPU over 10 s idle in the main dialog (stat ticks)", Format("%.2f s", idle.stat), "0.0 s");
    Print("  the same from schedstat", Format("%.4f s", idle.sched), "0.0 s");

    s.SendKeys({"Down", "Down", "Down"});
    if (!s.WaitForText("V3.10-0422", 10000)) return Fail("no query result", s);
    if (withTestRun) {
        s.SendKeys({"Enter"});
        if (!s.WaitForText("Testing For Dialtone", 5000)) return Fail("no test run", s);
        if (!s.WaitUntil([](const std::string& sc) { return sc.find("Reset") != std::string::npos; }, 120000))
            return Fail("the test run did not end", s);
        plat::Clock().SleepMs(3000);  // "+++" and "AT&T0"
    }
    peakKb = std::max(peakKb, StatusKb(pid, "VmHWM"));
    Print(withTestRun ? "peak resident memory after search, query and a test run"
                      : "peak resident memory after search, query and idle",
          Format("%.2f MB", static_cast<double>(StatusKb(pid, "VmHWM")) / 1024.0), "< 8 MB");
    return true;
}

// (3) The search clip while the scan blocks on silent ports: COM3 answers
// within about 2 s of the start, then COM4 and COM5 each keep the scan
// waiting for about 12 s; the window runs from 3 s to 13 s.
bool MeasureAnimation(long& peakKb)
{
    e2e::CPlovexWithModems p({"COM3=korvane336", "COM4=silent", "COM5=silent"});
    if (!p.Started()) {
        std::fprintf(stderr, "app_bench: %s\n", p.Error().c_str());
        return false;
    }
    e2e::CTerminalSession& s = p.Term();
    if (!s.WaitForText("Searching For Korvane Modems", 10000)) return Fail("no search dialog", s);
    const int pid = ProgramPid(s);
    if (!pid) return false;
    plat::Clock().SleepMs(3000);
    const SCpu clip = CpuOver(pid, kWindowMs);
    if (s.Screen().find("Searching For Korvane Modems") == std::string::npos)
        std::fprintf(stderr, "app_bench: the search ended inside the window; the figure is not the clip's alone\n");
    Print("CPU over 10 s of the search clip, scan blocked (stat)",
          Format("%.2f s = %.2f %%", clip.stat, clip.stat * 100.0 * 1000.0 / kWindowMs), "< 2 % of a core");
    Print("  the same from schedstat",
          Format("%.4f s = %.2f %%", clip.sched, clip.sched * 100.0 * 1000.0 / kWindowMs), "< 2 % of a core");
    const long hwm = StatusKb(pid, "VmHWM");
    peakKb = std::max(peakKb, hwm);
    Print("peak resident memory while the search clip plays",
          Format("%.2f MB", static_cast<double>(hwm) / 1024.0), "< 8 MB");
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool withTestRun = argc > 1 && std::strcmp(argv[1], "--with-test-run") == 0;
    if (!e2e::CTerminalSession::Available()) {
        std::fprintf(stderr, "app_bench: tmux is not installed\n");
        return 1;
    }
    for (const std::string& program : {e2e::PlovexPath(), e2e::ModemSimPath()})
        if (access(program.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "app_bench: %s is not built\n", program.c_str());
            return 1;
        }
    long peakKb = 0;
    const bool ok = MeasureStart() && MeasureAnimation(peakKb) && MeasureIdle(withTestRun, peakKb);
    if (ok) Print("peak resident memory (VmHWM), highest seen", Format("%.2f MB", static_cast<double>(peakKb) / 1024.0), "< 8 MB");
    return ok ? 0 : 1;
}
