#include "bench_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

Usage Measure(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const std::string& in, const std::string& out) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        if (!std::getenv("BENCH_VERBOSE")) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
        }
        if (!in.empty() && !std::freopen(in.c_str(), "r", stdin))
            ::_exit(126);
        if (!out.empty() && !std::freopen(out.c_str(), "w", stdout))
            ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    Usage u;
    u.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    u.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    u.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    u.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return u;
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    dir = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace bench
