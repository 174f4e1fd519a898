// Benchmarks of the records subsystem: profile write-or-update and read on a file of 1,000
// records, the record sort against the literal pass algorithm in the same run, and one
// encipherment of a 64-character text including its fresh pad file.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "../tests/unit/config/record_models.h"
#include "cipher/text_cipher.h"
#include "config/custom_file.h"
#include "config/system_profile.h"
#include "core/shared_state.h"

namespace {

constexpr int kRecords = 1000;

std::string markerOf(int i) { return "storagePartitionMountPath" + std::to_string(i); }

// A temporary folder holding the profile file of 1,000 records, removed at the end.
class ProfileFolder {
public:
    ProfileFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX");
        path_ = ::mkdtemp(tmpl.data());
        std::ofstream out(path_ + "/installWalletForLinux.cfg", std::ios::binary);
        for (int i = 0; i < kRecords; ++i) out << markerOf(i) << "=/media/user/disk" << i << "\r\n";
        S().THISPROGRAMEXECUTABLEFILEPATH = path_;
        S().THISPROGRAMEXECUTABLEFILENAME = "installWalletForLinux";
    }
    ~ProfileFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void BM_ProfileWriteOrUpdate(benchmark::State& state) {
    ProfileFolder folder;
    bool flip = false;
    for (auto _ : state) {
        S().OBJECTMARKER = markerOf(500);
        S().OBJECTVALUE = (flip = !flip) ? "/media/user/diskA" : "/media/user/diskB";
        WRITEORUPDATEUNIQUEOBJECTVALUEINKESTRELSYSTEMCONFIGFILE();
    }
}
BENCHMARK(BM_ProfileWriteOrUpdate)->Unit(benchmark::kMicrosecond);

void BM_ProfileRead(benchmark::State& state) {
    ProfileFolder folder;
    for (auto _ : state) {
        S().OBJECTMARKER = markerOf(kRecords - 1);
        READOBJECTVALUEINKESTRELSYSTEMCONFIG();
        benchmark::DoNotOptimize(S().OBJECTVALUE);
    }
}
BENCHMARK(BM_ProfileRead)->Unit(benchmark::kMicrosecond);

// 1,000 records in random order, markers of mixed case.
std::string shuffledRecords() {
    std::vector<std::string> lines;
    for (int i = 0; i < kRecords; ++i) {
        std::string marker = markerOf(i);
        if (i % 3 == 0) std::transform(marker.begin(), marker.end(), marker.begin(), ::toupper);
        lines.push_back(marker + "=" + std::to_string(i * 7919 % 1000));
    }
    std::shuffle(lines.begin(), lines.end(), std::mt19937(42));
    std::string file;
    for (const auto& l : lines) file += l + "\r\n";
    return file;
}

void BM_SortRecords1000(benchmark::State& state) {
    const std::string file = shuffledRecords();
    for (auto _ : state) benchmark::DoNotOptimize(sortRecords(file));
}
BENCHMARK(BM_SortRecords1000)->Unit(benchmark::kMillisecond);

void BM_PassSortLiteral1000(benchmark::State& state) {
    const std::string file = shuffledRecords();
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatSortedLines(model::passSort(sortLines(file), false)));
    }
}
BENCHMARK(BM_PassSortLiteral1000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Encipher64WithNewPad(benchmark::State& state) {
    ProfileFolder folder;
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    for (auto _ : state) {
        S().INPUTSTRING = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ$~";
        ENCRYPTSTRING3();
        benchmark::DoNotOptimize(S().ENCRYPTEDSTRING);
    }
    std::filesystem::current_path(saved);
}
BENCHMARK(BM_Encipher64WithNewPad)->Unit(benchmark::kMicrosecond);

}  // namespace
