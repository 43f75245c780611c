#include "cli/ConsoleNotifier.h"

#include <ostream>

#include "cli/JsonEvents.h"
#include "cli/TerminalText.h"

namespace harmoload {
namespace {

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return "none";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Question:
            return "question";
    }
    return "none";
}

const char* AnswerName(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Ok:
            return "ok";
        case MessageAnswer::Yes:
            return "yes";
        case MessageAnswer::No:
            return "no";
    }
    return "ok";
}

}  // namespace

MessageAnswer ConsoleNotifier::showMessage(const Message& message) {
    MessageAnswer answer = MessageAnswer::Ok;
    if (message.buttons == MessageButtons::YesNo) {
        answer = assumeYes_ ? MessageAnswer::Yes : asker_ ? asker_(message) : MessageAnswer::No;
    }
    if (json_) {
        WriteJsonLine(out_, {{"event", "message"},
                             {"caption", message.caption},
                             {"text", message.text},
                             {"buttons", message.buttons == MessageButtons::Ok ? "ok" : "yesno"},
                             {"icon", IconName(message.icon)},
                             {"answer", AnswerName(answer)}});
    } else {
        err_ << TerminalText(message.caption) << ": "
             << TerminalText(message.text, LineBreaks::Keep) << '\n';
    }
    return answer;
}

void ConsoleNotifier::postProgress(const ProgressEvent& event) {
    if (json_) {
        WriteJsonLine(out_, ProgressJson(event));
    }
}

}  // namespace harmoload
