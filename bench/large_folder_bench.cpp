// Large folders of the machine, beside a plain listing of the same host folder (opendir,
// readdir and an lstat of every entry, which every first access needs anyway):
//   first access  GetFileAttributesA of one entry when the machine meets the folder for the
//                 first time: the listing, an alias for every new name, a row stored for each
//   lookup        GetFileAttributesA of random entries afterwards, by long name or alias
// for folders of N new long names ("Langer Dateiname 00001.txt": every alias needs a tail)
// and of N names that already fit 8.3 ("D0000001.TXT"), N = 2,000 and 20,000.
// Targets: 20,000 new long names ready in <= 1 s, a later lookup <= 1 ms, growth N log N.
#include "platform/kernel32.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum Kind { kLongNames = 0, kShortNames = 1 };

std::string NameOf(Kind kind, long i) {
    char name[64];
    if (kind == kLongNames)
        std::snprintf(name, sizeof name, "Langer Dateiname %05ld.txt", i);
    else
        std::snprintf(name, sizeof name, "D%07ld.TXT", i);
    return name;
}

struct Shared {
    fs::path dir;
    std::map<std::string, double> seconds; // "first long 20000" -> seconds per operation

    Shared() {
        std::string pattern = (fs::temp_directory_path() / "folder-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir = pattern;
        portable::UseMachine(portable::Machine::Create(dir / "m"));
    }
    ~Shared() {
        portable::UseMachine(nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path Folder(Kind kind, long n) const {
        return dir / "m" / "drive_c" / ((kind == kLongNames ? "Lang" : "Kurz") + std::to_string(n));
    }
    std::string WinFolder(Kind kind, long n) const {
        return std::string("C:\\") + (kind == kLongNames ? "Lang" : "Kurz") + std::to_string(n);
    }
    // The folder with n empty files, made on the host (once).
    void Make(Kind kind, long n) {
        fs::path folder = Folder(kind, n);
        if (fs::exists(folder))
            return;
        fs::create_directories(folder);
        for (long i = 1; i <= n; ++i) {
            int fd = ::open((folder / NameOf(kind, i)).c_str(), O_CREAT | O_WRONLY, 0644);
            ::close(fd);
        }
    }
};

Shared& TheShared() {
    static Shared shared;
    return shared;
}

std::string Key(const char* what, Kind kind, long n) {
    return std::string(what) + (kind == kLongNames ? " long " : " short ") + std::to_string(n);
}

// The machine forgets the folder: its rows go and the process starts afresh, so the next
// access meets every name as new.
void Forget(Shared& shared, Kind kind, long n) {
    portable::Machine& machine = portable::CurrentMachine();
    std::string key = "C:/" + shared.WinFolder(kind, n).substr(3);
    machine.store().Prepare("DELETE FROM names WHERE dir = ?1").Bind(1, key).Run();
    machine.store().Prepare("DELETE FROM folders WHERE dir = ?1").Bind(1, key).Run();
    fs::path root = machine.root();
    portable::UseMachine(portable::Machine::Open(root));
}

void BM_FirstAccess(benchmark::State& state) {
    Shared& shared = TheShared();
    auto kind = static_cast<Kind>(state.range(0));
    long n = state.range(1);
    shared.Make(kind, n);
    std::string path = shared.WinFolder(kind, n) + "\\" + NameOf(kind, n / 2);
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Forget(shared, kind, n);
        state.ResumeTiming();
        auto start = Clock::now();
        if (win::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            state.SkipWithError("entry not found");
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    shared.seconds[Key("first", kind, n)] = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FirstAccess)
    ->Args({kLongNames, 2000})
    ->Args({kLongNames, 20000})
    ->Args({kShortNames, 2000})
    ->Args({kShortNames, 20000})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Lookup(benchmark::State& state) {
    Shared& shared = TheShared();
    auto kind = static_cast<Kind>(state.range(0));
    long n = state.range(1);
    shared.Make(kind, n);
    std::string folder = shared.WinFolder(kind, n) + "\\";
    // Aliases of the long names, as the machine gave them (one per ten entries looked up).
    std::vector<std::string> paths;
    std::mt19937 rng(7);
    for (int i = 0; i < 1000; ++i) {
        long at = 1 + static_cast<long>(rng() % static_cast<unsigned>(n));
        std::string path = folder + NameOf(kind, at);
        if (i % 10 == 0) {
            char alias[MAX_PATH];
            DWORD len = win::GetShortPathNameA(path.c_str(), alias, sizeof alias);
            if (len > 0 && len < sizeof alias)
                path = alias;
        }
        paths.push_back(path);
    }
    size_t i = 0;
    auto start = Clock::now();
    for (auto _ : state) {
        if (win::GetFileAttributesA(paths[i++ % paths.size()].c_str()) == INVALID_FILE_ATTRIBUTES)
            state.SkipWithError("entry not found");
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    shared.seconds[Key("lookup", kind, n)] = seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Lookup)
    ->Args({kLongNames, 2000})
    ->Args({kLongNames, 20000})
    ->Args({kShortNames, 2000})
    ->Args({kShortNames, 20000})
    ->Unit(benchmark::kMicrosecond);

// What any first access costs at least: the host's own listing of the folder.
void BM_PlainListing(benchmark::State& state) {
    Shared& shared = TheShared();
    auto kind = static_cast<Kind>(state.range(0));
    long n = state.range(1);
    shared.Make(kind, n);
    fs::path folder = shared.Folder(kind, n);
    auto start = Clock::now();
    for (auto _ : state) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        DIR* dir = ::fdopendir(fd);
        long count = 0;
        while (dirent* e = ::readdir(dir)) {
            struct stat st;
            count += ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(count);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    shared.seconds[Key("plain", kind, n)] = seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlainListing)
    ->Args({kLongNames, 2000})
    ->Args({kLongNames, 20000})
    ->Args({kShortNames, 2000})
    ->Args({kShortNames, 20000})
    ->Unit(benchmark::kMillisecond);

void PrintSummary() {
    const auto& s = TheShared().seconds;
    std::printf("\nlarge folders, wall time (targets: 20,000 new long names ready in <= 1 s, "
                "a later lookup <= 1 ms):\n");
    std::printf("  %-12s %7s %16s %14s %16s\n", "names", "N", "first access ms", "lookup us",
                "plain listing ms");
    for (Kind kind : {kLongNames, kShortNames}) {
        for (long n : {2000L, 20000L}) {
            auto first = s.find(Key("first", kind, n));
            auto lookup = s.find(Key("lookup", kind, n));
            auto plain = s.find(Key("plain", kind, n));
            if (first == s.end() || lookup == s.end() || plain == s.end())
                continue;
            std::printf("  %-12s %7ld %16.1f %14.2f %16.2f\n",
                        kind == kLongNames ? "new long" : "8.3 already", n, first->second * 1e3,
                        lookup->second * 1e6, plain->second * 1e3);
        }
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
