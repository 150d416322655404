// A huge WININIT.INI: the removal merging its lines into it and `zepmachine boot` running
// it, beside the same on a small file. Each run is a child process; its wall time and peak
// resident memory (ru_maxrss of the child) are measured, and the ratio huge / small printed.
// The huge file holds 1.5 million "NUL=" entries of files that are not there (90 MB): the
// removal reads and rewrites it, the boot runs every entry. Targets: at most 64 MB resident
// for both, time growing with the file and not faster.
//   ZEPSETUP_BENCH_ZEPMACHINE, ZEPSETUP_BENCH_DIST  another build's zepmachine and distribution, to
//   compare
#include "bench_process.h"
#include "support/run_scripts.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using bench::Measure;
using bench::Usage;
using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using testing_support::exit_status::kRestartNeeded;

constexpr long kHugeEntries = 1500000; // 60 bytes each: 90 MB
constexpr long kSmallEntries = 60;
constexpr double kPeakMegabytes = 64;

std::string Zepmachine() {
    const char* other = std::getenv("ZEPSETUP_BENCH_ZEPMACHINE");
    return other ? other : ZEPMACHINE_BIN;
}

std::string Dist() {
    const char* other = std::getenv("ZEPSETUP_BENCH_DIST");
    return other ? other : ZEPSETUP_DIST;
}

struct Bench : bench::ScratchFolder {
    Bench() : ScratchFolder("wininit-bench") {
        std::ofstream(dir / "install.ui") << kFullInstall;
        std::ofstream(dir / "removal.ui") << kConfirmRemoval;
    }
    std::vector<std::string> Environment(const fs::path& machine, const char* script) const {
        return {"ZEPSETUP_MACHINE=" + machine.string(), "ZEPSETUP_UI=headless",
                "ZEPSETUP_UI_SCRIPT=" + (dir / script).string(),
                "ZEPSETUP_TRANSCRIPT=" + (dir / "transcript.log").string(),
                "ZEPMACHINE=" + Zepmachine()};
    }
    // A fresh machine with the suite installed and a WININIT.INI of entries lines put before
    // what the installation scheduled.
    fs::path Installed(const std::string& name, long entries) const {
        fs::path m = dir / name;
        fs::remove_all(m);
        std::string z = Zepmachine() + " --machine " + m.string();
        if (std::system((Zepmachine() + " init " + m.string() + " >/dev/null").c_str()) != 0 ||
            std::system((z + " clock virtual >/dev/null").c_str()) != 0 ||
            Measure({Dist() + "/zepsetup"}, Environment(m, "install.ui")).status != kRestartNeeded)
            std::abort();
        fs::path wininit = m / "drive_c" / "WINDOWS" / "WININIT.INI";
        std::string scheduled;
        if (std::ifstream in(wininit, std::ios::binary); in)
            scheduled.assign(std::istreambuf_iterator<char>(in), {});
        std::ofstream out(wininit, std::ios::binary);
        out << "[rename]\r\n";
        char line[80];
        for (long i = 0; i < entries; ++i) {
            int n =
                std::snprintf(line, sizeof line,
                              "NUL=C:\\WINDOWS\\TEMP\\~ZEPANU.TMP\\UNINSTALL\\ZEP%09ld.TMP\r\n", i);
            out.write(line, n);
        }
        out << "\r\n" << scheduled;
        return m;
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

// "removal huge" -> its run
std::map<std::string, Usage> runs;

void Record(benchmark::State& state, const std::string& what, const Usage& u) {
    state.SetIterationTime(u.wall);
    state.counters["peak_MB"] = u.peakMb;
    runs[what] = u;
}

// The removal, then the boot of what it left.
void BM_RemovalAndBoot(benchmark::State& state) {
    long entries = state.range(0);
    std::string size = entries == kHugeEntries ? "huge" : "small";
    Bench& b = TheBench();
    for (auto _ : state) {
        state.PauseTiming();
        fs::path m = b.Installed(size, entries);
        state.ResumeTiming();
        Usage removal = Measure({Zepmachine(), "--machine", m.string(), "uninstall", "Zepanu03DE"},
                                b.Environment(m, "removal.ui"));
        Usage boot = Measure({Zepmachine(), "--machine", m.string(), "boot"}, {});
        if (removal.status != 0 || boot.status != 0) {
            state.SkipWithError("the removal or the boot did not end as expected");
            return;
        }
        Record(state, "removal " + size, removal);
        runs["boot " + size] = boot;
        state.counters["boot_s"] = boot.wall;
        state.counters["boot_peak_MB"] = boot.peakMb;
        state.counters["MB"] =
            static_cast<double>(fs::file_size(m / "drive_c" / "WINDOWS" / "WININIT.BAK")) /
            (1 << 20);
    }
}

BENCHMARK(BM_RemovalAndBoot)
    ->Arg(kSmallEntries)
    ->Arg(kHugeEntries)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void Line(const std::string& what) {
    const Usage& small = runs[what + " small"];
    const Usage& huge = runs[what + " huge"];
    std::printf("%-8s small %7.3f s (CPU %7.3f) %6.1f MB   huge %7.3f s (CPU %7.3f) %6.1f MB   "
                "ratio %6.1f x time, %5.2f x memory  (%s)\n",
                what.c_str(), small.wall, small.cpu, small.peakMb, huge.wall, huge.cpu, huge.peakMb,
                huge.wall / small.wall, huge.peakMb / small.peakMb,
                huge.peakMb <= kPeakMegabytes ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (runs.size() == 4) {
        std::printf("\nWININIT.INI of %ld entries beside %ld (wall, CPU, peak resident, target "
                    "%.0f MB):\n",
                    kHugeEntries, kSmallEntries, kPeakMegabytes);
        Line("removal");
        Line("boot");
    }
    return 0;
}
