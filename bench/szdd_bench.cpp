// SZDD expansion, file to file: the project's decoder (directly, and through LZCopy on a
// portable machine) beside libmspack's, on ~80 MB of mixed data packed by Debian's
// mscompress at start-up. Throughput is counted in expanded bytes; the ratio of ours to
// libmspack's is printed at the end.
//
// ZEPSETUP_BENCH_MB sets the size of the data (default 80). Packing is slow (mscompress
// does about 1 MB/s), so the start-up takes a while.
#include "platform/kernel32.h"
#include "platform/lz32.h"
#include "platform/portable/files/szdd.h"
#include "platform/portable/machine.h"

#include <benchmark/benchmark.h>
#include <mspack.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace szdd = portable::szdd;

struct Data {
    fs::path dir;
    fs::path plain;
    fs::path packed;
    std::uint64_t size = 0;
};

Data& Shared() {
    static Data data;
    return data;
}

// Text-like, repetitive and random sections in turn, from a fixed seed.
std::vector<std::uint8_t> MakeData(size_t size) {
    static const char* const words[] = {
        "setup ", "the ", "Windows ",  "SYSTEM.INI", "\r\n",         "[boot]", "=",
        "driver", "C:\\", "WINDOWS\\", "Programme",  "version 4.00", "  ",     "copy ",
        "file ",  "of ",  "and ",      "Zubehör",    "DEVICE=",      "; ",     "0x0400"};
    std::mt19937_64 rng(0x5A44'4433);
    std::vector<std::uint8_t> out;
    out.reserve(size + (1 << 20));
    while (out.size() < size) {
        size_t section = (64 << 10) + rng() % (960 << 10);
        size_t end = out.size() + section;
        switch (rng() % 10) {
        case 0:
        case 1:
        case 2:
        case 3: // text
            while (out.size() < end) {
                std::string_view w = words[rng() % std::size(words)];
                out.insert(out.end(), w.begin(), w.end());
            }
            break;
        case 4:
        case 5:
        case 6: // runs and repeated records
            while (out.size() < end) {
                if (rng() % 2) {
                    out.insert(out.end(), 1 + rng() % 400, static_cast<std::uint8_t>(rng()));
                } else {
                    size_t back = 1 + rng() % 4000, len = 3 + rng() % 60;
                    for (size_t k = 0; k < len && out.size() > back; ++k)
                        out.push_back(out[out.size() - back]);
                    out.push_back(static_cast<std::uint8_t>(rng()));
                }
            }
            break;
        default: // random
            while (out.size() < end)
                out.push_back(static_cast<std::uint8_t>(rng()));
            break;
        }
    }
    out.resize(size);
    return out;
}

bool SameFiles(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 20), by(1 << 20);
    for (;;) {
        x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
        y.read(by.data(), static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() ||
            !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin()))
            return false;
        if (x.gcount() == 0)
            return true;
    }
}

bool ExpandOurs(const fs::path& from, const fs::path& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    if (ok) {
        std::uint8_t head[szdd::kHeaderSize];
        ok = ::read(in, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
             szdd::ReadHeader(head).format == szdd::Format::Compressed;
        szdd::FdSource source(in);
        szdd::FdSink sink(out);
        ok = ok && szdd::ExpandStream(source, sink).status == szdd::Status::Ok;
    }
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return ok;
}

void BM_Ours(benchmark::State& state) {
    const Data& d = Shared();
    fs::path out = d.dir / "ours.out";
    for (auto _ : state) {
        if (!ExpandOurs(d.packed, out)) {
            state.SkipWithError("expansion failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size));
    if (!SameFiles(out, d.plain))
        state.SkipWithError("our expansion differs from the unpacked file");
}

void BM_OursLZCopy(benchmark::State& state) {
    const Data& d = Shared();
    fs::path machineDir = d.dir / "machine";
    if (!portable::Machine::Exists(machineDir)) {
        portable::UseMachine(portable::Machine::Create(machineDir));
        fs::copy_file(d.packed, machineDir / "drive_c" / "DATA.BI_");
    }
    for (auto _ : state) {
        OFSTRUCT of;
        char src[] = "C:\\DATA.BI_";
        char dst[] = "C:\\DATA.BIN";
        INT from = win::LZOpenFileA(src, &of, OF_READ);
        INT to = win::LZOpenFileA(dst, &of, OF_CREATE | OF_WRITE);
        LONG n = win::LZCopy(from, to);
        win::LZClose(from);
        win::LZClose(to);
        if (n != static_cast<LONG>(d.size)) {
            state.SkipWithError("LZCopy failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size));
    if (!SameFiles(machineDir / "drive_c" / "DATA.BIN", d.plain))
        state.SkipWithError("LZCopy's expansion differs from the unpacked file");
}

void BM_Libmspack(benchmark::State& state) {
    const Data& d = Shared();
    fs::path out = d.dir / "libmspack.out";
    msszdd_decompressor* decoder = mspack_create_szdd_decompressor(nullptr);
    if (!decoder) {
        state.SkipWithError("mspack_create_szdd_decompressor failed");
        return;
    }
    for (auto _ : state) {
        if (decoder->decompress(decoder, d.packed.c_str(), out.c_str()) != MSPACK_ERR_OK) {
            state.SkipWithError("libmspack failed");
            break;
        }
    }
    mspack_destroy_szdd_decompressor(decoder);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.size));
    if (!SameFiles(out, d.plain))
        state.SkipWithError("libmspack's expansion differs from the unpacked file");
}

BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_OursLZCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Libmspack)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Keeps each benchmark's throughput (by wall clock and by CPU time) for the summary.
class Recorder : public benchmark::ConsoleReporter {
public:
    struct Rate {
        double wall = 0; // MB/s
        double cpu = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (run.error_occurred || it == run.counters.end())
                continue;
            double cpuSeconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            rates[run.run_name.function_name] = {it->second.value / 1e6,
                                                 Shared().size / cpuSeconds / 1e6};
        }
    }
    std::map<std::string, Rate> rates;
};

bool Prepare() {
    Data& d = Shared();
    const char* mb = std::getenv("ZEPSETUP_BENCH_MB");
    d.size = static_cast<std::uint64_t>(mb ? std::atof(mb) * 1e6 : 80e6);
    std::string pattern = (fs::temp_directory_path() / "szdd-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return false;
    d.dir = pattern;
    d.plain = d.dir / "data.bin";
    d.packed = d.dir / "data.bin_";
    {
        auto bytes = MakeData(d.size);
        std::ofstream out(d.plain, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    std::cerr << "packing " << d.size / 1e6 << " MB with mscompress...\n";
    std::string command = "cd '" + d.dir.string() + "' && mscompress data.bin";
    if (std::system(command.c_str()) != 0 || !fs::exists(d.packed))
        return false;
    std::cerr << "packed to " << fs::file_size(d.packed) / 1e6 << " MB\n";
    return true;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!Prepare()) {
        std::cerr << "cannot prepare the data (is mscompress installed?)\n";
        return 1;
    }
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    portable::UseMachine(nullptr);
    std::error_code ec;
    fs::remove_all(Shared().dir, ec);

    auto& r = recorder.rates;
    std::printf("\nSZDD expansion, file to file, %.0f MB expanded (MB = 10^6 bytes):\n",
                Shared().size / 1e6);
    std::printf("  %-16s %12s %12s\n", "", "wall MB/s", "CPU MB/s");
    for (const auto& [name, rate] : r)
        std::printf("  %-16s %12.1f %12.1f\n", name.c_str(), rate.wall, rate.cpu);
    if (r.count("BM_Ours") && r.count("BM_Libmspack")) {
        const auto &ours = r["BM_Ours"], &theirs = r["BM_Libmspack"];
        std::printf("  ratio ours / libmspack: %.2fx by wall clock, %.2fx by CPU time\n",
                    ours.wall / theirs.wall, ours.cpu / theirs.cpu);
    }
    benchmark::Shutdown();
    return 0;
}
