// Verifying a large three-pair package, against reading the same file once.
//
// The package is built on first use at HARMOLOAD_BENCH_PACKAGE (default
// /tmp/harmoload-bench.DAT) with HARMOLOAD_BENCH_MIB mebibytes (default 512) and kept for later
// runs; delete it to change its size. Every benchmark reads it from a warm page cache.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "package/PackageBuilder.h"
#include "package/PackageSum.h"
#include "package/PackageVerifier.h"
#include "platform/Files.h"
#include "platform/testing/RecordingNotifier.h"

namespace harmoload {
namespace {

std::string Environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

bool WriteFilledFile(const std::string& path, uint64_t bytes, uint32_t pattern) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    std::mt19937 random(pattern);
    std::vector<uint32_t> block(1 << 16);
    for (uint64_t written = 0; written < bytes;) {
        for (uint32_t& word : block) {
            word = static_cast<uint32_t>(random());
        }
        const size_t chunk = static_cast<size_t>(
            std::min<uint64_t>(block.size() * sizeof(uint32_t), bytes - written));
        std::fwrite(block.data(), 1, chunk, out);
        written += chunk;
    }
    return std::fclose(out) == 0;
}

// The benchmark package: three pairs, each a small profile and a third of the data.
const std::string& BenchPackage() {
    static const std::string path = [] {
        const std::string package =
            Environment("HARMOLOAD_BENCH_PACKAGE", "/tmp/harmoload-bench.DAT");
        if (FileExists(package)) {
            return package;
        }
        const uint64_t total = std::stoull(Environment("HARMOLOAD_BENCH_MIB", "512")) << 20;
        const std::string profile = package + ".ini";
        const std::string text = "[Chip Info]\nChip Type=2\nChip Size=2M\n";
        std::FILE* ini = std::fopen(profile.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), ini);
        std::fclose(ini);
        PackageContents contents{"BENCH", "V1.00", {"A0", "bB0", "C1"}, {}};
        std::vector<std::string> inputs;
        for (int i = 0; i < 3; ++i) {
            inputs.push_back(package + ".data" + std::to_string(i));
            WriteFilledFile(inputs.back(), (total - 4096) / 3, static_cast<uint32_t>(i + 1));
            contents.pairs.push_back({i == 0 ? "R1" : "R2", profile, inputs.back()});
        }
        RecordingNotifier notifier;
        if (!BuildPackage(contents, package, notifier)) {
            std::fprintf(stderr, "cannot build %s\n", package.c_str());
            std::exit(1);
        }
        for (const std::string& input : inputs) {
            DeleteFileAt(input);
        }
        DeleteFileAt(profile);
        return package;
    }();
    return path;
}

int64_t PackageBytes() {
    BinaryFile file;
    file.open(BenchPackage(), FileAccess::Read);
    return static_cast<int64_t>(file.size().value_or(0));
}

// Reading the file once, start to end, through a buffer of the size the sum uses.
void BM_ReadOnce(benchmark::State& state) {
    const std::string& path = BenchPackage();
    std::vector<char> buffer(kSumBufferBytes);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * PackageBytes());
}

void BM_VerifyPackage(benchmark::State& state) {
    const std::string& path = BenchPackage();
    for (auto _ : state) {
        PackageRecord record;
        if (VerifyPackage(path, record) != PackageFault::None) {
            state.SkipWithError("the benchmark package does not verify");
            break;
        }
        benchmark::DoNotOptimize(record);
    }
    state.SetBytesProcessed(state.iterations() * PackageBytes());
}

// The sum alone, over a buffer that stays in cache.
void BM_PackageSum(benchmark::State& state) {
    std::vector<uint8_t> bytes(kSumBufferBytes);
    std::mt19937 random(7);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(AddPackageSum(0, bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

// Reading a 10 MB value from an INI file: the time the INI tests leave to the benchmarks (they
// count the reads it takes instead).
void BM_IniTenMegabyteValue(benchmark::State& state) {
    const std::string path =
        Environment("HARMOLOAD_BENCH_PACKAGE", "/tmp/harmoload-bench.DAT") + ".long.ini";
    const std::string text = "[S]\r\nk=" + std::string(10 * 1000 * 1000, 'v') + "\r\n";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    IniFile ini;
    ini.setFile(path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ini.readValue("S", "k", ""));
    }
    DeleteFileAt(path);
}

BENCHMARK(BM_ReadOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_VerifyPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PackageSum);
BENCHMARK(BM_IniTenMegabyteValue)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace harmoload

BENCHMARK_MAIN();
