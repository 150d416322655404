// The machine's registry:
//  (a) importing a generated REGEDIT4 script of about 10 MB (20,000 keys, 240,000 values:
//      strings with umlauts, DWORDs, binary data with continuation lines) into a fresh
//      machine, in-process and as `zepmachine regedit /s`; beside `wine regedit /s` on the
//      same file when Wine is installed, with the ratio printed at the end;
//  (b) WinRegistry::WriteValue (each a persisted change of its own), ReadValue of a working
//      set of values read again and again, and ReadValue of random values of the whole
//      registry ("cold": nearly every read goes to the store), on machines holding 10,000,
//      100,000 and 1,000,000 values, so that the cost of one operation can be compared
//      across registry sizes.
//
// Machines are made under $TMPDIR (or /tmp); the 1,000,000-value machine takes a few seconds
// to fill.
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_import.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "system/WinRegistry.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kImportKeys = 20000;
constexpr int kValuesPerKey = 12;
constexpr int kValuesPerBenchKey = 20;

struct Shared {
    fs::path dir;
    std::string script; // Windows-1252, CR LF
    fs::path scriptFile;
    std::map<long, fs::path> machines; // values -> machine folder
    std::map<std::string, double> secondsPerOp;
    double ourImportSeconds = 0;

    Shared() {
        std::string pattern = (fs::temp_directory_path() / "registry-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir = pattern;
    }
    void Remove() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Shared& TheShared() {
    static Shared shared;
    return shared;
}

std::string Hex(std::mt19937& rng, int bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        unsigned b = rng() & 0xFF;
        if (i)
            out += ',';
        if (i == 24)
            out += "\\\r\n  "; // a continuation line, as exports wrap long lists
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string MakeScript() {
    std::mt19937 rng(1995);
    std::string s = "REGEDIT4\r\n\r\n";
    s.reserve(12 << 20);
    for (int k = 0; k < kImportKeys; ++k) {
        s += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\Gruppe " + std::to_string(k % 100) +
             "\\Schl\xFC"
             "ssel " +
             std::to_string(k) + "]\r\n";
        for (int v = 0; v < 6; ++v)
            s += "\"Gr\xF6\xDF"
                 "e " +
                 std::to_string(v) +
                 "\"=\"M\xFC"
                 "nchen \\\"" +
                 std::to_string(rng() % 100000) + "\\\" \xC4rger \xDF\"\r\n";
        for (int v = 0; v < 3; ++v) {
            char dword[16];
            std::snprintf(dword, sizeof dword, "%08x", static_cast<unsigned>(rng()));
            s += "\"Zahl " + std::to_string(v) + "\"=dword:" + dword + "\r\n";
        }
        s += "\"Bin\xE4r 0\"=hex:" + Hex(rng, 8) + "\r\n";
        s += "\"Bin\xE4r 1\"=hex:" + Hex(rng, 16) + "\r\n";
        s += "\"Bin\xE4r 2\"=hex(3):" + Hex(rng, 40) + "\r\n\r\n";
    }
    return s;
}

const std::string& Script() {
    Shared& shared = TheShared();
    if (shared.script.empty()) {
        shared.script = MakeScript();
        shared.scriptFile = shared.dir / "bench.reg";
        std::ofstream(shared.scriptFile, std::ios::binary) << shared.script;
    }
    return shared.script;
}

fs::path FreshMachineFolder() {
    static int count = 0;
    fs::path dir = TheShared().dir / ("fresh" + std::to_string(count++));
    portable::Machine::Create(dir);
    return dir;
}

void BM_Import(benchmark::State& state) {
    const std::string& script = Script();
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto machine = portable::Machine::Open(FreshMachineFolder());
        state.ResumeTiming();
        auto start = Clock::now();
        auto report = portable::ImportRegistryScript(*machine, script, "bench.reg");
        total += std::chrono::duration<double>(Clock::now() - start).count();
        if (!report.accepted || report.valuesSet != kImportKeys * kValuesPerKey)
            state.SkipWithError("import failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size()));
    state.counters["values"] = kImportKeys * kValuesPerKey;
    TheShared().secondsPerOp["import"] = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Seconds a shell command takes; negative when it fails.
double TimeCommand(const std::string& command) {
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return status == 0 ? seconds : -1;
}

void BM_ImportProcess(benchmark::State& state) {
    Script();
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::path machine = FreshMachineFolder();
        state.ResumeTiming();
        double seconds =
            TimeCommand(std::string(ZEPMACHINE_BIN) + " --machine '" + machine.string() +
                        "' regedit /s '" + TheShared().scriptFile.string() + "'");
        if (seconds < 0)
            state.SkipWithError("zepmachine regedit failed");
        total += seconds;
    }
    TheShared().ourImportSeconds = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ImportProcess)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

std::string KeyOf(long key) {
    return "Bench\\K" + std::to_string(key);
}

// A machine with `values` values under HKEY_CURRENT_USER\Bench, made current.
void UseFilledMachine(long values) {
    Shared& shared = TheShared();
    auto it = shared.machines.find(values);
    if (it == shared.machines.end()) {
        fs::path dir = FreshMachineFolder();
        auto machine = portable::Machine::Open(dir);
        auto store = portable::RegistryStore::Of(*machine);
        portable::Transaction txn(machine->store());
        for (long k = 0; k < values / kValuesPerBenchKey; ++k) {
            bool created = false;
            auto key = store->CreateKey(portable::kCurrentUserKey, KeyOf(k), created);
            for (int v = 0; v < kValuesPerBenchKey; ++v)
                store->SetValue(key, "Wert " + std::to_string(v), REG_SZ,
                                std::string("Inhalt \xFC", 9) + std::to_string(k) + '\0');
        }
        txn.Commit();
        machine->store().Exec("PRAGMA wal_checkpoint(TRUNCATE)"); // not the first write's cost
        machine.reset();
        it = shared.machines.emplace(values, dir).first;
    }
    portable::UseMachine(portable::Machine::Open(it->second));
    // Touch every page once, so that the figures are those of a registry in use rather than
    // of first page faults.
    portable::CurrentMachine().store().Exec(
        "SELECT sum(length(data)), sum(length(upper)) FROM reg_values");
}

void BM_WriteValue(benchmark::State& state) {
    long values = state.range(0);
    UseFilledMachine(values);
    std::mt19937 rng(7);
    long keys = values / kValuesPerBenchKey;
    auto start = Clock::now();
    for (auto _ : state) {
        long key = static_cast<long>(rng() % static_cast<unsigned>(keys));
        WinRegistry::WriteValue(WinRegistry::HKCU, KeyOf(key), "Wert 3",
                                WinRegistry::Value::Long(static_cast<std::int32_t>(rng())));
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetItemsProcessed(state.iterations());
    TheShared().secondsPerOp["write " + std::to_string(values)] =
        seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WriteValue)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->MinTime(3)
    ->Unit(benchmark::kMicrosecond);

// Reads a working set of 1,000 values spread over the registry, as a program reads the few
// values it needs again and again.
void BM_ReadValue(benchmark::State& state) {
    long values = state.range(0);
    UseFilledMachine(values);
    long keys = values / kValuesPerBenchKey;
    std::mt19937 rng(11);
    std::vector<std::string> working;
    for (int i = 0; i < 1000; ++i)
        working.push_back(KeyOf(static_cast<long>(rng() % static_cast<unsigned>(keys))));
    size_t at = 0;
    auto start = Clock::now();
    for (auto _ : state) {
        auto value = WinRegistry::ReadValue(WinRegistry::HKCU, working[at], "Wert 7");
        at = (at + 1) % working.size();
        if (value.IsEmpty())
            state.SkipWithError("value missing");
        benchmark::DoNotOptimize(value);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetItemsProcessed(state.iterations());
    TheShared().secondsPerOp["read " + std::to_string(values)] =
        seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadValue)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Reads random values of the whole registry: nearly every read goes to the store.
void BM_ReadValueCold(benchmark::State& state) {
    long values = state.range(0);
    UseFilledMachine(values);
    std::mt19937 rng(13);
    long keys = values / kValuesPerBenchKey;
    auto start = Clock::now();
    for (auto _ : state) {
        long key = static_cast<long>(rng() % static_cast<unsigned>(keys));
        auto value = WinRegistry::ReadValue(WinRegistry::HKCU, KeyOf(key),
                                            "Wert " + std::to_string(rng() % kValuesPerBenchKey));
        if (value.IsEmpty())
            state.SkipWithError("value missing");
        benchmark::DoNotOptimize(value);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetItemsProcessed(state.iterations());
    TheShared().secondsPerOp["cold " + std::to_string(values)] =
        seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadValueCold)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->MinTime(3)
    ->Unit(benchmark::kMicrosecond);

bool HaveWine() {
    return std::system("command -v wine >/dev/null 2>&1") == 0;
}

void CompareWithWine() {
    Shared& shared = TheShared();
    if (shared.ourImportSeconds <= 0)
        return;
    std::printf("\nimport of %.1f MB (%d keys, %d values):\n",
                static_cast<double>(Script().size()) / (1 << 20), kImportKeys,
                kImportKeys * kValuesPerKey);
    std::printf("  zepmachine regedit /s   %8.3f s\n", shared.ourImportSeconds);
    if (!HaveWine()) {
        std::printf("  wine regedit /s         (Wine is not installed)\n");
        return;
    }
    std::string prefix =
        "WINEPREFIX='" + (shared.dir / "wineprefix").string() + "' WINEDEBUG=-all ";
    if (TimeCommand(prefix + "wineboot -i >/dev/null 2>&1") < 0) // prefix set-up, untimed
        std::printf("  (wineboot failed)\n");
    double wine = TimeCommand(prefix + "wine regedit /s 'Z:" + shared.scriptFile.string() +
                              "' >/dev/null 2>&1");
    if (wine < 0) {
        std::printf("  wine regedit /s         failed\n");
        return;
    }
    std::printf("  wine regedit /s         %8.3f s\n", wine);
    std::printf("  ratio (wine / ours)     %8.1fx (target >= 10x)\n",
                wine / shared.ourImportSeconds);
}

// Targets: persisted writes >= 20,000/s and reads of a working set >= 1,000,000/s at every
// size; random reads of the 1,000,000-value registry >= 100,000/s.
bool Meets(double perSecond, double target) {
    return perSecond >= target;
}

void PrintSizes() {
    const auto& per = TheShared().secondsPerOp;
    std::printf("\nWinRegistry, one operation, wall time (targets: writes >= 20,000/s and "
                "reads >= 1,000,000/s\nat every size, cold reads >= 100,000/s at 1,000,000 "
                "values; * marks a miss):\n");
    std::printf("  %9s %11s %11s %11s %11s %11s %11s\n", "values", "write us", "writes/s",
                "read us", "reads/s", "cold us", "cold/s");
    for (long values : {10000L, 100000L, 1000000L}) {
        auto w = per.find("write " + std::to_string(values));
        auto r = per.find("read " + std::to_string(values));
        auto c = per.find("cold " + std::to_string(values));
        if (w == per.end() || r == per.end() || c == per.end())
            continue;
        double writes = 1 / w->second;
        double reads = 1 / r->second;
        double cold = 1 / c->second;
        bool coldMiss = values == 1000000L && !Meets(cold, 1e5);
        std::printf("  %9ld %11.2f %10.0f%c %11.2f %10.0f%c %11.2f %10.0f%c\n", values,
                    w->second * 1e6, writes, Meets(writes, 2e4) ? ' ' : '*', r->second * 1e6, reads,
                    Meets(reads, 1e6) ? ' ' : '*', c->second * 1e6, cold, coldMiss ? '*' : ' ');
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSizes();
    CompareWithWine();
    portable::UseMachine(nullptr);
    TheShared().Remove();
    return 0;
}
