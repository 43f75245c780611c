// The dialog as the user sees it, in both languages, with a package open: every text fits its
// control, the pictures fill their buttons as at 100 %, nothing overlaps, and a screenshot of each
// is kept as a test artefact (build/<preset>/artefacts). The ctest entries app_dialog_tests_dpi120,
// _dpi144 and _dpi192 run the layout test again on screens of 125 %, 150 % and 200 %.

#include <gtest/gtest.h>

#include <filesystem>

#include "DialogDriver.h"
#include "DialogFixture.h"
#include "Screenshot.h"
#include "lang/LanguageTable.h"
#include "res/resource.h"
#include "text/PathText.h"
#include "ui/Dpi.h"
#include "ui/GdiplusSession.h"

namespace harmoload::testing {
namespace {

// The size the control's text needs in the control's font, wrapped at the control's width when
// it may wrap.
SIZE TextSize(HWND control, bool wraps) {
    RECT client{};
    GetClientRect(control, &client);
    wchar_t text[1024] = {};
    SendMessageW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    HDC dc = GetDC(control);
    HGDIOBJ font =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, wraps ? client.right : 0, 0};
    DrawTextW(dc, text, -1, &needed, DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, font);
    ReleaseDC(control, dc);
    return {needed.right - needed.left, needed.bottom - needed.top};
}

void ExpectTextFits(HWND control, bool wraps, const char* what) {
    RECT client{};
    GetClientRect(control, &client);
    const SIZE needed = TextSize(control, wraps);
    EXPECT_LE(needed.cx, client.right) << what;
    EXPECT_LE(needed.cy, client.bottom) << what;
}

// The share of its button's width and height that a button's picture fills.
struct Fill {
    double width;
    double height;
};

Fill PictureFill(HWND button) {
    BITMAP picture{};
    GetObjectW(reinterpret_cast<HBITMAP>(SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0)),
               sizeof picture, &picture);
    RECT client{};
    GetClientRect(button, &client);
    EXPECT_LE(picture.bmWidth, client.right) << "the picture fits its button";
    EXPECT_LE(picture.bmHeight, client.bottom) << "the picture fits its button";
    return {static_cast<double>(picture.bmWidth) / client.right,
            static_cast<double>(picture.bmHeight) / client.bottom};
}

// Within 10 % of the share measured at 100 %.
void ExpectFillAsAt100(const Fill& fill, const Fill& at100, const char* what) {
    EXPECT_NEAR(fill.width, at100.width, at100.width / 10) << what;
    EXPECT_NEAR(fill.height, at100.height, at100.height / 10) << what;
}

// The visible controls, group frames aside, lie inside the dialog and apart from each other.
void ExpectNothingClippedOrOverlapping(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    std::vector<RECT> places;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        RECT inside{};
        IntersectRect(&inside, &place, &client);
        EXPECT_TRUE(EqualRect(&inside, &place)) << "control " << GetDlgCtrlID(child);
        if ((GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
            (GetDlgCtrlID(child) == IDC_STC_GROUP1 || GetDlgCtrlID(child) == IDC_STC_GROUP2)) {
            continue;
        }
        for (const RECT& other : places) {
            RECT common{};
            EXPECT_FALSE(IntersectRect(&common, &place, &other))
                << "control " << GetDlgCtrlID(child);
        }
        places.push_back(place);
    }
}

// The pictures' share of their buttons at 100 %, measured with the dialog's font: the Update
// label 84 by 29 pixels in a button of 98 by 37, the open folder 16 by 16 in one of 28 by 23.
constexpr Fill kUpdateFillAt100{84.0 / 98, 29.0 / 37};
constexpr Fill kBrowseFillAt100{16.0 / 28, 16.0 / 23};

class ScreenshotTest : public ::testing::TestWithParam<uint16_t> {
  protected:
    ui::GdiplusSession gdiplus;
    TempFolder folder;
};

TEST_P(ScreenshotTest, TextsFitPicturesFillTheirButtonsAndTheDialogIsKept) {
    const uint16_t languageId = GetParam();
    IniFile language;
    language.setFile(ProgramDirectory() + LanguageFileName(languageId));
    const std::string caption = LookupText(language, kLanguageSection, "IDS_STRING_CAPTION");
    ASSERT_FALSE(caption.empty()) << "the build's language files lie beside the test";

    UpdateDialogOptions options;
    options.languageId = languageId;
    options.programDirectory = ProgramDirectory();
    RunningDialog running(options);
    running.drop(
        {WritePackage(folder, "Harmo-HM900-V2.10.dat", {"A0", "bB0", "C1"}, "HM-900", "V2.10")});
    EXPECT_EQ(running.utf8Text(), caption);
    EXPECT_EQ(running.utf8Text(IDC_STC_INSTRUCTION),
              LookupText(language, kLanguageSection, "IDS_ERR_DEV_NOT_CONNECT") +
                  LookupText(language, kLanguageSection, "IDS_COMMENT_1") + "A0" +
                  LookupText(language, kLanguageSection, "IDS_COMMENT_2") + "bB0" +
                  LookupText(language, kLanguageSection, "IDS_COMMENT_2") + "B0" +
                  LookupText(language, kLanguageSection, "IDS_COMMENT_3") + "C1" +
                  LookupText(language, kLanguageSection, "IDS_COMMENT_4"));

    ExpectTextFits(running.item(IDC_STC_PRO_MODEL), false, "product model label");
    ExpectTextFits(running.item(IDC_STC_VERSTION), false, "software version label");
    ExpectTextFits(running.item(IDC_STC_INSTRUCTION), true, "instruction line");
    ExpectFillAsAt100(PictureFill(running.item(IDC_BTN_UPDATE)), kUpdateFillAt100, "Update");
    ExpectFillAsAt100(PictureFill(running.item(IDC_BTN_BROWSE)), kBrowseFillAt100, "Browse");
    ExpectNothingClippedOrOverlapping(running.window());

    // Let the window settle on the screen before it is taken.
    running.sync();
    RedrawWindow(running.window(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    running.sync();
    std::this_thread::sleep_for(300ms);
    const std::filesystem::path artefacts = HARMOLOAD_ARTEFACTS_DIR;
    std::filesystem::create_directories(artefacts);
    const int percent = MulDiv(static_cast<int>(ui::WindowDpi(running.window())), 100,
                               static_cast<int>(ui::kDefaultDpi));
    const auto file =
        artefacts / ((languageId == kChineseLangId ? "dialog-chinese-" : "dialog-english-") +
                     std::to_string(percent) + ".png");
    EXPECT_TRUE(SaveScreenshot(running.window(), file));
    EXPECT_GT(std::filesystem::file_size(file), 1000u);
}

// The drawn controls as the pointer and the system move them: the dialog with the instrument
// attached and a package open, idle, with the pointer over Update, with Update held down, and with
// both buttons disabled; each kept as an artefact, the pointer drawn in. On the screen, hovering
// changes nothing of the flat button but the pointer; holding it down and disabling it do.
TEST_P(ScreenshotTest, ButtonsIdleHoveredPressedAndDisabledAreKept) {
    const uint16_t languageId = GetParam();
    UpdateDialogOptions options;
    options.languageId = languageId;
    options.programDirectory = ProgramDirectory();
    RunningDialog running(options, /*instrument=*/true);
    running.drop({WritePackage(folder, "Harmo-HM900-V2.10.dat", {"A0", "", "C1"})});
    HWND update = running.item(IDC_BTN_UPDATE);
    RECT client{};
    GetClientRect(update, &client);
    POINT centre{client.right / 2, client.bottom / 2};
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    const std::string language = languageId == kChineseLangId ? "chinese" : "english";
    const auto shoot = [&](const char* state) {
        running.sync();
        std::this_thread::sleep_for(300ms);
        running.sync();
        const auto file = ArtefactsFolder() / ("dialog-" + language + "-" + state + ".png");
        EXPECT_TRUE(SaveScreenshot(running.window(), file, /*withPointer=*/true));
        return ScreenPixels(update);
    };
    // Away: below the dialog, out of the pictures.
    RECT window{};
    GetWindowRect(running.window(), &window);
    const POINT away{window.left + 20, window.bottom + 60};
    SetCursorPos(away.x, away.y);
    const std::vector<uint32_t> idle = shoot("idle");

    POINT over = centre;
    ClientToScreen(update, &over);
    SetCursorPos(over.x, over.y);
    PostMessageW(update, WM_MOUSEMOVE, 0, at);
    SendMessageW(update, WM_SETCURSOR, reinterpret_cast<WPARAM>(update),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(shoot("hovered"), idle);

    PostMessageW(update, WM_LBUTTONDOWN, MK_LBUTTON, at);
    const std::vector<uint32_t> pressed = shoot("pressed");
    EXPECT_NE(pressed, idle);
    // Released off the button: no update starts.
    PostMessageW(update, WM_LBUTTONUP, 0, MAKELPARAM(-5, -5));
    running.sync();
    EXPECT_EQ(running.dialog().updateRuns, 0);

    SetCursorPos(away.x, away.y);
    EnableWindow(update, FALSE);
    EnableWindow(running.item(IDC_BTN_BROWSE), FALSE);
    const std::vector<uint32_t> disabled = shoot("disabled");
    EXPECT_NE(disabled, idle);
    EXPECT_NE(disabled, pressed);
    EnableWindow(update, TRUE);
    EnableWindow(running.item(IDC_BTN_BROWSE), TRUE);
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenshotTest, ::testing::Values(0x0409, kChineseLangId));

TEST(AboutBoxScreenshot, TextsFitAndTheBoxIsKept) {
    ui::GdiplusSession gdiplus;
    UpdateDialogOptions options;
    options.languageId = 0x0409;
    options.programDirectory = ProgramDirectory();
    RunningDialog running(options);
    PostMessageW(running.window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = running.waitForBox(L"About Harmoload");
    ASSERT_NE(about, nullptr);
    for (HWND control = GetWindow(about, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        if (std::wstring(className) == L"Static" && GetWindowTextLengthW(control) > 0) {
            ExpectTextFits(control, true, "About text");
        }
    }
    std::this_thread::sleep_for(300ms);
    const std::filesystem::path artefacts = HARMOLOAD_ARTEFACTS_DIR;
    std::filesystem::create_directories(artefacts);
    EXPECT_TRUE(SaveScreenshot(about, artefacts / "about.png"));
    PressButton(about, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
}

}  // namespace
}  // namespace harmoload::testing
