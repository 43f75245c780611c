// The Windows notifier against real message boxes and a real window (needs a display; the
// Windows tests run under Xvfb).

#include "platform/win32/WindowNotifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/ProgressMessage.h"

namespace harmoload {
namespace {

class OwnerWindow {
  public:
    OwnerWindow() {
        hwnd_ = CreateWindowExW(0, L"STATIC", L"Notifier owner", WS_OVERLAPPED, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_ = nullptr;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    bool hasYes = false;
    bool hasNo = false;
    bool hasOk = false;
};

// Serves the calling thread's messages, as the dialog's thread does while a box is open.
void PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

// Waits for a worker's answer while serving this thread's messages (the box enables and
// disables its owner, which lives on this thread).
MessageAnswer WaitForAnswer(std::future<MessageAnswer>& answer) {
    while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        PumpMessages();
    }
    return answer.get();
}

// Waits for the message box with this caption, records what it shows and presses a button.
SeenBox AnswerBox(const wchar_t* caption, int button) {
    SeenBox seen;
    for (int attempt = 0; attempt < 500; ++attempt) {
        HWND box = FindWindowW(L"#32770", caption);
        if (box != nullptr) {
            wchar_t buffer[512] = {};
            GetWindowTextW(box, buffer, 512);
            seen.caption = buffer;
            GetDlgItemTextW(box, 0xFFFF, buffer, 512);
            seen.text = buffer;
            seen.owner = GetWindow(box, GW_OWNER);
            seen.hasYes = GetDlgItem(box, IDYES) != nullptr;
            seen.hasNo = GetDlgItem(box, IDNO) != nullptr;
            seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
            return seen;
        }
        PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return seen;
}

TEST(WindowNotifier, QuestionIsAYesNoBoxOwnedByTheWindow) {
    OwnerWindow owner;
    WindowNotifier notifier(owner.hwnd());
    auto answer = std::async(std::launch::async, [&] {
        return notifier.showMessage({"Question box", "Carry on?\nSecond line",
                                     MessageButtons::YesNo, MessageIcon::Question});
    });
    const SeenBox seen = AnswerBox(L"Question box", IDYES);
    EXPECT_EQ(WaitForAnswer(answer), MessageAnswer::Yes);
    EXPECT_EQ(seen.text, L"Carry on?\nSecond line");
    EXPECT_EQ(seen.owner, owner.hwnd());
    EXPECT_TRUE(seen.hasYes && seen.hasNo);
    EXPECT_FALSE(seen.hasOk);

    auto no = std::async(std::launch::async, [&] {
        return notifier.showMessage({"Second question", "Again?", MessageButtons::YesNo});
    });
    AnswerBox(L"Second question", IDNO);
    EXPECT_EQ(WaitForAnswer(no), MessageAnswer::No);
}

TEST(WindowNotifier, MessageShowsUtf8TextAsUnicode) {
    WindowNotifier notifier(nullptr);
    auto answer = std::async(std::launch::async, [&] {
        return notifier.showMessage({"Error", "\xE6\x9B\xB4\xE6\x96\xB0\xE5\xA4\xB1\xE8\xB4\xA5"});
    });
    const SeenBox seen = AnswerBox(L"Error", IDOK);
    EXPECT_EQ(WaitForAnswer(answer), MessageAnswer::Ok);
    EXPECT_EQ(seen.text, L"\u66f4\u65b0\u5931\u8d25");
    EXPECT_TRUE(seen.hasOk);
}

TEST(WindowNotifier, ProgressBecomesTheDialogsWindowMessages) {
    OwnerWindow owner;
    WindowNotifier notifier(owner.hwnd());
    notifier.postProgress({.engine = ProgressEngine::Transfer, .done = 7, .total = 0x00020001});
    notifier.postProgress({.engine = ProgressEngine::Flash, .done = 0, .total = 9});
    // A change of phase alone moves no bar: nothing is posted for it.
    notifier.postProgress({.engine = ProgressEngine::Flash,
                           .change = ProgressChange::Phase,
                           .total = 9,
                           .phase = FlashPhase::Erasing,
                           .sector = 1,
                           .sectors = 3});
    notifier.postProgress({.engine = ProgressEngine::Flash, .done = 4, .total = 9});
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> posted;
    MSG message{};
    while (
        PeekMessageW(&message, owner.hwnd(), WM_FLASH_PROGRESS, WM_TRANSFER_PROGRESS, PM_REMOVE)) {
        posted.emplace_back(message.message, message.wParam, message.lParam);
    }
    EXPECT_EQ(posted,
              (std::vector<std::tuple<UINT, WPARAM, LPARAM>>{{WM_TRANSFER_PROGRESS, 0x00020001u, 7},
                                                             {WM_FLASH_PROGRESS, 0u, 9},
                                                             {WM_FLASH_PROGRESS, 1u, 4}}));
}

}  // namespace
}  // namespace harmoload
