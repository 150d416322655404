// The installation and the removal as a user runs them: the distribution's setup program
// (a full installation with every option), then the removal through the machine's list of
// removable programs, each on a fresh machine with a virtual clock, so that the program's
// designed pauses (150 ms a file, the removal's steps) cost nothing and what is measured is
// the program's own work. For each run: wall time, CPU time (the program and every process
// it started), peak resident memory of any of those processes, and from the machine's
// journal the registry changes, scripts imported and processes started.
//
// The install runs also side by side on a machine that keeps what every change replaced (so
// that the run can be taken back) and on one told to keep nothing (undo_runs 0): the cost
// of that record.
//
// Outside reference, in the same run: Debian's `msexpand` expanding the same 56 packed
// files one process per file into a folder, as a plain script would, and `rm` of those
// files: the floor of what copying and deleting the suite costs on this machine.
#include "bench_process.h"
#include "platform/portable/machine.h"
#include "support/run_scripts.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Measure;
using bench::Shell;
using bench::Usage;

using testing_support::kConfirmRemoval;
using testing_support::kFullInstall;
using namespace testing_support::exit_status;

// Targets: the whole run, the clock's pauses excluded.
constexpr double kInstallSeconds = 0.25;
constexpr double kRemovalSeconds = 0.15;
constexpr double kPeakMegabytes = 30;

struct Journal {
    int registryChanges = 0, scriptsImported = 0, processesStarted = 0;
};

// Counts in the journal lines after line `after`.
Journal Count(const fs::path& machine, long after) {
    std::string out =
        (fs::temp_directory_path() / ("bench-log-" + std::to_string(::getpid()))).string();
    Shell(std::string(ZEPMACHINE_BIN) + " --machine " + machine.string() + " log --since " +
          std::to_string(after) + " > " + out);
    std::ifstream in(out);
    Journal j;
    for (std::string line; std::getline(in, line);) {
        if (line.find(" reg ") != std::string::npos)
            ++j.registryChanges;
        if (line.find(" started: ") != std::string::npos)
            ++j.processesStarted;
        if (size_t at = line.find(" values set"); at != std::string::npos) {
            ++j.scriptsImported;
            // "N keys created, M values set": the import's changes count as changes.
            size_t comma = line.rfind(", ", at);
            if (comma != std::string::npos)
                j.registryChanges += std::atoi(line.c_str() + comma + 2);
        }
    }
    fs::remove(out);
    return j;
}

long LastJournalId(const fs::path& machine) {
    std::string out =
        (fs::temp_directory_path() / ("bench-id-" + std::to_string(::getpid()))).string();
    Shell(std::string(ZEPMACHINE_BIN) + " --machine " + machine.string() + " log | tail -1 > " +
          out);
    std::ifstream in(out);
    long id = 0;
    in >> id;
    fs::remove(out);
    return id;
}

struct Bench : bench::ScratchFolder {
    Bench() : ScratchFolder("setup-bench") {
        std::ofstream(dir / "install.ui") << kFullInstall;
        std::ofstream(dir / "removal.ui") << kConfirmRemoval;
    }
    // A fresh machine on a virtual clock; without recording, it keeps no record of what
    // changes replace.
    fs::path Machine(int n, bool recording = true) const {
        fs::path m = dir / ("m" + std::to_string(n));
        std::string z = std::string(ZEPMACHINE_BIN) + " --machine " + m.string();
        if (Shell(std::string(ZEPMACHINE_BIN) + " init " + m.string() + " >/dev/null") != 0 ||
            Shell(z + " clock virtual >/dev/null") != 0)
            std::abort();
        if (!recording)
            portable::Machine::Open(m)->SetSetting("undo_runs", "0");
        return m;
    }
    std::vector<std::string> Environment(const fs::path& machine, const char* script) const {
        return {"ZEPSETUP_MACHINE=" + machine.string(), "ZEPSETUP_UI=headless",
                "ZEPSETUP_UI_SCRIPT=" + (dir / script).string(),
                "ZEPSETUP_TRANSCRIPT=" + (dir / "transcript.log").string(),
                std::string("ZEPMACHINE=") + ZEPMACHINE_BIN};
    }
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

struct Summary {
    double seconds = 0, cpu = 0, peak = 0;
    Journal journal;
    int runs = 0;
    void Add(const Usage& u) {
        seconds += u.wall;
        cpu += u.cpu;
        peak = std::max(peak, u.peakMb);
        ++runs;
    }
};
Summary install, recorded, unrecorded, removal, expand, deletion;
int machines = 0;

void Report(benchmark::State& state, const Summary& s) {
    state.counters["cpu_s"] = s.cpu / s.runs;
    state.counters["peak_MB"] = s.peak;
    state.counters["reg_changes"] = s.journal.registryChanges;
    state.counters["scripts"] = s.journal.scriptsImported;
    state.counters["processes"] = s.journal.processesStarted;
}

void BM_Install(benchmark::State& state) {
    Bench& b = TheBench();
    for (auto _ : state) {
        fs::path m = b.Machine(++machines);
        long since = LastJournalId(m);
        Usage u = Measure({ZEPSETUP_DIST "/zepsetup"}, b.Environment(m, "install.ui"));
        if (u.status != kRestartNeeded) {
            state.SkipWithError("the installation did not end as expected");
            return;
        }
        state.SetIterationTime(u.wall);
        install.Add(u);
        install.journal = Count(m, since);
    }
    Report(state, install);
}

// The record's cost: each iteration installs on a machine that keeps nothing and on one
// that keeps what every change replaced, taking turns at going first, so that drift of the
// host (caches, other load) falls on both alike.
void BM_RecordSideBySide(benchmark::State& state) {
    Bench& b = TheBench();
    bool recordedFirst = false;
    for (auto _ : state) {
        double wall = 0;
        for (bool recording : {recordedFirst, !recordedFirst}) {
            fs::path m = b.Machine(++machines, recording);
            Usage u = Measure({ZEPSETUP_DIST "/zepsetup"}, b.Environment(m, "install.ui"));
            if (u.status != kRestartNeeded) {
                state.SkipWithError("the installation did not end as expected");
                return;
            }
            (recording ? recorded : unrecorded).Add(u);
            wall += u.wall;
        }
        recordedFirst = !recordedFirst;
        state.SetIterationTime(wall);
    }
    state.counters["wall_ratio"] = recorded.seconds / unrecorded.seconds;
    state.counters["cpu_ratio"] = recorded.cpu / unrecorded.cpu;
}

void BM_Removal(benchmark::State& state) {
    Bench& b = TheBench();
    for (auto _ : state) {
        fs::path m = b.Machine(++machines);
        Usage setup = Measure({ZEPSETUP_DIST "/zepsetup"}, b.Environment(m, "install.ui"));
        long since = LastJournalId(m);
        Usage u = Measure({ZEPMACHINE_BIN, "--machine", m.string(), "uninstall", "Zepanu03DE"},
                          b.Environment(m, "removal.ui"));
        if (setup.status != kRestartNeeded || u.status != kCompleted) {
            state.SkipWithError("the removal did not end as expected");
            return;
        }
        state.SetIterationTime(u.wall);
        removal.Add(u);
        removal.journal = Count(m, since);
    }
    Report(state, removal);
}

// The reference: msexpand of each packed file, then rm of the expanded files.
void BM_ReferenceExpandAndDelete(benchmark::State& state) {
    Bench& b = TheBench();
    fs::path out = b.dir / "expanded";
    std::vector<fs::path> packed;
    for (const auto& e : fs::directory_iterator(ZEPSETUP_DIST)) {
        if (e.path().filename().string().back() == '_')
            packed.push_back(e.path());
    }
    for (auto _ : state) {
        fs::create_directories(out);
        Usage u;
        for (const auto& p : packed) {
            std::string target = (out / p.filename()).string();
            target.back() = 'x';
            // Given no file, msexpand reads the packed file and writes the expansion.
            Usage one = Measure({"/usr/bin/msexpand"}, {}, p.string(), target);
            u.wall += one.wall;
            u.cpu += one.cpu;
            u.peakMb = std::max(u.peakMb, one.peakMb);
        }
        expand.Add(u);
        std::vector<std::string> rm = {"/bin/rm"};
        for (const auto& e : fs::directory_iterator(out))
            rm.push_back(e.path().string());
        Usage gone = Measure(rm, {});
        deletion.Add(gone);
        state.SetIterationTime(u.wall + gone.wall);
    }
    state.counters["cpu_s"] = (expand.cpu + deletion.cpu) / expand.runs;
    state.counters["peak_MB"] = std::max(expand.peak, deletion.peak);
}

BENCHMARK(BM_Install)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RecordSideBySide)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_Removal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
// One round: msexpand reads a byte per system call, so a round takes seconds.
BENCHMARK(BM_ReferenceExpandAndDelete)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void Line(const char* what, const Summary& s, double target) {
    double wall = s.seconds / s.runs;
    std::printf("%-10s %8.3f s wall  %8.3f s CPU  %6.1f MB peak  target %.2f s, %.0f MB: %s\n",
                what, wall, s.cpu / s.runs, s.peak, target, kPeakMegabytes,
                wall <= target && s.peak <= kPeakMegabytes ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (install.runs && removal.runs && expand.runs) {
        std::printf("\nPer run (mean wall and CPU, peak of every process), clock's pauses "
                    "excluded:\n");
        Line("install", install, kInstallSeconds);
        Line("removal", removal, kRemovalSeconds);
        if (unrecorded.runs)
            std::printf("install keeping what it replaced / keeping nothing, taking turns "
                        "(%d each): wall %.2f, CPU %.2f, peak memory %.2f\n",
                        unrecorded.runs, recorded.seconds / unrecorded.seconds,
                        recorded.cpu / unrecorded.cpu, recorded.peak / unrecorded.peak);
        std::printf("install: %d registry changes, %d scripts imported, %d processes started\n",
                    install.journal.registryChanges, install.journal.scriptsImported,
                    install.journal.processesStarted);
        std::printf("removal: %d registry changes, %d scripts imported, %d processes started\n",
                    removal.journal.registryChanges, removal.journal.scriptsImported,
                    removal.journal.processesStarted);
        double reference = (expand.seconds + deletion.seconds) / expand.runs;
        std::printf("reference (msexpand of the 56 files, one process each, then rm): %.3f s\n",
                    reference);
        std::printf("ratio install / reference: %.2f\n",
                    install.seconds / install.runs / (expand.seconds / expand.runs));
        std::printf("ratio removal / rm of the files: %.2f\n",
                    removal.seconds / removal.runs / (deletion.seconds / deletion.runs));
    }
    return 0;
}
