// Harmoload.exe as the installer left it: started the way Explorer opens a .DAT file, through
// the registered open command with the package for "%1". Run by scripts/test-packages.sh after
// a silent install, not by ctest (it needs the installed program).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DialogDriver.h"
#include "DialogFixture.h"
#include "ProgramWindow.h"
#include "res/resource.h"

namespace harmoload::testing {
namespace {

std::wstring ClassesValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

TEST(InstalledHarmoload, OpensAPackageTheWayTheDatAssociationPassesIt) {
    const std::wstring progId = ClassesValue(L".DAT");
    ASSERT_EQ(progId, L"Harmoload.UpdatePackage");
    std::wstring command = ClassesValue(progId + L"\\shell\\open\\command");
    const size_t argument = command.find(L"%1");
    ASSERT_NE(argument, std::wstring::npos) << ui::Utf8(command);
    EXPECT_NE(command.find(L"\\Program Files\\Harmoload\\Harmoload.exe"), std::wstring::npos)
        << ui::Utf8(command);

    TempFolder folder;
    const std::string package = WritePackage(folder, "From Explorer.DAT", {"A0"}, "HM-INST", "7.3");
    command.replace(argument, 2, ui::Wide(package));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << ui::Utf8(command);

    HWND window = nullptr;
    EXPECT_TRUE(
        WaitFor([&] { return (window = FindProgramWindow(process.dwProcessId)) != nullptr; }, 30s));
    if (window != nullptr) {
        EXPECT_TRUE(WaitFor([&] { return ControlText(window, IDC_EDIT_PATH) == package; }));
        EXPECT_EQ(ControlText(window, IDC_EDIT_MODEL), "HM-INST");
        EXPECT_EQ(ControlText(window, IDC_EDIT_VERSION), "7.3");
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
    }
    EXPECT_TRUE(ended);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace harmoload::testing
