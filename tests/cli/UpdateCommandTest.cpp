// harmoload-cli update end to end against the built-in simulated instrument, and the progress
// display it draws.

#include "cli/UpdateCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/BenchOutput.h"
#include "cli/ExitCodes.h"
#include "cli/PackCommand.h"
#include "cli/ProbeCommand.h"
#include "cli/ProgressDisplay.h"
#include "cli/UpdateInterrupts.h"
#include "flash/FlashCommandEngine.h"
#include "platform/Notifier.h"
#include "platform/testing/VirtualClock.h"
#include "tests/flash/FlashProfileText.h"
#include "tests/support/EnvironmentScope.h"
#include "tests/support/TempFolder.h"
#include "update/UpdateRun.h"

namespace harmoload {
namespace {

using testing::TempFolder;

class UpdateCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        table.setFile(testing::WriteTestLanguageTable(folder));
        // Packets under 1 KiB are not waited for: the run takes only the handshake's 50 ms.
        const std::string config = folder.writeText(
            "R1.ini", "[Chip Info]\nChip Size=1M\n[Transmission Info]\nData Length=512\n");
        const std::string data = folder.write("sound.bin", std::vector<uint8_t>(700, 0x5A));
        PackOptions pack{package, "HM-61", "V2.10", {}, {"R1:" + config + ":" + data}};
        ASSERT_EQ(RunPackCommand(pack, err), kExitSuccess) << err.str();
    }

    std::vector<nlohmann::json> events() const {
        std::vector<nlohmann::json> parsed;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);) {
            parsed.push_back(nlohmann::json::parse(line));
        }
        return parsed;
    }

    int update(bool json) {
        UpdateOptions options;
        options.json = json;
        return update(options, out);
    }
    // update --simulate with these options, into stream.
    int update(UpdateOptions options, std::ostream& stream) {
        options.packagePath = package;
        options.simulate = true;
        return RunUpdateCommand(options, table, in, stream, err);
    }
    // Each device's result ("" for a run of one instrument).
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
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(UpdateCommandTest, WritesThePackageIntoTheSimulatedInstrument) {
    ASSERT_EQ(update(true), kExitSuccess) << err.str();
    const auto all = events();
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all[0], (nlohmann::json{{"event", "progress"},
                                      {"engine", "transfer"},
                                      {"done", 1},
                                      {"total", 2},
                                      {"packet", 1},
                                      {"packets", 2},
                                      {"bytes", 512},
                                      {"totalBytes", 700},
                                      {"kind", "transfer"},
                                      {"wParam", 2},
                                      {"lParam", 1}}));
    EXPECT_EQ(all[1]["lParam"], 2);
    EXPECT_EQ(all[1]["bytes"], 700);
    EXPECT_EQ(all[2], (nlohmann::json{{"event", "pair"},
                                      {"index", 1},
                                      {"engineCode", "R1"},
                                      {"engine", "transfer"},
                                      {"ok", true}}));
    EXPECT_EQ(all[3]["caption"], "Success");
    EXPECT_EQ(all[3]["text"], "<IDS_UPDATE_SUCCESSFUL>");
    EXPECT_EQ(all.back(),
              (nlohmann::json{{"event", "result"}, {"ok", true}, {"resultFrame", true}}));
}

TEST_F(UpdateCommandTest, AResultFrameLeftUnansweredKeepsTheSuccessAndSaysSo) {
    // The ninth read is the result frame's answer, after two packets and the final sum.
    EnvironmentScope simulator{{"HARMOLOAD_SIM", "read-error=9:-116"}};
    ASSERT_EQ(update(true), kExitSuccess) << err.str();
    EXPECT_EQ(events().back(),
              (nlohmann::json{{"event", "result"}, {"ok", true}, {"resultFrame", false}}));
}

TEST_F(UpdateCommandTest, AFailedPairFailsTheCommandWithTheMessages) {
    EnvironmentScope simulator{{"HARMOLOAD_SIM", "bad-end=1"}};
    const int exit = update(false);
    EXPECT_EQ(exit, kExitFailed);
    EXPECT_NE(err.str().find("The back message of writing end is not 0xd4: Packet 1"),
              std::string::npos);
    EXPECT_NE(err.str().find("Error: <IDS_UPDATE_FAILED>"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("Pair 1 (R1, transfer): failed"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("The instrument was told the outcome.\n"), std::string::npos);
}

TEST_F(UpdateCommandTest, NoInstrumentExitsWithItsOwnCode) {
    EnvironmentScope simulator{{"HARMOLOAD_SIM", "absent"}};
    const int exit = update(true);
    EXPECT_EQ(exit, kExitNoInstrument);
    EXPECT_EQ(events().back(),
              (nlohmann::json{{"event", "result"}, {"ok", false}, {"resultFrame", false}}));
}

TEST_F(UpdateCommandTest, NoInstrumentTellsWhichKeysStartTheUpdateMode) {
    const std::string config = folder.writeText("R1.ini", "[Chip Info]\nChip Size=1M\n");
    PackOptions pack{
        package, "HM-61", "V2.10", {"A0", "C1\x1B[2J"}, {"R1:" + config + ":" + config}};
    ASSERT_EQ(RunPackCommand(pack, err), kExitSuccess) << err.str();
    EnvironmentScope simulator{{"HARMOLOAD_SIM", "absent"}};
    EXPECT_EQ(update(false), kExitNoInstrument);
    EXPECT_NE(err.str().find("No instrument found"), std::string::npos) << err.str();
    // The package's keys are escaped as info escapes them.
    EXPECT_NE(err.str().find("hold A0 & C1\\x1B[2J on"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\x1B'), std::string::npos);
}

TEST_F(UpdateCommandTest, ADamagedPackageIsReportedBeforeTheInstrumentIsAsked) {
    std::vector<uint8_t> bytes = TempFolder::read(package);
    bytes[40] ^= 0xFF;  // inside the header, not fixed in its sum
    folder.write("update.DAT", bytes);
    EXPECT_EQ(update(false), kExitFailed);
    EXPECT_NE(err.str().find("Error: <IDS_ERR_FILE_HDR_CHECKSUM>"), std::string::npos) << err.str();
}

// Sends the interrupts while the run writes: one after each progress event whose lParam is
// listed, as if the user pressed Ctrl-C there.
class InterruptingOutput : public std::stringbuf {
  public:
    explicit InterruptingOutput(std::vector<int> packets) : packets_(std::move(packets)) {}

  protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::streamsize written = std::stringbuf::xsputn(text, count);
        const std::string line(text, static_cast<size_t>(count));
        for (int packet : packets_) {
            if (line.find("\"progress\"") != std::string::npos &&
                line.find("\"lParam\":" + std::to_string(packet) + "}") != std::string::npos) {
                std::raise(SIGINT);
            }
        }
        return written;
    }

  private:
    std::vector<int> packets_;
};

// The work folders go to a temporary area of the test's own.
EnvironmentScope TemporaryArea(const std::string& folder) {
    return EnvironmentScope{
        {"TMPDIR", folder.c_str()}, {"TMP", folder.c_str()}, {"TEMP", folder.c_str()}};
}

TEST_F(UpdateCommandTest, TheFirstInterruptWarnsAndTheSecondStopsTheRunAsAFailure) {
    // Three packets; Ctrl-C after the first and after the second.
    const std::string config = folder.path("R1.ini");
    const std::string data = folder.write("long.bin", std::vector<uint8_t>(1500, 0x5A));
    ASSERT_EQ(RunPackCommand({package, "HM-61", "V2.10", {}, {"R1:" + config + ":" + data}}, err),
              kExitSuccess);
    const std::string temporary = folder.path("tmp");
    std::filesystem::create_directory(TempFolder::AsPath(temporary));
    const auto area = TemporaryArea(temporary);

    InterruptingOutput buffer({1, 2});
    std::ostream interrupted(&buffer);
    UpdateOptions options;
    options.packagePath = package;
    options.json = true;
    options.simulate = true;
    ::testing::internal::CaptureStderr();
    const int exit = RunUpdateCommand(options, table, in, interrupted, err);
    const std::string warnings = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(exit, kExitFailed);
    EXPECT_EQ(warnings, std::string(kFirstInterruptText) + kStoppingInterruptText);
    out.str(buffer.str());
    const auto all = events();
    // The first interrupt did not stop the second packet; the second stopped the third.
    std::vector<int> packets;
    std::vector<std::string> texts;
    for (const auto& event : all) {
        if (event["event"] == "progress") {
            packets.push_back(event["lParam"]);
        } else if (event["event"] == "message") {
            texts.push_back(event["text"]);
        }
    }
    EXPECT_EQ(packets, (std::vector<int>{1, 2}));
    // The result frame still went out: no message about it, only the stop and the failure.
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], kRunStoppedMessage);
    EXPECT_EQ(texts.back(), "<IDS_UPDATE_FAILED>");
    EXPECT_EQ(all.back(),
              (nlohmann::json{{"event", "result"}, {"ok", false}, {"resultFrame", true}}));
    EXPECT_TRUE(std::filesystem::is_empty(TempFolder::AsPath(temporary)));
}

TEST_F(UpdateCommandTest, AnUnusableTemporaryAreaFailsTheRunWithAMessage) {
    const auto area = TemporaryArea(folder.writeText("not-a-folder", "x"));
    EXPECT_EQ(update(true), kExitFailed);
    EXPECT_NE(err.str().find("Cannot create a temporary folder"), std::string::npos) << err.str();
    EXPECT_EQ(events().back(),
              (nlohmann::json{{"event", "result"}, {"ok", false}, {"resultFrame", false}}));
}

// A service bench: several simulated instruments on one bus, listed, chosen by id, refused
// without a choice, and updated in parallel, each ending with its own result.

TEST_F(UpdateCommandTest, ProbeAllListsEveryInstrumentWithItsId) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | other=1234:5678 | absent"}};
    ProbeOptions probe{.json = true, .simulate = true, .tracePath = {}, .all = true};
    ASSERT_EQ(RunProbeCommand(probe, out, err), kExitSuccess) << err.str();
    EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json::parse(R"({"instruments": [
                  {"device": "001/001", "backEnd": "libusb", "access": true},
                  {"device": "001/003", "backEnd": "libusb", "access": true}]})"));

    EnvironmentScope none{{"HARMOLOAD_SIM", "absent"}};
    out.str("");
    EXPECT_EQ(RunProbeCommand(probe, out, err), kExitNoInstrument);
    EXPECT_EQ(out.str(), "{\"instruments\":[]}\n");
}

TEST_F(UpdateCommandTest, WithTwoAttachedUpdateRefusesUnlessOneIsChosen) {
    // The first would fail its first packet: only the second may be written.
    EnvironmentScope bench{{"HARMOLOAD_SIM", "bad-end=1 | erase-ms=0"}};
    UpdateOptions options;
    options.json = true;
    EXPECT_EQ(update(options, out), kExitUsage);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("--device ID"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("--all"), std::string::npos) << err.str();

    options.device = "001/002";
    EXPECT_EQ(update(options, out), kExitSuccess) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"", true}}));

    options.device = "001/009";
    EXPECT_EQ(update(options, out), kExitNoInstrument);
}

TEST_F(UpdateCommandTest, AllUpdatesEveryInstrumentAndAFailureSpoilsOnlyItsOwn) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | unplug=4 | erase-ms=0"}};
    UpdateOptions options;
    options.json = true;
    options.all = true;
    EXPECT_EQ(update(options, out), kExitFailed) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{
                             {"001/001", true}, {"001/002", false}, {"001/003", true}}));
    const auto all = events();
    for (const nlohmann::json& event : all) {
        EXPECT_TRUE(event.contains("device") || event["event"] == "summary") << event;
    }
    EXPECT_EQ(all.back(), nlohmann::json::parse(R"({"event": "summary",
        "succeeded": ["001/001", "001/003"], "failed": ["001/002"]})"));
}

TEST_F(UpdateCommandTest, AllAsksAPackageWarningOnceBeforeAnyInstrumentIsTouched) {
    // A flash profile without its flash model warns, and the run asks whether to go on.
    testing::FlashProfileText profile;
    profile.model.clear();
    profile.sectors = {0, 0x8000};
    profile.reserved = {0x8000};
    const std::string config = folder.writeText("R2.ini", profile.text());
    const std::string data = folder.write("firmware.bin", std::vector<uint8_t>(64, 0x5A));
    ASSERT_EQ(RunPackCommand({package, "HM-61", "V2.10", {}, {"R2:" + config + ":" + data}}, err),
              kExitSuccess);
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | erase-ms=0"}};
    UpdateOptions options;
    options.json = true;
    options.all = true;
    // No terminal to ask and no --yes: the answer is No, and no run starts.
    EXPECT_EQ(update(options, out), kExitFailed);
    int questions = 0;
    for (const nlohmann::json& event : events()) {
        EXPECT_FALSE(event.contains("device")) << event;
        questions += event.value("text", "") == kContinueQuestion ? 1 : 0;
    }
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(events().back(), nlohmann::json::parse(R"({"event": "summary",
        "succeeded": [], "failed": ["001/001", "001/002"]})"));
}

TEST_F(UpdateCommandTest, AllWritesTheInstrumentsInParallel) {
    // Each instrument's third transfer waits for the other's: runs one after the other never
    // meet, and the first would fail.
    EnvironmentScope bench{{"HARMOLOAD_SIM", "meet=3 | meet=3"}};
    UpdateOptions options;
    options.json = true;
    options.all = true;
    EXPECT_EQ(update(options, out), kExitSuccess) << err.str();
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"001/001", true}, {"001/002", true}}));
}

TEST_F(UpdateCommandTest, InterruptsStopEveryRunOfTheBenchWithItsResultFrame) {
    EnvironmentScope bench{{"HARMOLOAD_SIM", "erase-ms=0 | erase-ms=0"}};
    // Ctrl-C twice at the first progress event of any run, while its line is being written: no
    // other run can post a progress event before the stop.
    InterruptingOutput buffer({1, 1});
    std::ostream interrupted(&buffer);
    UpdateOptions options;
    options.json = true;
    options.all = true;
    ::testing::internal::CaptureStderr();
    const int exit = update(options, interrupted);
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exit, kExitFailed);
    EXPECT_EQ(warnings, std::string(kFirstInterruptText) + kStoppingInterruptText);
    out.str(buffer.str());
    EXPECT_EQ(results(), (std::map<std::string, bool>{{"001/001", false}, {"001/002", false}}));
    // The result frame went out on both: no message says it could not be sent.
    EXPECT_EQ(out.str().find("write usb failed when send 09"), std::string::npos) << out.str();
    EXPECT_EQ(events().back()["failed"], (nlohmann::json{"001/001", "001/002"}));
}

TEST(BenchOutput, OnATerminalEachInstrumentKeepsOneLiveLineAndErrorsScrollAbove) {
    std::ostringstream screen;
    BenchOutput output(screen, screen, BenchLines::Live, {"001/001", "001/002"});
    {
        DeviceLineStream first(output, "001/001", false);
        DeviceLineStream second(output, "001/002", false);
        DeviceLineStream secondErrors(output, "001/002", true);
        first << "Pair 1: 10%\n";
        second << "Pair 1: 20%\r\n";
        secondErrors << "Error: gone\n";
        first << "Pair 1: written";  // sent when the stream goes
    }
    const std::string up = "\x1b[2F\x1b[J";
    EXPECT_EQ(screen.str(), "[001/001] Pair 1: 10%\n[001/002] \n" + up +
                                "[001/001] Pair 1: 10%\n[001/002] Pair 1: 20%\n" + up +
                                "[001/002] Error: gone\n"
                                "[001/001] Pair 1: 10%\n[001/002] Pair 1: 20%\n" +
                                up + "[001/001] Pair 1: written\n[001/002] Pair 1: 20%\n");
}

ProgressEvent Steps(ProgressEngine engine, uint32_t done, uint32_t total) {
    return {.engine = engine, .done = done, .total = total};
}

ProgressEvent Phase(FlashPhase phase, uint32_t sector, uint32_t sectors) {
    return {.engine = ProgressEngine::Flash,
            .change = ProgressChange::Phase,
            .phase = phase,
            .sector = sector,
            .sectors = sectors};
}

TEST(ProgressDisplay, PlainOutputPrintsALineAtEveryTenth) {
    std::ostringstream out;
    VirtualClock clock;
    ProgressDisplay display(out, clock, false);
    display.startPair("Pair 1", 1000);
    for (int done = 1; done <= 20; ++done) {
        display.post(Steps(ProgressEngine::Transfer, static_cast<uint32_t>(done), 20));
    }
    std::vector<std::string> lines;
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 11u);  // 5%, then every tenth from 10% to 100%
    EXPECT_EQ(lines.front(), "Pair 1: 5% (50 B of 1000 B)");
    EXPECT_EQ(lines.back(), "Pair 1: 100% (1000 B of 1000 B)");
}

TEST(ProgressDisplay, AFlashRunsFirstEventSetsTheTotalThenTheStepsMove) {
    std::ostringstream out;
    VirtualClock clock;
    ProgressDisplay display(out, clock, true, [] { return 120; });
    display.startPair("Pair 2", 4096);
    display.post(Steps(ProgressEngine::Flash, 0, 4));
    clock.sleep(std::chrono::milliseconds(1000));
    display.post(Steps(ProgressEngine::Flash, 1, 4));
    const std::string bar = out.str();
    EXPECT_NE(bar.find("25%"), std::string::npos) << bar;
    EXPECT_NE(bar.find("1.0 KiB / 4.0 KiB  1.0 KiB/s  00:03 left"), std::string::npos) << bar;
}

TEST(ProgressDisplay, AFlashPairsBarNamesThePhaseAsItChanges) {
    std::ostringstream out;
    VirtualClock clock;
    ProgressDisplay display(out, clock, true, [] { return 120; });
    display.startPair("Pair 2", 4096);
    display.post(Steps(ProgressEngine::Flash, 0, 6));
    display.post(Phase(FlashPhase::Erasing, 1, 2));
    EXPECT_NE(out.str().rfind("erasing sector 1 of 2"), std::string::npos) << out.str();
    display.post(Phase(FlashPhase::Verifying, 2, 2));
    const std::string last = out.str().substr(out.str().rfind('\r'));
    EXPECT_NE(last.find("verifying sector 2 of 2"), std::string::npos) << last;
}

// The bar as the terminal shows it after the last redraw.
std::string LastBar(const std::ostringstream& out) {
    return out.str().substr(out.str().rfind('\r') + 1);
}

TEST(ProgressDisplay, TheBarFitsTheTerminalAsItIsResizedAndKeepsThePhase) {
    std::ostringstream out;
    VirtualClock clock;
    int columns = 140;
    ProgressDisplay display(out, clock, true, [&] { return columns; });
    display.startPair("Pair 2 (R2, flash)", 16000);
    display.post(Steps(ProgressEngine::Flash, 0, 12));
    clock.sleep(std::chrono::milliseconds(1000));
    display.post({.engine = ProgressEngine::Flash,
                  .done = 11,
                  .total = 12,
                  .phase = FlashPhase::Verifying,
                  .sector = 4,
                  .sectors = 4});
    // Narrower, each width drops the least useful part left: the rate, the time left, the
    // bytes, the bar, then the label's end. The line never reaches the last column.
    const std::vector<std::string> parts = {"/s", "00:01 left", "14.3 KiB / 15.6 KiB", "[###",
                                            "(R2, flash)"};
    for (const auto& [width, shown] : std::vector<std::pair<int, size_t>>{
             {140, 5}, {100, 4}, {90, 3}, {80, 2}, {60, 1}, {40, 0}}) {
        columns = width;
        display.post(Phase(FlashPhase::Verifying, 4, 4));
        const std::string bar = LastBar(out);
        EXPECT_EQ(bar.size(), static_cast<size_t>(width - 1)) << bar;
        EXPECT_NE(bar.find(" 91%"), std::string::npos) << bar;
        EXPECT_NE(bar.find("  verifying sector 4 of 4"), std::string::npos) << bar;
        for (size_t i = 0; i < parts.size(); ++i) {
            EXPECT_EQ(bar.find(parts[i]) != std::string::npos, i >= parts.size() - shown)
                << width << " columns, " << parts[i] << ": " << bar;
        }
    }
}

}  // namespace
}  // namespace harmoload
