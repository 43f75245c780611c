#include "platform/win32/WindowNotifier.h"

#include "platform/ProgressMessage.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::Warning:
            return MB_ICONWARNING;
        case MessageIcon::Error:
            return MB_ICONERROR;
        case MessageIcon::Question:
            return MB_ICONQUESTION;
        case MessageIcon::None:
            break;
    }
    return 0;
}

std::wstring Wide(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

}  // namespace

MessageAnswer WindowNotifier::showMessage(const Message& message) {
    const UINT buttons = message.buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
    const int answer =
        MessageBoxW(owner_, Wide(message.text).c_str(), Wide(message.caption).c_str(),
                    buttons | IconStyle(message.icon));
    if (message.buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    // A box closed any other way counts as No: nothing risky is done without a clear Yes.
    return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

void WindowNotifier::postProgress(const ProgressEvent& event) {
    if (const std::optional<ProgressMessage> message = ProgressMessageFor(event)) {
        PostMessageW(owner_, message->messageId, static_cast<WPARAM>(message->wParam),
                     static_cast<LPARAM>(message->lParam));
    }
}

}  // namespace harmoload
