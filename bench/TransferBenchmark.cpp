// The packet transfer of one R1 pair into the simulated instrument:
//   BM_TransferVirtualWaits: a 16 MiB image with every wait virtualised, so the time measured is
//     the host's own work (and the simulator's), reported per MiB;
//   BM_TransferRealWaits: a 256 KiB image with the real clock, reported as the wall time over
//     the waits the protocol mandates (400 ms after each 4 KiB packet header, 50 ms after the
//     handshake).
// After the runs the process's peak memory is printed beside the data size.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/Clock.h"
#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "transfer/PacketTransferEngine.h"

namespace harmoload {
namespace {

struct PairFiles {
    std::string profile;
    std::string data;
};

PairFiles WritePair(size_t bytes, const char* dataLength) {
    const auto folder = std::filesystem::temp_directory_path() / "harmoload-transfer-bench";
    std::filesystem::create_directories(folder);
    PairFiles files{(folder / "TEMP.INI").string(), (folder / "TEMP.BIN").string()};
    std::ofstream(files.profile) << "[Chip Info]\nChip Type=2\nChip Size=64M\n"
                                 << "[Transmission Info]\nChip Name=0\nData Length=" << dataLength
                                 << "\n";
    std::vector<char> data(bytes);
    for (size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>(i * 131 + (i >> 12));
    }
    std::ofstream(files.data, std::ios::binary).write(data.data(), static_cast<long>(bytes));
    return files;
}

bool RunOnce(const PairFiles& files, Clock& clock) {
    RecordingNotifier notifier;
    sim::SimulatedUsb usb(clock);
    std::ostringstream console;
    PacketTransferEngine engine(notifier, clock);
    sim::BindToSimulator(engine.link(), usb, clock);
    engine.link().setConsole(console);
    engine.setProfilePath(files.profile);
    const bool ok = engine.run(files.data);
    engine.link().close();
    return ok;
}

void BM_TransferVirtualWaits(benchmark::State& state) {
    const size_t bytes = 16u << 20;
    const PairFiles files = WritePair(bytes, "64k");
    double totalMs = 0;
    for (auto _ : state) {
        VirtualClock clock;
        const auto start = std::chrono::steady_clock::now();
        if (!RunOnce(files, clock)) {
            state.SkipWithError("the transfer failed");
            return;
        }
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["ms_per_MiB"] = totalMs / static_cast<double>(state.iterations()) / 16.0;
}
BENCHMARK(BM_TransferVirtualWaits)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TransferRealWaits(benchmark::State& state) {
    const size_t bytes = 256u << 10;
    const PairFiles files = WritePair(bytes, "4k");
    const double mandatedMs = 50.0 + 64 * 400.0;
    for (auto _ : state) {
        SystemClock clock;
        const auto start = std::chrono::steady_clock::now();
        if (!RunOnce(files, clock)) {
            state.SkipWithError("the transfer failed");
            return;
        }
        const double wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        state.counters["mandated_ms"] = mandatedMs;
        state.counters["over_mandated_percent"] = (wallMs / mandatedMs - 1.0) * 100.0;
    }
}
BENCHMARK(BM_TransferRealWaits)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace harmoload

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "peak memory %.1f MiB for a 16 MiB image (limit: twice the data + 16 MiB = 48 MiB)\n",
        static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
