// The Windows libusb table against the simulated instrument's test-double libusb0.dll: our
// declarations of the libusb-win32 interface read the lists that the DLL builds with them, and
// a whole exchange goes through the DLL's entry points.

#include "usb/win32/SystemLibusb.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Files.h"
#include "platform/Unicode.h"
#include "platform/testing/RecordingNotifier.h"
#include "tests/support/TempFolder.h"
#include "ui/WideText.h"
#include "usb/PresenceCheck.h"
#include "usb/UsbLink.h"

namespace harmoload {
namespace {

// The test double is built into bin\simulator\, beside this test's folder.
std::wstring TestDoublePath() {
    std::string path = ModuleFileName();
    path.erase(path.find_last_of("\\/") + 1);
    path += "simulator\\libusb0.dll";
    const std::u16string wide = Utf8ToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

using ConfigureFunction = int(__cdecl*)(const char*);

class Libusb0DllTest : public ::testing::Test {
  protected:
    Libusb0Dll library{TestDoublePath()};
    RecordingNotifier notifier;
    UsbLink link;

    Libusb0DllTest() {
        link.bindLibusb(library);
        link.setNotifier(&notifier);
    }
    // A fresh simulated instrument inside the DLL.
    void configure(const char* description) {
        library.init();
        ASSERT_TRUE(library.loaded());
        HMODULE module = GetModuleHandleW(TestDoublePath().c_str());
        ASSERT_NE(module, nullptr);
        auto configureFunction = reinterpret_cast<ConfigureFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "harmoload_sim_configure")));
        ASSERT_NE(configureFunction, nullptr);
        ASSERT_EQ(configureFunction(description), 0);
    }
};

TEST_F(Libusb0DllTest, BusListIsReadThroughThePackedDeclarations) {
    configure("other=0a67:8e31;other=1234:5678");
    library.findBusses();
    library.findDevices();
    const LibusbBusList busses = library.getBusses();
    ASSERT_EQ(busses.size(), 1u);
    ASSERT_EQ(busses[0].size(), 3u);
    EXPECT_EQ(busses[0][0].vendorId, 0x0A67);
    EXPECT_EQ(busses[0][0].productId, 0x8E31);
    EXPECT_EQ(busses[0][1].vendorId, 0x1234);
    EXPECT_EQ(busses[0][1].productId, 0x5678);
    EXPECT_EQ(busses[0][2].vendorId, 0x0A67);
    EXPECT_EQ(busses[0][2].productId, 0x8E30);
}

TEST_F(Libusb0DllTest, HandshakeGoesThroughTheDllEntryPoints) {
    configure("other=0a67:8e31");
    ASSERT_TRUE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    uint8_t answer = 0;
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::Complete);
    EXPECT_EQ(link.read(&answer, 1), TransferStatus::Complete);
    EXPECT_EQ(answer, 0xF1);
    link.close();
}

TEST_F(Libusb0DllTest, AbsentInstrumentIsNotFound) {
    configure("absent");
    EXPECT_FALSE(CheckDevicePresent(link));
    EXPECT_EQ(link.mode(), LinkMode::None);
}

TEST(Libusb0DllSearchTest, ALibraryInTheCurrentDirectoryIsNeverLoaded) {
    // A name no other test loads, so that no module already in the process can answer for it.
    testing::TempFolder folder;
    const std::wstring planted = ui::Wide(folder.path("planted-libusb0.dll"));
    ASSERT_TRUE(CopyFileW(TestDoublePath().c_str(), planted.c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(ui::Wide(folder.folder()).c_str()));
    Libusb0Dll library(L"planted-libusb0.dll");
    library.init();
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(library.loaded());
}

TEST(Libusb0DllMissingTest, MissingDllMeansNoInstrumentNotACrash) {
    Libusb0Dll library(L"no-such-libusb0.dll");
    RecordingNotifier notifier;
    UsbLink link;
    link.bindLibusb(library);
    link.setNotifier(&notifier);
    EXPECT_FALSE(CheckDevicePresent(link));
    EXPECT_FALSE(library.loaded());
    uint8_t byte = 0;
    EXPECT_EQ(link.libusb().write(&byte, 1), TransferStatus::NotOpen);
    EXPECT_EQ(link.libusb().read(&byte, 1), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.texts(), ::testing::ElementsAre("Open USB device failed"));
}

}  // namespace
}  // namespace harmoload
