// What probe tells the user when no instrument can be used: the fix where there is one. (A
// missing libusb0.dll is tested end to end: tests/sim's probe_without_instrument.)

#include "cli/ProbeCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "cli/ExitCodes.h"
#include "usb/LibusbIdentity.h"
#include "usb/ScriptedLibusb.h"
#include "usb/UsbLink.h"

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

}  // namespace
}  // namespace harmoload
