// The main dialog, driven through window messages as the user and the system would drive it
// (runs under Wine with a display).

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <filesystem>
#include <string>

#include "DialogDriver.h"
#include "DialogFixture.h"
#include "controls/DragValueEdit.h"
#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Dpi.h"

namespace harmoload::testing {
namespace {

class UpdateDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteLanguageFile(folder, "Eng.ini", "eng"); }
    TempFolder folder;
};

// ---- Start-up ----------------------------------------------------------------------------

TEST_F(UpdateDialogTest, LanguageFileFollowsTheLanguageId) {
    WriteLanguageFile(folder, "Chin.ini", "chin");
    struct Case {
        uint16_t languageId;
        const char* tag;
        int updateImage;
    };
    for (const Case& c : {Case{0x0804, "chin", IDB_UPDATE_CHINESE_GREY},
                          Case{0x0404, "eng", IDB_UPDATE_ENGLISH_GREY},
                          Case{0x0C04, "eng", IDB_UPDATE_ENGLISH_GREY},
                          Case{0x1004, "eng", IDB_UPDATE_ENGLISH_GREY},
                          Case{0x0409, "eng", IDB_UPDATE_ENGLISH_GREY}}) {
        SCOPED_TRACE(c.languageId);
        RunningDialog running(OptionsIn(folder, c.languageId));
        const std::string tag = c.tag;
        EXPECT_EQ(running.utf8Text(), tag + " IDS_STRING_CAPTION");
        EXPECT_EQ(running.utf8Text(IDC_STC_GROUP1), tag + " IDC_STC_GROUP1");
        EXPECT_EQ(running.utf8Text(IDC_STC_GROUP2), tag + " IDC_STC_GROUP2");
        EXPECT_EQ(running.utf8Text(IDC_STC_PRO_MODEL), tag + " IDC_STC_PRO_MODEL");
        EXPECT_EQ(running.utf8Text(IDC_STC_VERSTION), tag + " IDC_STC_VERSTION");
        EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(c.updateImage));
    }
}

TEST_F(UpdateDialogTest, WithoutLanguageFileTheTextsAreEmptyAndTheDialogRuns) {
    std::filesystem::remove_all(TempFolder::AsPath(folder.path("Language")));
    RunningDialog running(OptionsIn(folder));
    for (int id : {0, IDC_STC_GROUP1, IDC_STC_GROUP2, IDC_STC_PRO_MODEL, IDC_STC_VERSTION,
                   IDC_STC_INSTRUCTION}) {
        EXPECT_EQ(running.text(id), L"") << id;
    }
    running.drop({WritePackage(folder, "a.dat", {"A0"})});
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-900");
}

TEST_F(UpdateDialogTest, StartsReadyForAPackage) {
    RunningDialog running(OptionsIn(folder));
    HWND window = running.window();
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    EXPECT_TRUE(IsWindowVisible(running.item(IDC_BTN_UPDATE)));
    EXPECT_FALSE(IsWindowVisible(running.item(IDC_PROGRESS)));
    EXPECT_EQ(running.text(IDC_EDIT_PATH), L"");
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_BROWSE)), ResourcePixels(IDB_OPEN_FOLDER));

    const auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0));
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(icon, reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)));
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(UpdateDialogTest, SystemMenuOpensTheAboutBox) {
    RunningDialog running(OptionsIn(folder));
    HMENU menu = GetSystemMenu(running.window(), FALSE);
    wchar_t entry[128] = {};
    GetMenuStringW(menu, IDM_ABOUTBOX, entry, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(entry), L"\u5173\u4e8e Harmoload(&A)...");

    // The low four bits of a system command are the system's own.
    PostMessageW(running.window(), WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
    HWND about = running.waitForBox(L"About Harmoload");
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(IsWindowEnabled(running.window()));
    PressButton(about, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(running.window()) != FALSE; }));
    EXPECT_FALSE(running.ended());
}

// The pixel the button draws at (1, 1), outside its picture: its copy of the dialog behind it.
COLORREF ButtonBackground(HWND button) {
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ replaced = SelectObject(dc, bitmap);
    SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF pixel = GetPixel(dc, 1, 1);
    SelectObject(dc, replaced);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixel;
}

TEST_F(UpdateDialogTest, SystemColourChangeReachesTheButtons) {
    RunningDialog running(OptionsIn(folder));
    HWND update = running.item(IDC_BTN_UPDATE);
    const COLORREF dialogColour = ButtonBackground(update);
    constexpr COLORREF kRed = RGB(255, 0, 0);
    ASSERT_NE(dialogColour, kRed);

    // The dialog's pixels behind the button change; the button keeps its copy until the system's
    // colours change. The red is painted past the dialog's own painting, which the display may
    // still ask for (an expose arriving late) and which then paints over it before the button
    // looks: each attempt first lets the dialog finish what it has to paint.
    RECT place{};
    GetWindowRect(update, &place);
    MapWindowPoints(nullptr, running.window(), reinterpret_cast<POINT*>(&place), 2);
    constexpr int kAttempts = 5;
    int attempt = 0;
    COLORREF refreshed = dialogColour;
    for (; attempt < kAttempts && refreshed != kRed; ++attempt) {
        RedrawWindow(running.window(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(50);
        HDC dc = GetDC(running.window());
        HBRUSH red = CreateSolidBrush(kRed);
        FillRect(dc, &place, red);
        DeleteObject(red);
        ReleaseDC(running.window(), dc);
        EXPECT_EQ(ButtonBackground(update), dialogColour);

        SendMessageW(running.window(), WM_SYSCOLORCHANGE, 0, 0);
        refreshed = ButtonBackground(update);
    }
    EXPECT_EQ(refreshed, kRed) << "after " << attempt << " attempts";
}

// ---- Scale and accessibility ----------------------------------------------------------------

struct Layout {
    std::vector<RECT> places;
    LONG fontHeight;
};

// Where each control of the dialog lies (client coordinates) and the height of the controls' font.
Layout LayoutOf(HWND dialog) {
    Layout layout{};
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        layout.places.push_back(place);
    }
    LOGFONTW font{};
    GetObjectW(
        reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_STC_INSTRUCTION, WM_GETFONT, 0, 0)),
        sizeof font, &font);
    layout.fontHeight = font.lfHeight;
    return layout;
}

void MoveToDpi(const RunningDialog& running, UINT dpi, const RECT& suggested) {
    SendMessageW(running.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
}

TEST_F(UpdateDialogTest, MovedToAScreenOfTwiceTheScaleTheDialogDoublesAndBack) {
    RunningDialog running(OptionsIn(folder), /*instrument=*/true);
    ASSERT_EQ(ui::WindowDpi(running.window()), ui::kDefaultDpi) << "runs at 100 %";
    const Layout before = LayoutOf(running.window());
    RECT window{};
    GetWindowRect(running.window(), &window);
    const RECT doubled{window.left, window.top, window.left + 2 * (window.right - window.left),
                       window.top + 2 * (window.bottom - window.top)};

    MoveToDpi(running, 2 * ui::kDefaultDpi, doubled);
    const Layout after = LayoutOf(running.window());
    ASSERT_EQ(after.places.size(), before.places.size());
    for (size_t i = 0; i < before.places.size(); ++i) {
        EXPECT_EQ(after.places[i].left, 2 * before.places[i].left) << i;
        EXPECT_EQ(after.places[i].top, 2 * before.places[i].top) << i;
        EXPECT_EQ(after.places[i].right, 2 * before.places[i].right) << i;
        EXPECT_EQ(after.places[i].bottom, 2 * before.places[i].bottom) << i;
    }
    EXPECT_EQ(after.fontHeight, 2 * before.fontHeight);
    // The pictures drawn for 200 %.
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(IDB_UPDATE_ENGLISH_200));
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_BROWSE)), ResourcePixels(IDB_OPEN_FOLDER_200));
    // The drawn controls drawn at the new size: the group's frame reaches its new right edge.
    RECT client{};
    GetClientRect(running.window(), &client);
    EXPECT_GE(client.right, after.places.front().right);

    MoveToDpi(running, ui::kDefaultDpi, window);
    const Layout back = LayoutOf(running.window());
    for (size_t i = 0; i < before.places.size(); ++i) {
        EXPECT_TRUE(EqualRect(&back.places[i], &before.places[i])) << i;
    }
    EXPECT_EQ(back.fontHeight, before.fontHeight);
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(IDB_UPDATE_ENGLISH));
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_BROWSE)), ResourcePixels(IDB_OPEN_FOLDER));
}

std::wstring Name(IAccessible& object) {
    BSTR name = nullptr;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    std::wstring text = SUCCEEDED(object.get_accName(self, &name)) && name != nullptr
                            ? std::wstring(name, SysStringLen(name))
                            : L"(none)";
    SysFreeString(name);
    return text;
}

LONG VariantLong(IAccessible& object,
                 HRESULT (STDMETHODCALLTYPE IAccessible::*question)(VARIANT, VARIANT*)) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT answer{};
    return SUCCEEDED((object.*question)(self, &answer)) && answer.vt == VT_I4 ? answer.lVal : -1;
}

// The object a screen reader gets for the control: asked of the control's own object directly,
// since Wine's oleacc makes no standard objects to compare with.
template <class ControlClass>
controls::AccessibleControl& AccessibleOf(HWND control) {
    auto* attached = dynamic_cast<ControlClass*>(ui::Control::FromHandle(control));
    EXPECT_NE(attached, nullptr);
    EXPECT_NE(attached->accessible(), nullptr);
    return *attached->accessible();
}

TEST_F(UpdateDialogTest, ButtonsAndPathBoxTellAScreenReaderTheirNamesRolesAndStates) {
    WriteLanguageFile(folder, "Chin.ini", "chin");
    struct Case {
        uint16_t languageId;
        const wchar_t* browse;
        const wchar_t* update;
        const wchar_t* pathBox;
    };
    for (const Case& c :
         {Case{0x0409, L"Browse", L"Update", L"eng IDC_STC_GROUP1"},
          Case{kChineseLangId, L"\u6d4f\u89c8", L"\u66f4\u65b0", L"chin IDC_STC_GROUP1"}}) {
        SCOPED_TRACE(c.languageId);
        RunningDialog running(OptionsIn(folder, c.languageId), /*instrument=*/true);
        running.drop({WritePackage(folder, "a.dat", {"A0"})});
        auto& browse = AccessibleOf<controls::ImageButton>(running.item(IDC_BTN_BROWSE));
        auto& update = AccessibleOf<controls::ImageButton>(running.item(IDC_BTN_UPDATE));
        auto& pathBox = AccessibleOf<controls::DragValueEdit>(running.item(IDC_EDIT_PATH));
        EXPECT_EQ(Name(browse), c.browse);
        EXPECT_EQ(Name(update), c.update);
        EXPECT_EQ(Name(pathBox), c.pathBox);
        // Nothing of it is drawn: the buttons keep their empty window texts.
        EXPECT_EQ(running.text(IDC_BTN_UPDATE), L"");

        EXPECT_EQ(VariantLong(update, &IAccessible::get_accRole), ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(VariantLong(browse, &IAccessible::get_accRole), ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(VariantLong(pathBox, &IAccessible::get_accRole), ROLE_SYSTEM_TEXT);
        EXPECT_EQ(VariantLong(update, &IAccessible::get_accState), LONG{STATE_SYSTEM_FOCUSABLE});
        EXPECT_EQ(VariantLong(pathBox, &IAccessible::get_accState),
                  LONG{STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_READONLY});
        EnableWindow(running.item(IDC_BTN_UPDATE), FALSE);
        EXPECT_EQ(VariantLong(update, &IAccessible::get_accState), LONG{STATE_SYSTEM_UNAVAILABLE});
        EnableWindow(running.item(IDC_BTN_UPDATE), TRUE);

        // A screen reader's "press" is a click.
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        EXPECT_EQ(update.accDoDefaultAction(self), S_OK);
        running.sync();
        EXPECT_EQ(running.dialog().updateRuns, 1);
    }
}

// ---- The instruction line ------------------------------------------------------------------

TEST_F(UpdateDialogTest, InstructionLineWithoutInstrument) {
    RunningDialog running(OptionsIn(folder));
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION),
              "<IDS_ERR_DEV_NOT_CONNECT><IDS_ERR_DEV_NOT_CONNECT2>");

    running.drop({WritePackage(folder, "keys.dat", {"A0", "", "C1"})});
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_DEV_NOT_CONNECT>hold A0 & C1 on");

    running.drop({WritePackage(folder, "four.dat", {"A0", "bB0", "C1"})});
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION),
              "<IDS_ERR_DEV_NOT_CONNECT>hold A0, bB0, B0 & C1 on");

    running.drop({WritePackage(folder, "none.dat", {})});
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_DEV_NOT_CONNECT>hold  on");
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(IDB_UPDATE_ENGLISH_GREY));
}

TEST_F(UpdateDialogTest, InstructionLineWithInstrument) {
    RunningDialog running(OptionsIn(folder), /*instrument=*/true);
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_NOT_OPEN_FILE>");
    // Right after start-up the image follows the instrument alone.
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(IDB_UPDATE_ENGLISH));

    running.drop({WritePackage(folder, "a.dat", {"A0", "", "C1"})});
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_COMMENT_5>");
    EXPECT_EQ(ButtonPixels(running.item(IDC_BTN_UPDATE)), ResourcePixels(IDB_UPDATE_ENGLISH));
}

// ---- Opening a package ----------------------------------------------------------------------

class DropTest : public UpdateDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DropTest, FirstItemThatIsNoFolderIsOpenedWhenItIsAPackage) {
    const std::string package = WritePackage(folder, GetParam(), {"A0"}, "HM-1", "3.0");
    std::filesystem::create_directories(TempFolder::AsPath(folder.path("first.dat")));
    std::filesystem::create_directories(TempFolder::AsPath(folder.path("second")));
    RunningDialog running(OptionsIn(folder));
    running.drop({folder.path("first.dat"), folder.path("second"), package});
    EXPECT_EQ(running.utf8Text(IDC_EDIT_PATH), package);
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-1");
    EXPECT_EQ(running.utf8Text(IDC_EDIT_VERSION), "3.0");
}

INSTANTIATE_TEST_SUITE_P(AnyLetterCase, DropTest,
                         ::testing::Values("lower.dat", "mixed.Dat", "upper.DAT"));

TEST_F(UpdateDialogTest, DropWhoseFirstFileIsNoPackageOpensNothing) {
    const std::string package = WritePackage(folder, "good.DAT", {"A0"});
    const std::string notes = folder.writeText("notes.txt", "not a package");
    std::filesystem::create_directories(TempFolder::AsPath(folder.path("folder")));
    RunningDialog running(OptionsIn(folder));

    running.drop({notes, package});
    running.drop({folder.path("folder")});
    running.drop({});
    running.drop({folder.path("dat")});  // no extension: a file that does not exist either
    EXPECT_EQ(running.text(IDC_EDIT_PATH), L"");
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION),
              "<IDS_ERR_DEV_NOT_CONNECT><IDS_ERR_DEV_NOT_CONNECT2>");
    EXPECT_FALSE(running.ended());
}

TEST_F(UpdateDialogTest, DamagedPackageIsReportedAndThePreviousOneStays) {
    const std::string good = WritePackage(folder, "good.dat", {"A0", "", "C1"}, "HM-1", "3.0");
    std::vector<uint8_t> bytes =
        TempFolder::read(WritePackage(folder, "bad.dat", {"K9"}, "X", "Y"));
    bytes[10] ^= 0xFF;  // inside the package header: its sum no longer matches
    const std::string bad = folder.write("bad.dat", bytes);
    RunningDialog running(OptionsIn(folder));
    running.drop({good});

    std::thread dropper([&] { running.drop({bad}); });
    HWND box = running.waitForBox(L"Error");
    ASSERT_NE(box, nullptr);
    wchar_t message[512] = {};
    GetDlgItemTextW(box, 0xFFFF, message, 512);
    EXPECT_EQ(ui::Utf8(message), "<IDS_ERR_FILE_HDR_CHECKSUM>\n" + bad);
    PressButton(box, IDOK);
    dropper.join();

    EXPECT_EQ(running.utf8Text(IDC_EDIT_PATH), good);
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-1");
    EXPECT_EQ(running.utf8Text(IDC_EDIT_VERSION), "3.0");
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION), "<IDS_ERR_DEV_NOT_CONNECT>hold A0 & C1 on");
}

TEST_F(UpdateDialogTest, PackageOnTheCommandLineOpensAsIfDropped) {
    const std::string package = WritePackage(folder, "cli.dat", {"A0"}, "HM-7");
    std::filesystem::create_directories(TempFolder::AsPath(folder.path("folder")));
    UpdateDialogOptions options = OptionsIn(folder);
    options.startupItems = {folder.path("folder"), package};
    RunningDialog running(options);
    EXPECT_TRUE(WaitFor([&] { return running.utf8Text(IDC_EDIT_PATH) == package; }));
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-7");

    UpdateDialogOptions notPackage = OptionsIn(folder);
    notPackage.startupItems = {folder.writeText("readme.txt", "x"), package};
    RunningDialog second(notPackage);
    second.sync();
    EXPECT_EQ(second.text(IDC_EDIT_PATH), L"");
}

TEST_F(UpdateDialogTest, BrowseOpensTheChosenPackage) {
    const std::string package = WritePackage(folder, "browsed.dat", {"A0"}, "HM-B");
    RunningDialog running(OptionsIn(folder));

    // Cancel changes nothing.
    PostMessageW(running.window(), WM_COMMAND, MAKEWPARAM(IDC_BTN_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(running.item(IDC_BTN_BROWSE)));
    HWND open = running.waitForBox(L"Open");
    ASSERT_NE(open, nullptr);
    PressButton(open, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(open); }));
    running.sync();
    EXPECT_EQ(running.text(IDC_EDIT_PATH), L"");

    PostMessageW(running.window(), WM_COMMAND, MAKEWPARAM(IDC_BTN_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(running.item(IDC_BTN_BROWSE)));
    open = running.waitForBox(L"Open");
    ASSERT_NE(open, nullptr);
    // The file name box: a combo box in the explorer-style dialog, an edit in the older one.
    HWND name = GetDlgItem(open, 0x47C);
    if (name == nullptr) {
        name = GetDlgItem(open, 0x480);
    }
    ASSERT_NE(name, nullptr);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ui::Wide(package).c_str()));
    PressButton(open, IDOK);
    EXPECT_TRUE(WaitFor([&] { return running.utf8Text(IDC_EDIT_PATH) == package; }));
    EXPECT_EQ(running.utf8Text(IDC_EDIT_MODEL), "HM-B");
}

// ---- Keys -----------------------------------------------------------------------------------

TEST_F(UpdateDialogTest, EnterActsAsUpdateWhereverTheFocusIs) {
    RunningDialog running(OptionsIn(folder), /*instrument=*/true);
    running.drop({WritePackage(folder, "a.dat", {"A0"})});

    // With the focus on Browse, Enter would otherwise press Browse.
    SendMessageW(running.window(), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(running.item(IDC_BTN_BROWSE)), TRUE);
    running.pressKey(VK_RETURN, IDC_BTN_BROWSE);
    running.pressKey(VK_RETURN, IDC_EDIT_PATH);
    running.pressKey(VK_RETURN);
    ASSERT_TRUE(running.sync());
    EXPECT_EQ(running.dialog().updateRuns, 3);
    EXPECT_EQ(running.ownedBox(L"Open"), nullptr);
    EXPECT_FALSE(running.ended());
}

TEST_F(UpdateDialogTest, UpdateNeedsAnInstrumentAndThePackageFile) {
    const std::string package = WritePackage(folder, "a.dat", {"A0"});
    {
        RunningDialog running(OptionsIn(folder), /*instrument=*/false);
        running.drop({package});
        running.pressKey(VK_RETURN);
        SendMessageW(running.window(), WM_COMMAND, MAKEWPARAM(IDC_BTN_UPDATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(running.item(IDC_BTN_UPDATE)));
        ASSERT_TRUE(running.sync());
        EXPECT_EQ(running.dialog().updateRuns, 0);
    }
    RunningDialog running(OptionsIn(folder), /*instrument=*/true);
    running.pressKey(VK_RETURN);  // no package yet
    ASSERT_TRUE(running.sync());
    running.drop({package});
    std::filesystem::remove(TempFolder::AsPath(package));
    running.pressKey(VK_RETURN);  // the package file is gone
    ASSERT_TRUE(running.sync());
    EXPECT_EQ(running.dialog().updateRuns, 0);
    EXPECT_EQ(running.utf8Text(IDC_EDIT_PATH), package);
}

TEST_F(UpdateDialogTest, EscapeNeverClosesTheDialog) {
    RunningDialog running(OptionsIn(folder));
    running.pressKey(VK_ESCAPE);
    running.pressKey(VK_ESCAPE, IDC_EDIT_PATH);
    running.pressKey(VK_ESCAPE, IDC_BTN_BROWSE);
    ASSERT_TRUE(running.sync());
    EXPECT_FALSE(running.ended());
    EXPECT_TRUE(IsWindowVisible(running.window()));
}

// ---- Progress ---------------------------------------------------------------------------------

struct BarState {
    int high;
    int position;
    bool operator==(const BarState&) const = default;
};

BarState Bar(const RunningDialog& running) {
    PBRANGE range{};
    SendMessageW(running.item(IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    return {range.iHigh,
            static_cast<int>(SendMessageW(running.item(IDC_PROGRESS), PBM_GETPOS, 0, 0))};
}

TEST_F(UpdateDialogTest, TransferProgressTakesTheLow16BitsOfTheTotal) {
    RunningDialog running(OptionsIn(folder));
    EXPECT_EQ(SendMessageW(running.window(), WM_TRANSFER_PROGRESS, 70000, 10), 0);
    EXPECT_EQ(Bar(running), (BarState{4464, 10}));
    // As the engine posts it, packet after packet.
    PostMessageW(running.window(), WM_TRANSFER_PROGRESS, 40, 1);
    PostMessageW(running.window(), WM_TRANSFER_PROGRESS, 40, 2);
    ASSERT_TRUE(running.sync());
    EXPECT_EQ(Bar(running), (BarState{40, 2}));
}

TEST_F(UpdateDialogTest, FlashProgressSetsTheRangeOnZeroAndElseThePosition) {
    RunningDialog running(OptionsIn(folder));
    EXPECT_EQ(SendMessageW(running.window(), WM_FLASH_PROGRESS, 0, 0x10000 + 192), 0);
    EXPECT_EQ(Bar(running), (BarState{192, 0}));
    EXPECT_EQ(SendMessageW(running.window(), WM_FLASH_PROGRESS, 1, 7), 0);
    EXPECT_EQ(Bar(running), (BarState{192, 7}));
    // Any wParam but 0 is a position, never a range.
    SendMessageW(running.window(), WM_FLASH_PROGRESS, 3, 150);
    EXPECT_EQ(Bar(running), (BarState{192, 150}));
}

// ---- Closing --------------------------------------------------------------------------------

TEST_F(UpdateDialogTest, CloseRemovesTheTemporaryFiles) {
    const std::string ini = folder.writeText("TEMP.INI", "[Chip Info]\n");
    const std::string bin = folder.write("TEMP.BIN", {1, 2, 3});
    const std::string other = folder.writeText("OTHER.BIN", "kept");
    RunningDialog running(OptionsIn(folder));
    PostMessageW(running.window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(running.waitForEnd());
    EXPECT_FALSE(TempFolder::exists(ini));
    EXPECT_FALSE(TempFolder::exists(bin));
    EXPECT_TRUE(TempFolder::exists(other));
}

TEST_F(UpdateDialogTest, CloseWithoutTemporaryFilesEndsTheDialog) {
    RunningDialog running(OptionsIn(folder));
    PostMessageW(running.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(running.waitForEnd());
    EXPECT_FALSE(IsWindow(running.window()));
}

}  // namespace
}  // namespace harmoload::testing
