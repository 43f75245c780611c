// Programming a flash image into the simulated instrument with the flash-command engine.
//
// VirtualWaits: a 16 MiB image (256 sectors of 64 KiB, a reserved 257th) with every wait on the
// virtual clock, so that what is timed is the work of the host (and of the simulator, which
// programs and sums every word it is sent). The counter ms_per_MiB is that time per mebibyte.
//
// RealWaits: a smaller image (HARMOLOAD_BENCH_FLASH_MIB, default 1) on the system clock. The
// counters give the wall time, the waits the engine and the libusb layer asked for, and how far
// the wall time lies above those waits, in per cent. The simulated erase (400 ms) ends within
// the first 700 ms poll wait, so it adds no time of its own.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "flash/FlashCommandEngine.h"
#include "platform/Clock.h"
#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"

namespace harmoload {
namespace {

constexpr uint32_t kSectorWords = 0x8000;  // 64 KiB sectors

// The system clock, counting what it was asked to sleep.
class CountingClock final : public Clock {
  public:
    void sleep(std::chrono::milliseconds duration) override {
        slept_ += duration;
        system_.sleep(duration);
    }
    std::chrono::milliseconds now() const override { return system_.now(); }
    std::chrono::milliseconds slept() const { return slept_; }

  private:
    SystemClock system_;
    std::chrono::milliseconds slept_{0};
};

struct Image {
    std::string profilePath;
    std::string dataPath;
    uint32_t sectors = 0;  // in use; one more is listed and reserved
};

// A profile with sectors + 1 sectors of 64 KiB, the last one reserved, and an image filling
// the others, written once per size.
Image MakeImage(uint32_t mebibytes) {
    Image image;
    image.sectors = mebibytes * 16;
    const auto folder = std::filesystem::temp_directory_path() /
                        ("harmoload-flash-bench-" + std::to_string(mebibytes));
    std::filesystem::create_directories(folder);
    image.profilePath = (folder / "R2.ini").string();
    image.dataPath = (folder / "image.bin").string();

    std::ofstream profile(image.profilePath, std::ios::binary);
    profile << "[flash modle]\nBENCH\n[reserved sector]\n"
            << image.sectors * kSectorWords
            << "\n[block size]\nwords = 4096\n"
               "[sector erase cycle]\nerasecycles = 6\naddr1 = 0x555\ndata1 = 0xAA\n"
               "addr2 = 0x2AA\ndata2 = 0x55\naddr3 = 0x555\ndata3 = 0x80\naddr4 = 0x555\n"
               "data4 = 0xAA\naddr5 = 0x2AA\ndata5 = 0x55\naddr6 = 0\ndata6 = 0x30\n"
               "[program cycle]\nprogramcycles = 3\naddr1 = 0x555\ndata1 = 0xAA\n"
               "addr2 = 0x2AA\ndata2 = 0x55\naddr3 = 0x555\ndata3 = 0xA0\n"
               "[write buffer cycle]\nwritebuffercycles = 0\n"
               "[program buffer cycle]\nprogrambuffercycles = 0\n"
               "[sector address list]\n";
    for (uint32_t i = 0; i <= image.sectors; ++i) {
        profile << i * kSectorWords << '\n';
    }

    std::vector<char> data(size_t{mebibytes} << 20);
    uint32_t state = 0x5A5Au;  // the pattern's start value
    for (char& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    std::ofstream(image.dataPath, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    return image;
}

sim::SimulatorOptions Flash(uint32_t sectors) {
    sim::SimulatorOptions options;
    options.config.flash = sim::FlashGeometry::Uniform(kSectorWords, sectors + 1);
    return options;
}

// Runs the engine once on a fresh simulated instrument that shares the clock; the seconds the
// run took, or nothing when it failed (the benchmark is then marked so).
std::optional<double> TimedRun(Clock& clock, const Image& image, benchmark::State& state) {
    RecordingNotifier notifier;
    sim::SimulatedUsb usb(clock, Flash(image.sectors));
    FlashCommandEngine engine(notifier, clock);
    sim::BindToSimulator(engine.link(), usb, clock);
    engine.setProfilePath(image.profilePath);

    const auto start = std::chrono::steady_clock::now();
    const bool done = engine.run(image.dataPath);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    if (!done) {
        state.SkipWithError("the run failed");
        return std::nullopt;
    }
    return took.count();
}

void VirtualWaits(benchmark::State& state) {
    constexpr uint32_t kMebibytes = 16;
    static const Image image = MakeImage(kMebibytes);
    for (auto _ : state) {
        VirtualClock clock;
        const std::optional<double> took = TimedRun(clock, image, state);
        if (!took) {
            return;
        }
        state.counters["ms_per_MiB"] = *took * 1000.0 / kMebibytes;
        state.counters["virtual_waits_s"] = std::chrono::duration<double>(clock.slept()).count();
    }
}
BENCHMARK(VirtualWaits)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void RealWaits(benchmark::State& state) {
    const char* size = std::getenv("HARMOLOAD_BENCH_FLASH_MIB");
    const auto mebibytes = static_cast<uint32_t>(size != nullptr ? std::atoi(size) : 1);
    const Image image = MakeImage(mebibytes > 0 ? mebibytes : 1);
    for (auto _ : state) {
        CountingClock clock;
        const std::optional<double> took = TimedRun(clock, image, state);
        if (!took) {
            return;
        }
        const double waits = std::chrono::duration<double>(clock.slept()).count();
        state.counters["wall_s"] = *took;
        state.counters["waits_s"] = waits;
        state.counters["above_waits_pct"] = (*took - waits) / waits * 100.0;
    }
}
BENCHMARK(RealWaits)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace harmoload

BENCHMARK_MAIN();
