// A machine that has filled up, beside a fresh one, in one run:
//   install     the distribution's full installation (every option, virtual clock) on a
//               fresh machine, on one with 50,000 files in C:\WINDOWS and on one with
//               50,000 files in C:\Programme; target: at most 1.5 times the fresh time
//   lookup      a new `zepmachine ls` process looking up one name in a folder of 20,000
//               names, beside the same look-up in a folder of one name (the bare start);
//               target: at most 5 ms above it
// The big folders hold long names that all need a numeric tail ("Langer Dateiname
// 00001.txt"), made on the host; the machine has met them once (`zepmachine ls`) before
// anything is measured, as a machine that filled up over time has. Every run starts from a
// copy of its prepared machine.
//
// ZEPSETUP_BENCH_ZEPMACHINE and ZEPSETUP_BENCH_DIST name another build's zepmachine and
// distribution (to measure an earlier commit on the same machine with this program).
#include "bench_process.h"
#include "support/run_scripts.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Measure;
using bench::Shell;
using bench::Usage;

using testing_support::kFullInstall;
using testing_support::exit_status::kRestartNeeded;

constexpr long kBigFolder = 50000;
constexpr long kLookupFolder = 20000;
constexpr double kInstallRatio = 1.5;
constexpr double kLookupMs = 5;

std::string FromEnv(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

const std::string& Zepmachine() {
    static const std::string path = FromEnv("ZEPSETUP_BENCH_ZEPMACHINE", ZEPMACHINE_BIN);
    return path;
}

const std::string& Dist() {
    static const std::string path = FromEnv("ZEPSETUP_BENCH_DIST", ZEPSETUP_DIST);
    return path;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

void MakeFiles(const fs::path& folder, long n) {
    fs::create_directories(folder);
    for (long i = 1; i <= n; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Langer Dateiname %05ld.txt", i);
        int fd = ::open((folder / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            std::abort();
        ::close(fd);
    }
}

struct Bench : bench::ScratchFolder {
    Bench() : ScratchFolder("big-machine-bench") {
        std::ofstream(dir / "install.ui") << kFullInstall;
    }
    std::string Zep(const fs::path& machine) const {
        return Zepmachine() + " --machine " + Quoted(machine.string()) + " ";
    }
    // A prepared machine (made once): fresh, on a virtual clock, with n files in each of
    // the folders given (relative to drive C:), each met once by the machine.
    fs::path Template(const std::string& name, const std::vector<std::string>& folders, long n) {
        fs::path m = dir / ("template-" + name);
        if (fs::exists(m))
            return m;
        if (Shell(Zepmachine() + " init " + Quoted(m.string()) + " >/dev/null") != 0 ||
            Shell(Zep(m) + "clock virtual >/dev/null") != 0)
            std::abort();
        for (const auto& folder : folders)
            MakeFiles(m / "drive_c" / folder, n);
        Meet(m, folders);
        return m;
    }
    // The machine meets the folders once their times have settled.
    void Meet(const fs::path& m, const std::vector<std::string>& folders) const {
        ::usleep(60'000);
        for (const auto& folder : folders) {
            std::string win = folder;
            std::replace(win.begin(), win.end(), '/', '\\');
            if (Shell(Zep(m) + "ls " + Quoted("C:\\" + win + "\\Langer Dateiname 00001.txt") +
                      " >/dev/null") != 0)
                std::abort();
        }
    }
    fs::path CopyOf(const fs::path& from) {
        fs::path to = dir / "run";
        std::error_code ec;
        fs::remove_all(to, ec);
        if (Shell("cp -a " + Quoted(from.string()) + " " + Quoted(to.string())) != 0)
            std::abort();
        return to;
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

struct Summary {
    double wall = 0, cpu = 0, peak = 0;
    int runs = 0;
    void Add(const Usage& u) {
        wall += u.wall;
        cpu += u.cpu;
        peak = std::max(peak, u.peakMb);
        ++runs;
    }
    double Wall() const { return runs ? wall / runs : 0; }
    double Cpu() const { return runs ? cpu / runs : 0; }
};
std::map<std::string, Summary> results;

enum Machine { kFresh = 0, kBigWindows = 1, kBigProgramme = 2 };
const char* const kTemplateNames[] = {"fresh", "windows", "programme"};
const char* const kMachineNames[] = {"fresh", "50,000 files in C:\\WINDOWS",
                                     "50,000 files in C:\\Programme"};

void BM_Install(benchmark::State& state) {
    Bench& b = TheBench();
    auto which = static_cast<Machine>(state.range(0));
    std::vector<std::string> folders;
    if (which != kFresh)
        folders = {which == kBigWindows ? "WINDOWS" : "Programme"};
    fs::path prepared = b.Template(kTemplateNames[which], folders, kBigFolder);
    for (auto _ : state) {
        // A copy is other folders to the host (new inodes and change times): the machine
        // meets them again, as it had met the originals, before anything is measured.
        fs::path m = b.CopyOf(prepared);
        b.Meet(m, folders);
        Usage u = Measure({Dist() + "/zepsetup"},
                          {"ZEPSETUP_MACHINE=" + m.string(), "ZEPSETUP_UI=headless",
                           "ZEPSETUP_UI_SCRIPT=" + (b.dir / "install.ui").string(),
                           "ZEPSETUP_TRANSCRIPT=" + (b.dir / "transcript.log").string(),
                           "ZEPMACHINE=" + Zepmachine()});
        if (u.status != kRestartNeeded) {
            state.SkipWithError("the installation did not end as expected");
            return;
        }
        state.SetIterationTime(u.wall);
        results[kMachineNames[which]].Add(u);
    }
    state.counters["cpu_s"] = results[kMachineNames[which]].Cpu();
}
BENCHMARK(BM_Install)
    ->Arg(kFresh)
    ->Arg(kBigWindows)
    ->Arg(kBigProgramme)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A new process's look-up: in the big folder (range 1) or the folder of one name (range 0).
void BM_NewProcessLookup(benchmark::State& state) {
    Bench& b = TheBench();
    bool big = state.range(0) == 1;
    fs::path m = b.Template("lookup", {"Gross"}, kLookupFolder);
    fs::create_directories(m / "drive_c" / "Klein");
    std::ofstream(m / "drive_c" / "Klein" / "Langer Dateiname 10000.txt");
    std::string path =
        big ? "C:\\Gross\\Langer Dateiname 10000.txt" : "C:\\Klein\\Langer Dateiname 10000.txt";
    std::vector<std::string> argv = {Zepmachine(), "--machine", m.string(), "ls", path};
    Measure(argv, {}); // the small folder is met once; neither is changed afterwards
    for (auto _ : state) {
        Usage u = Measure(argv, {});
        if (u.status != 0) {
            state.SkipWithError("the look-up failed");
            return;
        }
        state.SetIterationTime(u.wall);
        results[big ? "lookup big" : "lookup small"].Add(u);
    }
}
BENCHMARK(BM_NewProcessLookup)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void PrintSummary() {
    const Summary& fresh = results[kMachineNames[kFresh]];
    if (fresh.runs) {
        std::printf("\ninstallation (mean wall and CPU of the setup and every process it "
                    "started; target <= %.1fx fresh):\n",
                    kInstallRatio);
        for (Machine m : {kFresh, kBigWindows, kBigProgramme}) {
            const Summary& s = results[kMachineNames[m]];
            if (!s.runs)
                continue;
            double ratio = s.Wall() / fresh.Wall();
            std::printf("  %-32s %7.3f s wall %7.3f s CPU %6.1f MB peak  ratio %.2f wall, "
                        "%.2f CPU: %s\n",
                        kMachineNames[m], s.Wall(), s.Cpu(), s.peak, ratio, s.Cpu() / fresh.Cpu(),
                        ratio <= kInstallRatio ? "met" : "MISSED");
        }
    }
    const Summary& small = results["lookup small"];
    const Summary& big = results["lookup big"];
    if (small.runs && big.runs) {
        double above = (big.Wall() - small.Wall()) * 1e3;
        std::printf("\nnew process looking up one name (mean wall; target <= %.0f ms above the "
                    "bare start):\n"
                    "  folder of 1 name (bare start) %7.2f ms   folder of %ld names %7.2f ms   "
                    "above %.2f ms (CPU %.2f ms), ratio %.2f: %s\n",
                    kLookupMs, small.Wall() * 1e3, kLookupFolder, big.Wall() * 1e3, above,
                    (big.Cpu() - small.Cpu()) * 1e3, big.Wall() / small.Wall(),
                    above <= kLookupMs ? "met" : "MISSED");
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
    benchmark::Shutdown();
    return 0;
}
