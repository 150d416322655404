#include "distribution.h"

#include "install/manifest.h"
#include "stand_ins.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace make_dist {
namespace {

namespace fs = std::filesystem;

// mscompress 0.4 packs files shorter than this wrongly.
constexpr std::size_t kShortestPackable = 16;

struct PackJob {
    fs::path staged, packed;
};

std::runtime_error Failure(const fs::path& path, const std::string& what) {
    return std::runtime_error(path.string() + ": " + what);
}

std::optional<std::string> ReadIfPresent(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw Failure(path, "cannot read");
    return bytes.str();
}

std::string ReadWhole(const fs::path& path) {
    std::optional<std::string> bytes = ReadIfPresent(path);
    if (!bytes)
        throw Failure(path, std::string("cannot open: ") + std::strerror(errno));
    return *bytes;
}

// A reader never sees half a file: the bytes go to a temporary name first.
void WriteWhole(const fs::path& path, const std::string& bytes) {
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            throw Failure(temporary, "cannot write");
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec)
        throw Failure(path, "cannot replace: " + ec.message());
}

bool IsUpToDate(const fs::path& packed, const fs::path& staged) {
    std::error_code ec;
    auto packedTime = fs::last_write_time(packed, ec);
    if (ec)
        return false;
    return packedTime >= fs::last_write_time(staged);
}

pid_t StartPacker(const fs::path& mscompress, const fs::path& file) {
    std::string program = mscompress.string(), argument = file.string();
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    int error = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0)
        throw Failure(mscompress, std::string("cannot start: ") + std::strerror(error));
    return pid;
}

// mscompress wrote FILE_ beside the staged file; it becomes the packed file at once.
void PlacePacked(const PackJob& job) {
    fs::path written = job.staged;
    written += "_";
    std::error_code ec;
    if (!fs::is_regular_file(written, ec))
        throw Failure(written, "the packer left no packed file");
    fs::rename(written, job.packed, ec);
    if (!ec)
        return;
    fs::path temporary = job.packed;
    temporary += ".tmp";
    fs::copy_file(written, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::rename(temporary, job.packed, ec);
    if (ec)
        throw Failure(job.packed, "cannot place the packed file: " + ec.message());
    fs::remove(written, ec);
}

std::string DescribeStatus(int status) {
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// Runs the packer on every job, as many at once as there are processors. Every started
// packer is waited for, even after a failure; the first failure is then thrown.
void Pack(const fs::path& mscompress, std::vector<PackJob> jobs) {
    // The largest first, so the last ones running are short.
    std::stable_sort(jobs.begin(), jobs.end(), [](const PackJob& a, const PackJob& b) {
        return fs::file_size(a.staged) > fs::file_size(b.staged);
    });
    const std::size_t parallel = std::max(1u, std::thread::hardware_concurrency());
    std::map<pid_t, const PackJob*> running;
    std::string failure;
    std::size_t next = 0;
    while (next < jobs.size() || !running.empty()) {
        while (failure.empty() && next < jobs.size() && running.size() < parallel) {
            const PackJob& job = jobs[next++];
            fs::path stale = job.staged;
            stale += "_";
            std::error_code ec;
            fs::remove(stale, ec); // left by an interrupted run; mscompress would refuse
            try {
                running.emplace(StartPacker(mscompress, job.staged), &job);
            } catch (const std::exception& error) {
                failure = error.what();
            }
        }
        if (running.empty())
            break;
        int status = 0;
        pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        }
        auto found = running.find(pid);
        if (found == running.end())
            continue;
        const PackJob& job = *found->second;
        running.erase(found);
        if (!failure.empty())
            continue;
        if (status != 0) {
            failure =
                mscompress.string() + " " + job.staged.string() + ": " + DescribeStatus(status);
            continue;
        }
        try {
            PlacePacked(job);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (!failure.empty())
        throw std::runtime_error(failure);
}

// Packed files (names ending in "_") that no row names any more.
std::size_t RemoveStale(const fs::path& out, const std::set<std::string>& packedNames) {
    std::size_t removed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
        std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || !name.ends_with("_") || packedNames.contains(name))
            continue;
        fs::remove(entry.path());
        ++removed;
    }
    return removed;
}

// Names come from the manifest; still, none may lead out of the folders it is written to.
void CheckPlainName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("/\\") != std::string_view::npos)
        throw std::runtime_error("the manifest names a file '" + std::string(name) +
                                 "' that is no plain file name");
}

void CreateFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw Failure(folder, "cannot create the folder: " + ec.message());
}

} // namespace

DistributionReport MakeDistribution(const DistributionPaths& paths) {
    const std::string setup = ReadWhole(paths.setup);
    CreateFolder(paths.staging);
    CreateFolder(paths.out);
    DistributionReport report;
    std::vector<PackJob> jobs;
    std::set<std::string> packedNames;
    for (const install::ManifestRow& row : install::kManifest) {
        CheckPlainName(row.target);
        CheckPlainName(row.packed);
        const std::string bytes = StandIn(row, setup);
        if (bytes.size() < kShortestPackable)
            throw std::runtime_error(std::string(row.target) + ": " + std::to_string(bytes.size()) +
                                     " bytes; mscompress mis-packs files under 16 bytes");
        const fs::path staged = paths.staging / row.target;
        const fs::path packed = paths.out / row.packed;
        packedNames.emplace(row.packed);
        ++report.files;
        const bool unchanged = ReadIfPresent(staged) == bytes;
        if (!unchanged) {
            WriteWhole(staged, bytes);
            ++report.written;
        }
        if (unchanged && IsUpToDate(packed, staged))
            continue;
        jobs.push_back({staged, packed});
    }
    report.packed = jobs.size();
    Pack(paths.mscompress, std::move(jobs));
    report.removed = RemoveStale(paths.out, packedNames);
    return report;
}

} // namespace make_dist
