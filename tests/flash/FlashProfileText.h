#pragma once
// Flash profile files for the tests: a NOR flash with the usual six-cycle sector erase, the
// three-cycle program template and small buffer templates, over a sector list of the test's
// choosing.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace harmoload::testing {

struct FlashProfileText {
    std::string model = "TEST-NOR";
    std::vector<uint32_t> sectors;
    std::vector<uint32_t> reserved;
    int blockSize = 4096;
    int fileOffset = 0;
    bool buffered = false;
    int chipType = 1;
    std::string extra;  // appended as it stands

    std::string text() const {
        std::string out =
            "; test profile\r\n[chip type]\r\ntype = " + std::to_string(chipType) + "\r\n";
        if (!model.empty()) {
            out += "[flash modle]\r\n" + model + "\r\n";
        }
        out += "[write modle]\r\nmode = " + std::string(buffered ? "1" : "0") + "\r\n";
        out += "[reserved sector]\r\n";
        for (uint32_t address : reserved) {
            out += Hex(address) + "\r\n";
        }
        out += "[block size]\r\nsize = " + std::to_string(blockSize) + "\r\n";
        out += "[file offset]\r\nfileoffset = " + std::to_string(fileOffset) + "\r\n";
        out += "[time]\r\nmaxwriteback = 1000\r\nmaxsectorerasetime = 2000\r\n";
        out += "[data]\r\ncheck = 0xFFFF\r\n";
        out +=
            "[sector erase cycle]\r\nerasecycles = 6\r\n"
            "addr1 = 0x555\r\ndata1 = 0xAA\r\naddr2 = 0x2AA\r\ndata2 = 0x55\r\n"
            "addr3 = 0x555\r\ndata3 = 0x80\r\naddr4 = 0x555\r\ndata4 = 0xAA\r\n"
            "addr5 = 0x2AA\r\ndata5 = 0x55\r\naddr6 = 0x0\r\ndata6 = 0x30\r\n";
        out +=
            "[program cycle]\r\nprogramcycles = 3\r\n"
            "addr1 = 0x555\r\ndata1 = 0xAA\r\naddr2 = 0x2AA\r\ndata2 = 0x55\r\n"
            "addr3 = 0x555\r\ndata3 = 0xA0\r\n";
        out +=
            "[write buffer cycle]\r\nwritebuffercycles = 2\r\nwritebuffercount = 0\r\n"
            "writebufferpa1 = 3\r\nwritebufferpa2 = 255\r\nwritebuffersa1 = 4\r\n"
            "writebuffersa2 = 255\r\naddr1 = 0x555\r\ndata1 = 0xAA\r\naddr2 = 0x2AA\r\n"
            "data2 = 0x55\r\n";
        out +=
            "[program buffer cycle]\r\nprogrambuffercycles = 1\r\nprogrambuffersa1 = 1\r\n"
            "programbuffersa2 = 255\r\naddr1 = 0x0\r\ndata1 = 0x29\r\n";
        out += "[sector address list]\r\n";
        for (uint32_t address : sectors) {
            out += Hex(address) + "\r\n";
        }
        return out + extra;
    }

    static std::string Hex(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%X", value);
        return text;
    }
};

// Sector starts every step words from first on.
inline std::vector<uint32_t> EvenSectors(uint32_t count, uint32_t step, uint32_t first = 0) {
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < count; ++i) {
        starts.push_back(first + i * step);
    }
    return starts;
}

}  // namespace harmoload::testing
