// Harmoload.exe itself, started from the build folder as a user starts it with a package
// ("Open with"), then closed.

#include <windows.h>

#include <gtest/gtest.h>

#include "DialogDriver.h"
#include "DialogFixture.h"
#include "ProgramWindow.h"
#include "lang/LanguageTable.h"
#include "platform/SystemLanguage.h"
#include "res/resource.h"
#include "text/PathText.h"

namespace harmoload::testing {
namespace {

TEST(HarmoloadProgram, StartsWithThePackageOfItsCommandLineAndClosesCleanly) {
    TempFolder folder;
    const std::string package = WritePackage(folder, "Open with.dat", {"A0"}, "HM-E2E", "9.1");
    const std::wstring program = ui::Wide(ProgramDirectory() + "Harmoload.exe");
    std::wstring commandLine = L"\"" + program + L"\" \"" + ui::Wide(package) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));

    HWND window = nullptr;
    EXPECT_TRUE(
        WaitFor([&] { return (window = FindProgramWindow(process.dwProcessId)) != nullptr; }, 30s));
    if (window != nullptr) {
        IniFile language;
        language.setFile(ProgramDirectory() + LanguageFileName(SystemDefaultLangId()));
        wchar_t title[256] = {};
        SendMessageW(window, WM_GETTEXT, std::size(title), reinterpret_cast<LPARAM>(title));
        EXPECT_EQ(ui::Utf8(title), LookupText(language, kLanguageSection, "IDS_STRING_CAPTION"));
        EXPECT_TRUE(WaitFor([&] { return ControlText(window, IDC_EDIT_PATH) == package; }));
        EXPECT_EQ(ControlText(window, IDC_EDIT_MODEL), "HM-E2E");
        EXPECT_EQ(ControlText(window, IDC_EDIT_VERSION), "9.1");
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
    }
    EXPECT_TRUE(ended);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace harmoload::testing
