// The update run against the simulated instrument: dispatch by engine code, the stop at the
// first failing pair, the files left in the work folder, the result frame and the messages.

#include "update/UpdateRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

#include "flash/FlashCommandEngine.h"
#include "lang/LanguageTable.h"
#include "package/PackageBuilder.h"
#include "package/PackageUnpacker.h"
#include "package/PackageVerifier.h"
#include "platform/Files.h"
#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "tests/support/TempFolder.h"
#include "transfer/PacketTransferEngine.h"

namespace harmoload {
namespace {

using Bytes = std::vector<uint8_t>;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class UpdateRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(folder_.path("Eng.ini"), std::ios::binary)
            << "[StringTable]\r\nIDS_UPDATE_SUCCESSFUL=All done\r\nIDS_UPDATE_FAILED=It failed\r\n";
        language_.setFile(folder_.path("Eng.ini"));
        for (UsbLink* link : {&transfer_.link(), &flash_.link()}) {
            sim::BindToSimulator(*link, usb_, clock_);
            link->setConsole(console_);
        }
        std::filesystem::create_directories(folder_.path("work"));
    }

    // A transfer profile writing to address; dataLength 100 is refused by the profile check.
    std::string profile(const std::string& name, uint32_t address, const char* dataLength = "1k") {
        const std::string path = folder_.path(name);
        std::ofstream(path, std::ios::binary)
            << "[Chip Info]\nChip Type=2\nChip Size=16M\n[Transmission Info]\nChip Name=" << address
            << "\nData Length=" << dataLength << "\n";
        return path;
    }
    std::string data(const std::string& name, size_t size, uint8_t first) {
        const std::string path = folder_.path(name);
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(first + i * 3);
        }
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
        return path;
    }

    std::string packagePath() { return folder_.path("update.DAT"); }
    // The package at packagePath() as it is now, opened.
    PackageRecord openPackage() {
        OpenedPackage opened;
        EXPECT_EQ(ReadPackage(packagePath(), opened), PackageFault::None);
        return opened.record;
    }
    PackageRecord buildPackage(const std::vector<PackagePair>& pairs) {
        EXPECT_TRUE(BuildPackage({"HM-1", "V1", {}, pairs}, packagePath(), notifier_));
        return openPackage();
    }
    // A run of the package at packagePath() with the fixture's engines, work folder and
    // language table.
    UpdateRunSetup setupFor(const PackageRecord& package, Notifier& notifier) {
        UpdateRunSetup setup;
        setup.packagePath = packagePath();
        setup.package = package;
        setup.workFolder = work();
        setup.transfer = &transfer_;
        setup.flash = &flash_;
        setup.notifier = &notifier;
        setup.languageTable = &language_;
        return setup;
    }

    bool run(const std::vector<PackagePair>& pairs) {
        UpdateRunSetup setup = setupFor(buildPackage(pairs), notifier_);
        setup.pairFinished = [&](const PairOutcome& pair) { outcomes_.push_back(pair); };
        return RunUpdate(setup);
    }

    std::string work() { return folder_.folder() + "work" + kPathSeparator; }
    sim::SimulatedInstrument& instrument() { return usb_.instrument(); }
    Bytes memory(uint32_t address, uint32_t size) {
        return instrument().target().read(address, size);
    }
    Bytes fileBytes(const std::string& path) {
        const std::string text = ReadAll(path);
        return Bytes(text.begin(), text.end());
    }
    Message lastMessage() const { return notifier_.messages().back(); }

    testing::TempFolder folder_;
    std::ostringstream console_;
    IniFile language_;
    VirtualClock clock_;
    RecordingNotifier notifier_;
    sim::SimulatedUsb usb_{clock_};
    PacketTransferEngine transfer_{notifier_, clock_};
    FlashCommandEngine flash_{notifier_, clock_};
    std::vector<PairOutcome> outcomes_;
};

TEST_F(UpdateRunTest, ALowerCaseR1PairIsWrittenByThePacketTransfer) {
    const std::string bin = data("a.bin", 3000, 1);
    ASSERT_TRUE(run({{"r1", profile("a.ini", 0x2000), bin}}));
    EXPECT_EQ(memory(0x2000, 3000), fileBytes(bin));
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].engine, PairEngine::Transfer);
    EXPECT_EQ(instrument().resultFlags(), Bytes{0});
    EXPECT_EQ(lastMessage(),
              (Message{"Success", "All done", MessageButtons::Ok, MessageIcon::Information}));
}

TEST_F(UpdateRunTest, EveryOtherCodeGoesToTheFlashEngine) {
    for (const char* code : {"R2", "X9", ""}) {
        outcomes_.clear();
        run({{code, profile("a.ini", 0), data("a.bin", 10, 1)}});
        ASSERT_EQ(outcomes_.size(), 1u) << code;
        EXPECT_EQ(outcomes_[0].engine, PairEngine::Flash) << code;
        EXPECT_EQ(outcomes_[0].engineCode, code);
    }
}

TEST_F(UpdateRunTest, TheRunStopsAtTheFirstFailingPair) {
    const std::string bin1 = data("1.bin", 2000, 1);
    ASSERT_FALSE(run({{"R1", profile("1.ini", 0x1000), bin1},
                      {"R1", profile("2.ini", 0x8000, "100"), data("2.bin", 2000, 2)},
                      {"R1", profile("3.ini", 0x10000), data("3.bin", 2000, 3)}}));
    ASSERT_EQ(outcomes_.size(), 2u);
    EXPECT_TRUE(outcomes_[0].ok);
    EXPECT_FALSE(outcomes_[1].ok);
    EXPECT_EQ(memory(0x1000, 2000), fileBytes(bin1));
    EXPECT_EQ(memory(0x10000, 2000), Bytes(2000, 0xFF));  // pair 3 never written
    EXPECT_EQ(instrument().resultFlags(), Bytes{1});
    EXPECT_EQ(notifier_.texts(),
              (std::vector<std::string>{"The data length in configure.ini must be multiple of 64",
                                        "Read configure file failed", "It failed"}));
    EXPECT_EQ(lastMessage().caption, "Error");
}

TEST_F(UpdateRunTest, AfterThreeGoodPairsTheWorkFilesHoldTheThird) {
    const std::string ini3 = profile("3.ini", 0x10000);
    const std::string bin3 = data("3.bin", 1500, 3);
    ASSERT_TRUE(run({{"R1", profile("1.ini", 0x1000), data("1.bin", 1000, 1)},
                     {"R1", profile("2.ini", 0x8000), data("2.bin", 2000, 2)},
                     {"R1", ini3, bin3}}));
    EXPECT_EQ(outcomes_.size(), 3u);
    EXPECT_EQ(ReadAll(work() + kTempBinName), ReadAll(bin3));
    // The configuration file is written with CR LF line ends.
    std::string expected;
    for (char c : ReadAll(ini3)) {
        expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(ReadAll(work() + kTempIniName), expected);
    EXPECT_EQ(instrument().resultFlags(), Bytes{0});
    EXPECT_EQ(memory(0x10000, 1500), fileBytes(bin3));
}

TEST_F(UpdateRunTest, APairThatCannotBeUnpackedFailsWithoutRunningAnEngine) {
    const std::string bin = data("a.bin", 500, 1);
    ASSERT_TRUE(run({{"R1", profile("a.ini", 0x2000), bin}}));
    const int handshakes = static_cast<int>(instrument().chipTypes().size());
    notifier_.clear();
    outcomes_.clear();

    // The same package with its data entry pointing past the end of the file.
    UpdateRunSetup setup = setupFor(openPackage(), notifier_);
    setup.package.pairs[0].dataOffset = 1u << 30;
    EXPECT_FALSE(RunUpdate(setup));
    EXPECT_EQ(static_cast<int>(instrument().chipTypes().size()), handshakes);
    ASSERT_EQ(notifier_.texts().size(), 2u);
    EXPECT_EQ(notifier_.texts()[0].rfind("Cannot unpack pair 1", 0), 0u);
    EXPECT_EQ(notifier_.texts()[1], "It failed");
    EXPECT_EQ(instrument().resultFlags(), (Bytes{0, 1}));
}

TEST_F(UpdateRunTest, APackageChangedAfterOpeningFailsBeforeTheInstrumentIsTouched) {
    const std::string bin = data("a.bin", 500, 1);
    const PackageRecord opened = buildPackage({{"R1", profile("a.ini", 0x2000), bin}});
    // One data byte flipped after the package was opened and verified.
    Bytes bytes = fileBytes(packagePath());
    bytes[opened.pairs[0].dataOffset + 100] ^= 0x01;
    std::ofstream(packagePath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    EXPECT_FALSE(RunUpdate(setupFor(opened, notifier_)));
    EXPECT_TRUE(instrument().chipTypes().empty());  // no handshake: the engine never ran
    EXPECT_EQ(memory(0x2000, 500), Bytes(500, 0xFF));
    ASSERT_EQ(notifier_.messages().size(), 2u);
    EXPECT_EQ(notifier_.messages()[0],
              PackageFaultMessage(language_, PackageFault::DataFile1Sum, packagePath()));
    EXPECT_EQ(instrument().resultFlags(), Bytes{1});
}

// Changes the first byte of the unpacked data file at the engine's first wait (its handshake),
// as another process could between the unpacking and the engine's loading.
class TamperingClock final : public Clock {
  public:
    explicit TamperingClock(std::string path) : path_(std::move(path)) {}
    void sleep(std::chrono::milliseconds duration) override {
        if (!tampered_) {
            std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
            tampered_ = static_cast<bool>(file.put('\x7F'));
        }
        inner_.sleep(duration);
    }
    std::chrono::milliseconds now() const override { return inner_.now(); }
    bool tampered() const { return tampered_; }

  private:
    std::string path_;
    bool tampered_ = false;
    VirtualClock inner_;
};

TEST_F(UpdateRunTest, ADataFileChangedAfterItsCheckIsCaughtOnTheBytesTheEngineLoads) {
    TamperingClock clock(work() + kTempBinName);
    PacketTransferEngine transfer(notifier_, clock);
    sim::BindToSimulator(transfer.link(), usb_, clock_);
    UpdateRunSetup setup = setupFor(
        buildPackage({{"R1", profile("a.ini", 0x2000), data("a.bin", 500, 1)}}), notifier_);
    setup.transfer = &transfer;
    EXPECT_FALSE(RunUpdate(setup));
    EXPECT_TRUE(clock.tampered());
    EXPECT_EQ(memory(0x2000, 500), Bytes(500, 0xFF));
    ASSERT_FALSE(notifier_.messages().empty());
    EXPECT_EQ(notifier_.messages()[0],
              PackageFaultMessage(language_, PackageFault::DataFile1Sum, packagePath()));
}

// Runs out of memory at the first progress post, as an engine might on a huge data file.
class OutOfMemoryNotifier final : public Notifier {
  public:
    explicit OutOfMemoryNotifier(RecordingNotifier& recorder) : recorder_(recorder) {}
    MessageAnswer showMessage(const Message& message) override {
        return recorder_.showMessage(message);
    }
    void postProgress(const ProgressEvent&) override {
        ++posts;
        throw std::bad_alloc();
    }
    int posts = 0;

  private:
    RecordingNotifier& recorder_;
};

TEST_F(UpdateRunTest, WhatThePairThrowsFailsThePairAndTheRunStillEnds) {
    OutOfMemoryNotifier throwing(notifier_);
    const PackageRecord package =
        buildPackage({{"R1", profile("a.ini", 0x2000), data("a.bin", 3000, 1)}});
    EXPECT_FALSE(RunUpdate(setupFor(package, throwing)));
    EXPECT_EQ(throwing.posts, 1);
    EXPECT_EQ(
        notifier_.texts(),
        (std::vector<std::string>{"Not enough memory to write pair 1 of the update", "It failed"}));
    EXPECT_EQ(instrument().resultFlags(), Bytes{1});
}

TEST_F(UpdateRunTest, AnUnansweredResultFrameIsReportedBeforeTheResult) {
    // The pair's five reads go well; nothing of the result frame's answer arrives.
    instrument().faults().shortAnswers = {{6, 0}};
    run({{"R1", profile("a.ini", 0x2000), data("a.bin", 100, 1)}});
    EXPECT_EQ(instrument().faultsHit(), 1);
    EXPECT_EQ(instrument().resultFlags(), Bytes{0});
    EXPECT_EQ(notifier_.texts(),
              (std::vector<std::string>{"read usb failed after send 09 command ", "All done"}));
}

TEST_F(UpdateRunTest, AMissingInstrumentAtTheResultFrameIsReportedBeforeTheResult) {
    // The instrument goes away after the pair's ten transfers: the result frame can be neither
    // sent nor answered.
    const std::string bin = data("a.bin", 100, 1);
    instrument().faults().unplugAtTransfer = 11;
    run({{"R1", profile("a.ini", 0x2000), bin}});
    const auto texts = notifier_.texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 3], "write usb failed when send 09 command ");
    EXPECT_EQ(texts[texts.size() - 2], "read usb failed after send 09 command ");
    EXPECT_EQ(texts.back(), "All done");
    EXPECT_EQ(notifier_.messages()[texts.size() - 3].caption, "Error");
}

}  // namespace
}  // namespace harmoload
