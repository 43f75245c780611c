#pragma once
// Drives a real UpdateDialog from a test: the dialog runs modally on a thread of its own, the
// test sends and posts window messages to it and reads what its controls show. Every wait is
// bounded.

#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/UpdateDialog.h"
#include "ui/WideText.h"

namespace harmoload::testing {

using namespace std::chrono_literals;

// Polls until the condition holds or the time is up; true when it held.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The dialog with the instrument side replaced, unless ownLinks is set: the test says whether an
// instrument answers. Either way it counts the presence checks asked of the instrument side and
// the update runs started. A barrier message tells the test that everything posted before it has
// been handled.
class TestDialog : public UpdateDialog {
  public:
    static constexpr UINT kBarrier = WM_APP + 0x300;

    using UpdateDialog::UpdateDialog;

    // The dialog's own links and worker instead of the stand-ins.
    std::atomic<bool> ownLinks{false};
    std::atomic<bool> instrument{false};
    std::atomic<int> presenceChecks{0};
    std::atomic<int> updateRuns{0};
    std::atomic<int> barrierReached{0};

  protected:
    bool instrumentAnswers() override {
        ++presenceChecks;
        return ownLinks ? UpdateDialog::instrumentAnswers() : instrument.load();
    }
    void startUpdateRun() override {
        ++updateRuns;
        if (ownLinks) {
            UpdateDialog::startUpdateRun();
        }
    }
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == kBarrier) {
            barrierReached = static_cast<int>(wParam);
            result = 0;
            return true;
        }
        return UpdateDialog::handleMessage(message, wParam, lParam, result);
    }
};

// Asks for the dialog's own links: it finds whatever instrument libusb0.dll shows.
struct OwnLinks {};

class RunningDialog {
  public:
    explicit RunningDialog(UpdateDialogOptions options, bool instrument = false)
        : dialog_(std::move(options)) {
        dialog_.instrument = instrument;
        start();
    }
    RunningDialog(UpdateDialogOptions options, OwnLinks) : dialog_(std::move(options)) {
        dialog_.ownLinks = true;
        start();
    }

    ~RunningDialog() {
        if (!ended_ && IsWindow(window_)) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        thread_.join();
    }

    RunningDialog(const RunningDialog&) = delete;
    RunningDialog& operator=(const RunningDialog&) = delete;

    TestDialog& dialog() { return dialog_; }
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }
    bool ended() const { return ended_; }
    INT_PTR result() const { return result_; }
    bool waitForEnd() {
        return WaitFor([this] { return ended_.load(); });
    }

    // The window that holds the mouse capture on the dialog's thread, or null.
    HWND capture() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(threadId_, &info) ? info.hwndCapture : nullptr;
    }

    // The window with the keyboard focus on the dialog's thread, or null.
    HWND focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
    }

    // Waits until everything posted to the dialog so far has been handled.
    bool sync() {
        const int token = ++barrierToken_;
        PostMessageW(window_, TestDialog::kBarrier, static_cast<WPARAM>(token), 0);
        return WaitFor([&] { return dialog_.barrierReached == token; });
    }

    // The text of a control (or of the dialog itself for id 0), read through its thread.
    std::wstring text(int id = 0) const {
        HWND target = id == 0 ? window_ : item(id);
        wchar_t buffer[2048] = {};
        SendMessageW(target, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    std::string utf8Text(int id = 0) const { return ui::Utf8(text(id)); }

    // Drops the items on the dialog as the shell does: a DROPFILES block in this process's
    // memory, which the dialog finishes (frees).
    void drop(const std::vector<std::string>& paths) const {
        SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }
    static HDROP MakeDrop(const std::vector<std::string>& paths) {
        std::wstring list;
        for (const std::string& path : paths) {
            list += ui::Wide(path);
            list += L'\0';
        }
        list += L'\0';
        const size_t size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(),
                    list.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        return static_cast<HDROP>(memory);
    }

    // Posts a key press to a control of the dialog (or the dialog), as the keyboard would.
    void pressKey(UINT key, int id = 0) const {
        HWND target = id == 0 ? window_ : item(id);
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    }

    // The first visible dialog box owned by the dialog whose caption is given, or null; the
    // dialog's thread or the update worker may have made it.
    HWND ownedBox(const wchar_t* caption) const {
        struct Search {
            HWND owner;
            const wchar_t* caption;
            HWND found;
        } search{window_, caption, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                wchar_t title[256] = {};
                GetWindowTextW(window, title, 256);
                if (window != s->owner && GetWindow(window, GW_OWNER) == s->owner &&
                    IsWindowVisible(window) && std::wstring(title) == s->caption) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND waitForBox(const wchar_t* caption) const {
        HWND box = nullptr;
        WaitFor([&] { return (box = ownedBox(caption)) != nullptr; });
        return box;
    }

  private:
    void start() {
        thread_ = std::thread([this] {
            threadId_ = GetCurrentThreadId();
            result_ = dialog_.runModal(nullptr);
            ended_ = true;
        });
        WaitFor([this] {
            window_ = FindDialogOfThread();
            return window_ != nullptr && IsWindowVisible(window_);
        });
        sync();
    }

    HWND FindDialogOfThread() const {
        if (threadId_ == 0) {
            return nullptr;
        }
        HWND found = nullptr;
        EnumThreadWindows(
            threadId_,
            [](HWND window, LPARAM data) -> BOOL {
                wchar_t className[64] = {};
                GetClassNameW(window, className, 64);
                if (GetWindow(window, GW_OWNER) == nullptr &&
                    std::wstring(className) == L"#32770") {
                    *reinterpret_cast<HWND*>(data) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    TestDialog dialog_;
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> ended_{false};
    std::atomic<INT_PTR> result_{0};
    HWND window_ = nullptr;
    int barrierToken_ = 0;
};

// Presses a button of a dialog box (a message box, the About box) as a click would.
inline void PressButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

}  // namespace harmoload::testing
