// Writes the sample package's data file: one second of a 440 Hz tone with a falling envelope,
// 16-bit signed little-endian mono PCM at 8000 samples per second, the kind of sound data an
// instrument takes. Generated at build time so that no binary is kept in the sources.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    constexpr int kSampleRate = 8000;
    constexpr double kToneHz = 440.0;
    constexpr double kPeak = 24000.0;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    for (int i = 0; i < kSampleRate; ++i) {
        const double time = static_cast<double>(i) / kSampleRate;
        const double envelope = std::exp(-3.0 * time);
        const auto sample = static_cast<int16_t>(
            std::lround(kPeak * envelope * std::sin(2.0 * std::numbers::pi * kToneHz * time)));
        const auto bits = static_cast<uint16_t>(sample);
        const unsigned char bytes[2] = {static_cast<unsigned char>(bits & 0xFF),
                                        static_cast<unsigned char>(bits >> 8)};
        std::fwrite(bytes, 1, 2, out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
