// A service bench end to end: several simulated instruments on one bus, listed, chosen by id,
// refused without a choice, and updated in parallel, each ending with its own result.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <map>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ProbeCommand.h"
#include "cli/UpdateCommand.h"
#include "cli/UpdateInterrupts.h"
#include "tests/support/EnvironmentScope.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

class UpdateBenchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        table.setFile(testing::WriteTestLanguageTable(folder));
        const std::string config = folder.writeText(
            "R1.ini", "[Chip Info]\nChip Size=1M\n[Transmission Info]\nData Length=512\n");
        const std::string data = folder.write("sound.bin", std::vector<uint8_t>(1500, 0x5A));
        PackOptions pack{package, "HM-61", "V2.10", {}, {"R1:" + config + ":" + data}};
        ASSERT_EQ(RunPack(pack, err), kExitSuccess) << err.str();
    }

    int update(std::ostream& stream) {
        options.packagePath = package;
        options.json = true;
        options.simulate = true;
        return RunUpdateCommand(options, table, in, stream, err);
    }
    int update() { return update(out); }

    // The events of the output, and each device's result ("" for a run of one instrument).
    std::vector<nlohmann::json> events() const {
        std::vector<nlohmann::json> parsed;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);) {
            parsed.push_back(nlohmann::json::parse(line));
        }
        return parsed;
    }
    std::map<std::string, bool> results() const {
        std::map<std::string, bool> byDevice;
        for (const nlohmann::json& event : events()) {
            if (event["event"] == "result") {
                byDevice[event.value("device", "")] = event["ok"];
            }
        }
        return byDevice;
    }

    TempFolder folder;
    IniFile table;
    std::string package = folder.path("update.DAT");
    UpdateOptions options;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(UpdateBenchTest, ProbeAllListsEveryInstrumentWithItsId) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | other=1234:5678 | absent"}};
    ProbeOptions probe{.json = true, .all = true, .simulate = true, .tracePath = {}};
    ASSERT_EQ(RunProbe(probe, out, err), kExitSuccess) << err.str();
    EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json::parse(R"({"instruments": [
                  {"device": "001/001", "backEnd": "libusb", "access": true},
                  {"device": "001/003", "backEnd": "libusb", "access": true}]})"));

    EnvironmentScope none{{"HARMOLOAD_SIM", "absent"}};
    out.str("");
    EXPECT_EQ(RunProbe(probe, out, err), kExitNoInstrument);
    EXPECT_EQ(out.str(), "{\"instruments\":[]}\n");
}

TEST_F(UpdateBenchTest, WithTwoAttachedUpdateRefusesUnlessOneIsChosen) {
    // The first would fail its first packet: only the second may be written.
    EnvironmentScope bench{{"HARMOLOAD_SIM", "bad-end=1 | erase-ms=0"}};
    EXPECT_EQ(update(), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("--device ID"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("--all"), std::string::npos) << err.str();

    options.device = "001/002";
    EXPECT_EQ(update(), kExitSuccess) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"", true}}));

    options.device = "001/009";
    out.str("");
    EXPECT_EQ(update(), kExitNoInstrument);
}

TEST_F(UpdateBenchTest, AllUpdatesEveryInstrumentAndAFailureSpoilsOnlyItsOwn) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | unplug=4 | erase-ms=0"}};
    options.all = true;
    EXPECT_EQ(update(), kExitFailed) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{
                             {"001/001", true}, {"001/002", false}, {"001/003", true}}));
    const auto all = events();
    for (const nlohmann::json& event : all) {
        EXPECT_TRUE(event.contains("device") || event["event"] == "summary") << event;
    }
    EXPECT_EQ(all.back(), nlohmann::json::parse(R"({"event": "summary",
        "succeeded": ["001/001", "001/003"], "failed": ["001/002"]})"));
}

TEST_F(UpdateBenchTest, InstrumentsAreWrittenInParallel) {
    // Each instrument's third transfer waits for the other's: runs one after the other never
    // meet, and the first would fail.
    EnvironmentScope bench{{"HARMOLOAD_SIM", "meet=3 | meet=3"}};
    options.all = true;
    EXPECT_EQ(update(), kExitSuccess) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"001/001", true}, {"001/002", true}}));
}

// Presses Ctrl-C twice at the first progress event of any run, while that run's line is being
// written: no other run can post a progress event before the stop.
class InterruptingOutput : public std::stringbuf {
  protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (!interrupted_ && std::string(text, static_cast<size_t>(count)).find("\"progress\"") !=
                                 std::string::npos) {
            interrupted_ = true;
            std::raise(SIGINT);
            std::raise(SIGINT);
        }
        return std::stringbuf::xsputn(text, count);
    }

  private:
    bool interrupted_ = false;
};

TEST_F(UpdateBenchTest, InterruptsStopEveryRunAsAFailureWithItsResultFrame) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | erase-ms=0"}};
    options.all = true;
    InterruptingOutput buffer;
    std::ostream interrupted(&buffer);
    ::testing::internal::CaptureStderr();
    const int exit = update(interrupted);
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exit, kExitFailed);
    EXPECT_EQ(warnings, std::string(kFirstInterruptText) + kStoppingInterruptText);
    out.str(buffer.str());
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"001/001", false}, {"001/002", false}}));
    // The result frame went out on both: no message says it could not be sent.
    EXPECT_EQ(out.str().find("write usb failed when send 09"), std::string::npos) << out.str();
    EXPECT_EQ(events().back()["failed"], (nlohmann::json{"001/001", "001/002"}));
}

}  // namespace
}  // namespace harmoload
