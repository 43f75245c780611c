// harmoload-cli probe and update through the driver-pipe back end on the real Windows calls:
// the process's locator finds named pipes that play the instrument (runs under Wine).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>

#include "cli/ExitCodes.h"
#include "cli/ProbeCommand.h"
#include "cli/UpdateCommand.h"
#include "ini/IniFile.h"
#include "tests/support/PipeInstrument.h"
#include "tests/support/SamplePackage.h"
#include "tests/support/TempFolder.h"
#include "usb/InterfaceLocator.h"

namespace harmoload {
namespace {

using testing::SamplePackage;
using testing::TempFolder;

class DriverPipeCommand : public ::testing::Test {
  protected:
    void SetUp() override { table.setFile(testing::WriteTestLanguageTable(folder)); }
    void TearDown() override {
        SystemInterfaceLocator().bind(SystemDriverPipes());
        served.reset();
    }
    void serve(bool answers) {
        served.emplace(answers);
        SystemInterfaceLocator().bind(served->table());
    }
    int update() {
        UpdateOptions options;
        options.packagePath = SamplePackage::Path();
        options.tracePath = folder.path("trace.txt");
        return RunUpdateCommand(options, table, in, out, err);
    }

    TempFolder folder;
    IniFile table;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    std::optional<testing::PipeInstrument> served;
};

TEST_F(DriverPipeCommand, ProbeNamesTheDriverPipes) {
    serve(true);
    EXPECT_EQ(RunProbeCommand({true, false, ""}, out, err), kExitSuccess);
    EXPECT_EQ(out.str(), "{\"present\":true,\"backEnd\":\"driver-pipes\"}\n");
}

TEST_F(DriverPipeCommand, SamplePackageUpdatesThroughTheDriverPipesWithItsTrace) {
    serve(true);
    ASSERT_EQ(update(), kExitSuccess) << err.str();
    EXPECT_EQ(err.str(), "Success: <IDS_UPDATE_SUCCESSFUL>\n");
    EXPECT_TRUE(SamplePackage::Holds(served->instrument()));
    EXPECT_EQ(served->instrument().resultFlags(), std::vector<uint8_t>{0});
    const std::vector<uint8_t> bytes = TempFolder::read(folder.path("trace.txt"));
    const std::string trace(bytes.begin(), bytes.end());
    EXPECT_NE(trace.find(" open: driver-pipes"), std::string::npos);
    EXPECT_NE(trace.find(" OUT pipe PIPE01 len 4 result 4: 01 0a 4d 02"), std::string::npos);
    EXPECT_NE(trace.find(" IN  pipe PIPE00 len 1 result 1: f1"), std::string::npos);
}

// Every read waits out its limit and fails; the run ends with the failure instead of hanging,
// after some frames (12 today: the handshake's and the result frame); a run that kept retrying
// would go past twenty times that.
constexpr int kFramesBeforeGivingUp = 240;
TEST_F(DriverPipeCommand, PipeThatNeverAnswersFailsTheRunInsteadOfHanging) {
    serve(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(update(), kExitFailed);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    // The time is reported, not judged: a busy machine may take longer. What bounds the run is
    // the number of frames it sends before it gives up.
    RecordProperty("seconds", std::to_string(seconds.count()));
    std::printf("a never-answering pipe failed the run in %.1f s after %d frames\n",
                seconds.count(), served->framesTaken());
    EXPECT_LE(served->framesTaken(), kFramesBeforeGivingUp);
    EXPECT_NE(err.str().find("Harmoload: ReadFile API函数返回FALSE"), std::string::npos);
    EXPECT_NE(err.str().find("Error: <IDS_UPDATE_FAILED>"), std::string::npos);
    EXPECT_GT(served->framesTaken(), 0);
}

}  // namespace
}  // namespace harmoload
