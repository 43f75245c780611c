// Writes the sample package's firmware image for the flash-command pair: a short text header
// naming the model and version, then words from a linear congruential generator standing in
// for program code, 200000 bytes in all (a little over three sectors of the sample flash).
// Generated at build time so that no binary is kept in the sources.

#include <cstdint>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    constexpr long kImageBytes = 200000;
    constexpr char kHeader[] = "HM-61 firmware V2.10";
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fwrite(kHeader, 1, sizeof kHeader, out);
    uint32_t state = 0x2010u;  // the pattern's start value
    for (long written = sizeof kHeader; written < kImageBytes; ++written) {
        state = state * 1664525u + 1013904223u;
        std::fputc(static_cast<int>(state >> 24), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
