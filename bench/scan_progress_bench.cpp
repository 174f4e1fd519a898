// The wallet scan's progress against the same scan without it, in one run: one partition of
// 200,000 entries (the cached tree of the end-to-end tests, made when missing) listed by the
// scan's own routine, alternately with the progress screen's ticker in force (ten looks a
// second at the growing listing, the line rewritten, the spinner) and without any ticker. The
// capture's documented 2 s pause is counted, not slept.
// Run: cmake --preset bench && cmake --build --preset bench &&
// build/bench/scan_progress_bench Goal: progress_to_plain below 1.02 (best of the runs each way).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/console.h"
#include "core/shared_state.h"
#include "host/platform.h"
#include "host/shell.h"
#include "storage/wallet_scan.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The real platform; screen output goes nowhere and sleeps are only counted.
class QuietPlatform : public Platform {
public:
    int run(const std::string& c, const CommandOptions& o) override {
        return realPlatform().run(c, o);
    }
    void write(std::string_view bytes) override { written += bytes.size(); }
    std::optional<CursorPos> queryCursor() override { return CursorPos{}; }
    Key readKey(int) override { return Key{KeyKind::EndOfInput, ""}; }
    std::string readLine(bool) override { return {}; }
    void sleepMs(int64_t) override {}
    LocalDateTime now() override { return realPlatform().now(); }
    int64_t epochSeconds() override { return realPlatform().epochSeconds(); }
    double random01() override { return 0.5; }
    bool systemPathExists(const std::string& p) override {
        return realPlatform().systemPathExists(p);
    }
    std::size_t written = 0;
};

// CPU time of this process (the installer's own share; find runs in a child).
double selfCpuMs() {
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
}

std::string scanTree() {
    const std::string repo = fs::path(__FILE__).parent_path().parent_path().string();
    const std::string cmd = "/usr/bin/python3 -c \"import sys; sys.path.insert(0, '" + repo +
                            "/tests/sandbox'); import scan_tree; "
                            "print(scan_tree.ensure_scan_tree(200000))\"";
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[512] = {0};
    if (p && std::fgets(buf, sizeof buf, p)) {
        std::string path(buf);
        while (!path.empty() && path.back() == '\n') path.pop_back();
        ::pclose(p);
        return path;
    }
    if (p) ::pclose(p);
    return {};
}

void BM_ScanProgressAgainstPlain(benchmark::State& state) {
    const std::string tree = scanTree();
    if (tree.empty()) {
        state.SkipWithError("no scan tree");
        return;
    }
    std::string tmpl = (fs::temp_directory_path() / "corvane-bench-XXXXXX").string();
    const std::string program = ::mkdtemp(tmpl.data());
    QuietPlatform quiet;
    setPlatform(&quiet);
    resetSharedState();
    S().THISPROGRAMEXECUTABLEFILEPATH = program;
    const std::string folder = storage::mountFolderOf(tree);
    double bestPlain = 1e300, bestProgress = 1e300, sumPlain = 0, sumProgress = 0;
    double cpuPlain = 0, cpuProgress = 0;
    std::size_t entries = 0, ticks = 0;
    int runs = 0;
    auto plainRun = [&](double& cpu) {
        const double c0 = selfCpuMs();
        const auto t0 = Clock::now();
        storage::walletsBelow(folder, &entries);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        cpu += selfCpuMs() - c0;
        return ms;
    };
    auto progressRun = [&](double& cpu) {
        const double c0 = selfCpuMs();
        const auto t0 = Clock::now();
        storage::ScanProgress progress;
        progress.begin(folder, "/dev/bench1");
        storage::ListingCounter counter(program + "/tempout.txt");
        std::vector<std::string> found;
        {
            ScopedCommandTicker ticker([&] {
                ++ticks;
                return progress.tick(counter);
            });
            found = storage::walletsBelow(folder, &entries);
        }
        progress.end(entries, found.size());
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        cpu += selfCpuMs() - c0;
        return ms;
    };
    for (auto _ : state) {
        // The order alternates, so that neither side always finds the page cache warmer.
        double plainMs, progressMs;
        if (runs % 2 == 0) {
            plainMs = plainRun(cpuPlain);
            progressMs = progressRun(cpuProgress);
        } else {
            progressMs = progressRun(cpuProgress);
            plainMs = plainRun(cpuPlain);
        }
        bestPlain = std::min(bestPlain, plainMs);
        bestProgress = std::min(bestProgress, progressMs);
        sumPlain += plainMs;
        sumProgress += progressMs;
        ++runs;
        state.SetIterationTime((plainMs + progressMs) / 1000.0);
    }
    setPlatform(nullptr);
    fs::remove_all(program);
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["plain_best_ms"] = bestPlain;
    state.counters["progress_best_ms"] = bestProgress;
    state.counters["progress_to_plain"] = bestProgress / bestPlain;
    state.counters["mean_ratio"] = sumProgress / sumPlain;
    state.counters["ticks_per_run"] = static_cast<double>(ticks) / runs;
    state.counters["self_cpu_plain_ms"] = cpuPlain / runs;
    state.counters["self_cpu_progress_ms"] = cpuProgress / runs;
}

}  // namespace

BENCHMARK(BM_ScanProgressAgainstPlain)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);  // goal: progress_to_plain < 1.02
