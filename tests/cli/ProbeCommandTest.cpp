// What probe tells the user when no instrument can be used: the fix where there is one.

#include "cli/ProbeCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "usb/ScriptedLibusb.h"
#include "usb/UsbIdentity.h"
#include "usb/UsbLink.h"

#ifdef _WIN32
#include "usb/win32/Libusb0Dll.h"
#endif

namespace harmoload {
namespace {

using testing::ScriptedLibusb;

class ProbeCommandTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    ScriptedLibusb library{clock};
    UsbLink link;
    std::ostringstream out;

    ProbeCommandTest() {
        link.bindLibusb(library);
        link.setClock(clock);
        library.busses = {{{"instrument", usb::kVendorId, usb::kProductId}}};
    }
};

TEST_F(ProbeCommandTest, AnInstrumentThatMayNotBeOpenedIsNamedWithTheFix) {
    library.claimResult = -usb::kErrnoNotPermitted;
    EXPECT_EQ(ProbeLink(link, false, out), kExitNoInstrument);
    EXPECT_EQ(out.str().find("No instrument found"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("is attached but cannot be opened"), std::string::npos) << out.str();
#ifndef _WIN32
    EXPECT_NE(out.str().find("70-harmoload.rules"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("udevadm control --reload-rules"), std::string::npos) << out.str();
#endif

    out.str("");
    EXPECT_EQ(ProbeLink(link, true, out), kExitNoInstrument);
    const nlohmann::json result = nlohmann::json::parse(out.str());
    EXPECT_EQ(result["present"], false);
    EXPECT_EQ(result["problem"], "access-denied");
}

TEST_F(ProbeCommandTest, AnEmptyBusIsStillNoInstrument) {
    library.busses = {};
    EXPECT_EQ(ProbeLink(link, false, out), kExitNoInstrument);
    EXPECT_EQ(out.str(), "No instrument found\n");
}

#ifdef _WIN32
TEST(ProbeWithoutLibusb0, AMissingDllNamesTheDriverToInstall) {
    Libusb0Dll missing(L"no-such-dir\\libusb0.dll");
    UsbLink link;
    link.bindLibusb(missing);
    std::ostringstream out;
    EXPECT_EQ(ProbeLink(link, false, out), kExitNoInstrument);
    EXPECT_NE(out.str().find("libusb0.dll was not found"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("libusb-win32 driver"), std::string::npos) << out.str();
}
#endif

}  // namespace
}  // namespace harmoload
