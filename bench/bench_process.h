// Processes a benchmark starts and measures: wall time, CPU time and peak resident memory
// of the process and every descendant it waited for.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Usage {
    double wall = 0, cpu = 0, peakMb = 0;
    int status = -1;
};

// Runs argv with the environment env added (and stdin, stdout from and to files when
// given). Output is dropped unless BENCH_VERBOSE is set.
Usage Measure(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const std::string& in = {}, const std::string& out = {});

// A folder of its own under the temporary folder (prefix-XXXXXX) for one benchmark run,
// removed with everything in it when the run ends.
struct ScratchFolder {
    std::filesystem::path dir;
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

// Runs a command line through the shell; its exit status.
int Shell(const std::string& command);

} // namespace bench
