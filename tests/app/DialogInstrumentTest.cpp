// The dialog with its own links, against the simulated instrument of the test-double
// libusb0.dll: the Update image and the instruction line as the instrument comes and goes, and
// whole update runs on the worker thread (runs under Wine with a display).
//
// The test double lives in bin\simulator\, away from the programs. This test puts that folder on
// its DLL search path before anything loads libusb0.dll, so the dialog's links load it by name
// exactly as Harmoload.exe loads the real library; the test starts a fresh instrument, or takes
// it away, through the double's own configure entry point.

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "DialogFixture.h"
#include "Screenshot.h"
#include "platform/Files.h"
#include "res/resource.h"
#include "tests/support/PipeInstrument.h"
#include "tests/support/SamplePackage.h"
#include "text/PathText.h"
#include "ui/GdiplusSession.h"
#include "usb/InterfaceLocator.h"

namespace harmoload::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// The test double, loaded by name through the search path the dialog's links use.
class SimulatorDll {
  public:
    static SimulatorDll& Instance() {
        static SimulatorDll dll;
        return dll;
    }

    bool loaded() const { return configure_ != nullptr && readTarget_ != nullptr && flags_; }
    std::string path() const { return path_; }

    // A fresh instrument as the description says ("" attached, "absent" none).
    bool configure(const char* description) const { return configure_(description) == 0; }
    Bytes target(uint32_t address, uint32_t length) const {
        Bytes bytes(length);
        readTarget_(address, bytes.data(), length);
        return bytes;
    }
    Bytes resultFlags() const {
        uint8_t flags[16] = {};
        const int count = flags_(flags, static_cast<int>(std::size(flags)));
        return Bytes(flags, flags + std::min<size_t>(static_cast<size_t>(count), std::size(flags)));
    }

  private:
    SimulatorDll() {
        std::string folder = ModuleFileName();
        folder.erase(folder.find_last_of("\\/") + 1);
        SetDllDirectoryW(ui::Wide(folder + "simulator").c_str());
        HMODULE module = LoadLibraryW(L"libusb0.dll");
        if (module == nullptr) {
            return;
        }
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameW(module, name, MAX_PATH);
        path_ = ui::Utf8(name);
        configure_ = reinterpret_cast<int(__cdecl*)(const char*)>(
            reinterpret_cast<void*>(GetProcAddress(module, "harmoload_sim_configure")));
        readTarget_ = reinterpret_cast<int(__cdecl*)(uint32_t, uint8_t*, uint32_t)>(
            reinterpret_cast<void*>(GetProcAddress(module, "harmoload_sim_read_target")));
        flags_ = reinterpret_cast<int(__cdecl*)(uint8_t*, int)>(
            reinterpret_cast<void*>(GetProcAddress(module, "harmoload_sim_result_flags")));
    }

    std::string path_;
    int(__cdecl* configure_)(const char*) = nullptr;
    int(__cdecl* readTarget_)(uint32_t, uint8_t*, uint32_t) = nullptr;
    int(__cdecl* flags_)(uint8_t*, int) = nullptr;
};

// A notification as the system sends it when a device arrives or leaves.
void NotifyDeviceChange(const RunningDialog& running) {
    SendMessageW(running.window(), WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
}

void ClickUpdate(const RunningDialog& running) {
    PostMessageW(running.window(), WM_COMMAND, MAKEWPARAM(IDC_BTN_UPDATE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(running.item(IDC_BTN_UPDATE)));
}

std::string BoxText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, static_cast<int>(std::size(text)));
    return ui::Utf8(text);
}

// The pointer's shape on the screen.
HCURSOR Cursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

struct ProgressState {
    int low;
    int high;
    int position;
    bool operator==(const ProgressState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ProgressState& state) {
    return out << state.low << ".." << state.high << " at " << state.position;
}

ProgressState Progress(const RunningDialog& running) {
    PBRANGE range{};
    SendMessageW(running.item(IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const auto position =
        static_cast<int>(SendMessageW(running.item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
    return {range.iLow, range.iHigh, position};
}

class DialogInstrumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(simulator().loaded()) << "bin\\simulator\\libusb0.dll with its test entries";
        // Found in bin\simulator, never beside the programs.
        ASSERT_NE(simulator().path().find("simulator"), std::string::npos) << simulator().path();
        WriteLanguageFile(folder, "Eng.ini", "eng");
        WriteLanguageFile(folder, "Chin.ini", "chin");
    }

    static const SimulatorDll& simulator() { return SimulatorDll::Instance(); }
    bool attach() const { return simulator().configure(""); }
    bool detach() const { return simulator().configure("absent"); }

    std::vector<uint32_t> updateImage(const RunningDialog& running) const {
        return ButtonPixels(running.item(IDC_BTN_UPDATE));
    }

    TempFolder folder;
};

// ---- Presence -------------------------------------------------------------------------------

TEST_F(DialogInstrumentTest, InstrumentAttachedAtStartUpShowsTheColouredImage) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_NOT_OPEN_FILE>");

    // Without a package a later check greys it, instrument or not.
    NotifyDeviceChange(running);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_NOT_OPEN_FILE>");
}

TEST_F(DialogInstrumentTest, ImageFollowsTheInstrumentAsItComesAndGoes) {
    ASSERT_TRUE(detach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
    running.drop({WritePackage(folder, "a.dat", {"A0", "", "C1"})});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_DEV_NOT_CONNECT>hold A0 & C1 on");

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(attach());
        NotifyDeviceChange(running);
        EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
        EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_COMMENT_5>");

        ASSERT_TRUE(detach());
        NotifyDeviceChange(running);
        EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
        EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION),
                  "<IDS_ERR_DEV_NOT_CONNECT>hold A0 & C1 on");
    }
}

TEST_F(DialogInstrumentTest, OpeningAPackageAsksTheInstrumentAgain) {
    ASSERT_TRUE(detach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    // Attached without a notification: opening the package finds it.
    ASSERT_TRUE(attach());
    running.drop({WritePackage(folder, "a.dat", {"A0"})});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_COMMENT_5>");
}

TEST_F(DialogInstrumentTest, PackageFileGoneGreysTheImageAtTheNextCheck) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    const std::string package = WritePackage(folder, "a.dat", {"A0"});
    running.drop({package});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    std::filesystem::remove(TempFolder::AsPath(package));
    NotifyDeviceChange(running);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_NOT_OPEN_FILE>");
}

TEST_F(DialogInstrumentTest, AnotherDeviceOnTheBusIsNoInstrument) {
    ASSERT_TRUE(simulator().configure("absent; other=1234:5678"));
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    running.drop({WritePackage(folder, "a.dat", {"A0"})});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
}

TEST_F(DialogInstrumentTest, ChineseImagesFollowTheInstrument) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder, kChineseLangId), OwnLinks{});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_CHINESE));
    running.drop({WritePackage(folder, "a.dat", {"A0"})});
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_CHINESE));
    ASSERT_TRUE(detach());
    NotifyDeviceChange(running);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_CHINESE_GREY));
}

// ---- Update runs ------------------------------------------------------------------------------

// A one-pair R1 package writing kDataBytes at kAddress in packets of 1 KiB: five packets, each
// followed by the engine's wait of 100 ms for a 1 KiB header, so a run lasts about half a second
// before its result message.
class DialogUpdateRunTest : public DialogInstrumentTest {
  protected:
    static constexpr uint32_t kAddress = 0x2000;
    static constexpr uint32_t kDataBytes = 4 * 1024 + 500;
    static constexpr int kPackets = 5;

    void SetUp() override {
        DialogInstrumentTest::SetUp();
        const std::string config = folder.writeText(
            "sound.ini",
            "[Chip Info]\nChip Type=2\nChip Size=16M\n[Transmission Info]\nChip Name=" +
                std::to_string(kAddress) + "\nData Length=1k\n");
        data.resize(kDataBytes);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        const std::string dataPath = folder.write("sound.bin", data);
        RecordingNotifier notifier;
        package = folder.path("Sound.DAT");
        ASSERT_TRUE(BuildPackage({"HM-900", "V2.10", {"A0", "", "C1"}, {{"R1", config, dataPath}}},
                                 package, notifier));
    }

    // The dialog with the package open and the instrument attached, ready for Update.
    void openReady(RunningDialog& running) {
        running.drop({package});
        ASSERT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    }

    // Presses OK on each box the run shows, noting "caption: text", until the result message
    // (the one that names IDS_UPDATE_...), which is left open and returned.
    HWND boxesUntilResult(const RunningDialog& running, std::vector<std::string>& shown) {
        for (int boxes = 0; boxes < 8; ++boxes) {
            HWND box = nullptr;
            WaitFor(
                [&] {
                    for (const wchar_t* caption : {L"Success", L"Error", L"Harmoload"}) {
                        if ((box = running.ownedBox(caption)) != nullptr) {
                            return true;
                        }
                    }
                    return false;
                },
                30s);
            if (box == nullptr) {
                return nullptr;
            }
            wchar_t caption[64] = {};
            GetWindowTextW(box, caption, 64);
            const std::string text = BoxText(box);
            shown.push_back(ui::Utf8(caption) + ": " + text);
            if (text.starts_with("<IDS_UPDATE_")) {
                return box;
            }
            PressButton(box, IDOK);
            WaitFor([&] { return !IsWindow(box); });
        }
        return nullptr;
    }

    // Opens the package, presses Update and answers the run's boxes up to its result message.
    HWND updateUntilResult(RunningDialog& running, std::vector<std::string>& shown) {
        openReady(running);
        ClickUpdate(running);
        return boxesUntilResult(running, shown);
    }

    bool updateVisible(const RunningDialog& running) const {
        return IsWindowVisible(running.item(IDC_BTN_UPDATE)) != FALSE;
    }
    bool progressVisible(const RunningDialog& running) const {
        return IsWindowVisible(running.item(IDC_PROGRESS)) != FALSE;
    }

    // After the result message is closed: the Update button back, the run over.
    void closeResultAndWaitForTheEnd(RunningDialog& running, HWND result) {
        PressButton(result, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !running.dialog().updateRunning(); }));
        ASSERT_TRUE(running.sync());
    }

    Bytes data;
    std::string package;
};

TEST_F(DialogUpdateRunTest, AFullUpdateWritesTheInstrumentAndGivesTheUpdateButtonBack) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    openReady(running);

    ClickUpdate(running);
    ASSERT_TRUE(running.sync());
    // The run has started and lasts longer than this: the mouse is the dialog's, Update has
    // given its place to the progress bar.
    EXPECT_TRUE(running.dialog().updateRunning());
    EXPECT_EQ(running.capture(), running.window());
    EXPECT_FALSE(updateVisible(running));
    EXPECT_TRUE(progressVisible(running));
    // Wine may report no cursor for a moment while the machine is busy: wait for it.
    EXPECT_TRUE(WaitFor([] { return Cursor() == LoadCursorW(nullptr, IDC_WAIT); }));

    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});
    EXPECT_EQ(GetWindow(result, GW_OWNER), running.window());

    // The result message comes before the end of the run: the full bar stays in view.
    ASSERT_TRUE(running.sync());
    EXPECT_EQ(Progress(running), (ProgressState{0, kPackets, kPackets}));
    EXPECT_TRUE(progressVisible(running));
    EXPECT_FALSE(updateVisible(running));
    EXPECT_TRUE(running.dialog().updateRunning());
    // The instrument holds the data and was told that every pair succeeded.
    EXPECT_EQ(simulator().target(kAddress, kDataBytes), data);
    EXPECT_EQ(simulator().resultFlags(), Bytes{0});
    // The work files are the run's own, in the temporary area: nothing lands in the program
    // folder, which may not be writable.
    EXPECT_FALSE(TempFolder::exists(folder.path("TEMP.BIN")));
    EXPECT_FALSE(TempFolder::exists(folder.path("TEMP.INI")));

    closeResultAndWaitForTheEnd(running, result);
    EXPECT_TRUE(updateVisible(running));
    EXPECT_FALSE(progressVisible(running));
    EXPECT_EQ(Progress(running).position, 0);
    EXPECT_EQ(running.capture(), nullptr);
    // The wait cursor goes with the run (the pointer's next move gives each control its own).
    EXPECT_TRUE(WaitFor([] { return Cursor() != LoadCursorW(nullptr, IDC_WAIT); }));
    // The end of a run asks nothing of the instrument: the image stays as it was.
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));

    // A second run goes the same way.
    ClickUpdate(running);
    shown.clear();
    result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_EQ(running.dialog().updateRuns, 2);
    EXPECT_TRUE(updateVisible(running));

    // Once the run is over the dialog closes as ever.
    PostMessageW(running.window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.waitForEnd());
    EXPECT_FALSE(TempFolder::exists(folder.path("TEMP.BIN")));
}

TEST_F(DialogUpdateRunTest, DeviceChangeDuringARunNeitherOpensTheLinkNorChangesTheImage) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    openReady(running);
    const int checksBefore = running.dialog().presenceChecks;

    ClickUpdate(running);
    ASSERT_TRUE(running.sync());
    NotifyDeviceChange(running);  // mid-transfer
    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    // The transfer went through undisturbed.
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});

    // Gone now, but a check would see it only by opening the link, which is the run's.
    ASSERT_TRUE(detach());
    NotifyDeviceChange(running);
    EXPECT_EQ(running.dialog().presenceChecks, checksBefore);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));

    closeResultAndWaitForTheEnd(running, result);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    // After the run notifications are heard again.
    NotifyDeviceChange(running);
    EXPECT_EQ(running.dialog().presenceChecks, checksBefore + 1);
    EXPECT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
}

TEST_F(DialogUpdateRunTest, DuringARunUpdateEnterCloseAndDropsAreRefused) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    openReady(running);
    const std::string other = WritePackage(folder, "other.dat", {"K1"}, "HM-2", "9.9");

    ClickUpdate(running);
    ASSERT_TRUE(running.sync());
    ASSERT_TRUE(running.dialog().updateRunning());
    running.pressKey(VK_RETURN);
    running.pressKey(VK_RETURN, IDC_BTN_BROWSE);
    ClickUpdate(running);
    PostMessageW(running.window(), WM_CLOSE, 0, 0);
    running.drop({other});
    ASSERT_TRUE(running.sync());

    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});
    EXPECT_FALSE(running.ended());
    EXPECT_EQ(running.utf8Text(IDC_EDIT_PATH), package);
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-900");
    closeResultAndWaitForTheEnd(running, result);

    // One run, one result frame.
    EXPECT_EQ(running.dialog().updateRuns, 1);
    EXPECT_EQ(simulator().resultFlags(), Bytes{0});
    EXPECT_FALSE(running.ended());
    EXPECT_TRUE(updateVisible(running));
}

TEST_F(DialogUpdateRunTest, TheSessionMayNotEndWhileARunWrites) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    openReady(running);
    EXPECT_NE(SendMessageW(running.window(), WM_QUERYENDSESSION, 0, 0), 0);

    ClickUpdate(running);
    ASSERT_TRUE(running.sync());
    ASSERT_TRUE(running.dialog().updateRunning());
    EXPECT_EQ(SendMessageW(running.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);

    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_NE(SendMessageW(running.window(), WM_QUERYENDSESSION, 0, 0), 0);
}

TEST_F(DialogUpdateRunTest, InstrumentGoneWithoutNoticeFailsTheRunWithItsMessages) {
    ASSERT_TRUE(attach());
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    openReady(running);
    // Unplugged, and no notification came: the dialog still believes it is there.
    ASSERT_TRUE(detach());

    ClickUpdate(running);
    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    ASSERT_GE(shown.size(), 3u);
    // The engine's own message first, then the result frame's two, then the failure text.
    EXPECT_EQ(shown.front(), "Harmoload: Open usb device failed");
    EXPECT_EQ(std::vector<std::string>(shown.end() - 3, shown.end()),
              (std::vector<std::string>{"Error: write usb failed when send 09 command ",
                                        "Error: read usb failed after send 09 command ",
                                        "Error: <IDS_UPDATE_FAILED>"}));
    EXPECT_FALSE(updateVisible(running));
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_TRUE(updateVisible(running));
    EXPECT_FALSE(progressVisible(running));
    EXPECT_EQ(running.capture(), nullptr);
}

TEST_F(DialogUpdateRunTest, AFailedPacketEndsTheRunWithTheFailureFrame) {
    // Every verdict refuses the first packet: the engine gives up after its resends.
    ASSERT_TRUE(simulator().configure("bad-verdict=1,2,3,4,5,6,7,8,9,10,11,12"));
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    std::vector<std::string> shown;
    HWND result = updateUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown.back(), "Error: <IDS_UPDATE_FAILED>");
    EXPECT_EQ(simulator().resultFlags(), Bytes{1});
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_TRUE(updateVisible(running));
}

// A user without a mouse: the package named on the command line, Tab through the dialog to
// Update (by way of Browse), which shows that it has the focus, and Space presses it.
TEST_F(DialogUpdateRunTest, KeyboardAloneUpdatesTheInstrument) {
    ASSERT_TRUE(attach());
    UpdateDialogOptions options = OptionsIn(folder);
    options.startupItems = {package};
    RunningDialog running(options, OwnLinks{});
    ASSERT_TRUE(WaitFor([&] { return running.utf8Text(IDC_EDIT_PATH) == package; }));
    HWND update = running.item(IDC_BTN_UPDATE);
    ASSERT_EQ(updateImage(running), ResourcePixels(IDB_UPDATE_ENGLISH));
    const std::vector<uint32_t> unfocused = PrintedPixels(update);

    EXPECT_EQ(running.focus(), running.item(IDC_EDIT_PATH));
    const auto tab = [&] {
        running.pressKey(VK_TAB, GetDlgCtrlID(running.focus()));
        running.sync();
        return running.focus();
    };
    EXPECT_EQ(tab(), running.item(IDC_BTN_BROWSE));
    // The product model and software version boxes lie between.
    EXPECT_EQ(tab(), running.item(IDC_EDIT_MODEL));
    EXPECT_EQ(tab(), running.item(IDC_EDIT_VERSION));
    ASSERT_EQ(tab(), update);
    EXPECT_NE(PrintedPixels(update), unfocused);
    EXPECT_EQ(running.dialog().updateRuns, 0);

    running.pressKey(VK_SPACE, IDC_BTN_UPDATE);
    std::vector<std::string> shown;
    HWND result = boxesUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});
    EXPECT_EQ(simulator().target(kAddress, kDataBytes), data);
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_EQ(running.dialog().updateRuns, 1);
}

// The same dialog with libusb finding nothing and the process's driver pipes finding named
// pipes that play the instrument: the whole sample package goes through the driver pipes.
class DialogDriverPipeRunTest : public DialogUpdateRunTest {
  protected:
    void SetUp() override {
        DialogUpdateRunTest::SetUp();
        ASSERT_TRUE(detach());
        SystemInterfaceLocator().bind(served.table());
    }
    void TearDown() override { SystemInterfaceLocator().bind(SystemDriverPipes()); }

    PipeInstrument served;
};

TEST_F(DialogDriverPipeRunTest, TheSamplePackageUpdatesThroughTheDriverPipes) {
    package = SamplePackage::Path();
    RunningDialog running(OptionsIn(folder), OwnLinks{});
    std::vector<std::string> shown;
    HWND result = updateUntilResult(running, shown);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"Success: <IDS_UPDATE_SUCCESSFUL>"});
    EXPECT_TRUE(SamplePackage::Holds(served.instrument()));
    EXPECT_EQ(served.instrument().resultFlags(), Bytes{0});
    closeResultAndWaitForTheEnd(running, result);
    EXPECT_TRUE(updateVisible(running));
}

// The dialog as the user sees it with the build's language files, in English and Chinese: ready
// (the coloured Update image), in the middle of a run, its result message and after the run;
// kept as test artefacts. During the run the progress bar shows where Update was; after it,
// Update is back as it was.
TEST_F(DialogUpdateRunTest, ScreenshotsOfAnUpdate) {
    ui::GdiplusSession gdiplus;
    std::filesystem::copy(TempFolder::AsPath(ProgramDirectory() + "Language"),
                          TempFolder::AsPath(folder.path("Language")),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    // Returns the screen's pixels where Update lies.
    const auto shoot = [](RunningDialog& running, HWND window, const std::string& name) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        running.sync();
        std::this_thread::sleep_for(200ms);
        const std::filesystem::path file = ArtefactsFolder() / name;
        EXPECT_TRUE(SaveScreenshot(window, file));
        EXPECT_GT(std::filesystem::file_size(file), 1000u);
        return ScreenPixels(running.item(IDC_BTN_UPDATE));
    };
    for (const uint16_t languageId : {uint16_t{0x0409}, kChineseLangId}) {
        const std::string language = languageId == kChineseLangId ? "-chinese" : "";
        ASSERT_TRUE(attach());
        RunningDialog running(OptionsIn(folder, languageId), OwnLinks{});
        running.drop({package});
        const std::vector<uint32_t> ready =
            shoot(running, running.window(), "dialog-update-ready" + language + ".png");

        ClickUpdate(running);
        EXPECT_TRUE(WaitFor([&] { return Progress(running).position >= 2; }));
        EXPECT_NE(shoot(running, running.window(), "dialog-update-running" + language + ".png"),
                  ready);

        HWND result = running.waitForBox(L"Success");
        ASSERT_NE(result, nullptr);
        shoot(running, result, "dialog-update-result" + language + ".png");
        closeResultAndWaitForTheEnd(running, result);
        EXPECT_EQ(shoot(running, running.window(), "dialog-update-done" + language + ".png"),
                  ready);
    }
}

}  // namespace
}  // namespace harmoload::testing
