// The qt interface on Qt's offscreen platform:
//
// - Start-up: the distribution's setup program started as a user starts it, until its
//   agreement page is on the screen. The program follows a one-step UI script ("close
//   Lizenz"), which runs once the page is shown and painted; its transcript goes to a pipe,
//   and the time is taken when "unload Lizenz" arrives there: the page was visible before.
//   Target: 300 ms.
// - DrawProgress: the copy window's bar drawn at each percentage with the events it lets
//   through (Qt paints the box inside them), in this process. Target: 5 ms each.
#include "app/DateinCopy.h"
#include "forms/qt/qt_backend.h"
#include "forms/runtime.h"
#include "platform/portable/clock.h"
#include "platform/portable/machine.h"
#include "system/Setup_API.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kStartUpMs = 300;
constexpr double kDrawProgressMs = 5;

std::vector<double> startUps;

fs::path Scratch() {
    static fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("zp_qt_bench_" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

fs::path FreshMachine(const std::string& name) {
    fs::path root = Scratch() / name;
    fs::remove_all(root);
    std::string init = std::string(ZEPMACHINE_BIN) + " init " + root.string() + " >/dev/null";
    if (std::system(init.c_str()) != 0)
        std::abort();
    return root;
}

// Milliseconds from the start of the process until its transcript says the page was left.
double StartUpOnce(const fs::path& machine, const fs::path& script) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        std::abort();
    auto start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        std::string transcript = "ZEPSETUP_TRANSCRIPT=/dev/fd/" + std::to_string(pipeFds[1]);
        std::string machineVar = "ZEPSETUP_MACHINE=" + machine.string();
        std::string scriptVar = "ZEPSETUP_UI_SCRIPT=" + script.string();
        for (std::string* e : {&transcript, &machineVar, &scriptVar})
            ::putenv(e->data());
        ::putenv(const_cast<char*>("ZEPSETUP_UI=qt"));
        ::putenv(const_cast<char*>("QT_QPA_PLATFORM=offscreen"));
        std::freopen("/dev/null", "w", stderr);
        std::string program = std::string(ZEPSETUP_DIST) + "/zepsetup";
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    double ms = -1;
    std::string pending;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, static_cast<size_t>(n));
        if (ms < 0 && pending.find("unload Lizenz\n") != std::string::npos)
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (ms < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 2)
        std::abort(); // the run did not go as the script says
    return ms;
}

void BM_StartUpToTheAgreementPage(benchmark::State& state) {
    fs::path machine = FreshMachine("startup");
    fs::path script = Scratch() / "close.ui";
    std::ofstream(script) << "close Lizenz\n";
    StartUpOnce(machine, script); // the machine's first use, and warm caches
    for (auto _ : state) {
        double ms = StartUpOnce(machine, script);
        startUps.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
}
BENCHMARK(BM_StartUpToTheAgreementPage)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The copy window with its layout, without its work.
struct CopyWindow : app::DateinCopyForm {
    void Form_Load() override { Setup_API::CenterForm(*this); }
};

void BM_DrawProgressWithItsEvents(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    portable::UseMachine(portable::Machine::Open(FreshMachine("draw")));
    portable::UseClock(portable::ClockKind::Virtual);
    forms::qt::QtBackend backend({});
    forms::Runtime::Get().SetBackend(&backend);
    {
        CopyWindow window;
        window.Show();
        forms::qt::QtBackend::ProcessEvents();
        std::int16_t percent = 0;
        for (auto _ : state) {
            Setup_API::DrawProgress(window.Picture1, percent);
            percent = static_cast<std::int16_t>((percent + 1) % 101);
        }
        forms::Runtime::Get().Reset();
    }
    forms::Runtime::Get().SetBackend(nullptr);
    portable::UseMachine(nullptr);
}
BENCHMARK(BM_DrawProgressWithItsEvents)->Unit(benchmark::kMillisecond)->MinTime(1.0);

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

class Summary : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.benchmark_name().find("DrawProgress") != std::string::npos)
                drawMs_ = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (!startUps.empty())
            std::printf("start-up to the agreement page: best %.0f ms, median %.0f ms, worst "
                        "%.0f ms (target %.0f ms)\n",
                        Percentile(startUps, 0), Percentile(startUps, 0.5), Percentile(startUps, 1),
                        kStartUpMs);
        if (drawMs_ > 0)
            std::printf("DrawProgress with its events: %.3f ms each (target %.0f ms)\n", drawMs_,
                        kDrawProgressMs);
    }

private:
    double drawMs_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Summary summary;
    benchmark::RunSpecifiedBenchmarks(&summary);
    benchmark::Shutdown();
    fs::remove_all(Scratch());
    return 0;
}
