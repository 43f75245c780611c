#pragma once
// A Notifier that records every message and progress post, and answers questions from a script.

#include <deque>
#include <mutex>
#include <vector>

#include "platform/Notifier.h"

namespace harmoload {

struct ProgressPost {
    uint32_t messageId = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;

    bool operator==(const ProgressPost&) const = default;
};

class RecordingNotifier final : public Notifier {
  public:
    MessageAnswer showMessage(const Message& message) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
        if (message.buttons == MessageButtons::Ok) {
            return MessageAnswer::Ok;
        }
        if (answers_.empty()) {
            return defaultAnswer_;
        }
        const MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void postProgress(uint32_t messageId, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard lock(mutex_);
        progress_.push_back({messageId, wParam, lParam});
    }

    // Answers for the next yes/no questions, in order; afterwards the default answer.
    void queueAnswer(MessageAnswer answer) {
        std::lock_guard lock(mutex_);
        answers_.push_back(answer);
    }
    void setDefaultAnswer(MessageAnswer answer) {
        std::lock_guard lock(mutex_);
        defaultAnswer_ = answer;
    }

    std::vector<Message> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> result;
        for (const Message& message : messages_) {
            result.push_back(message.text);
        }
        return result;
    }
    std::vector<ProgressPost> progress() const {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
        progress_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::vector<ProgressPost> progress_;
    std::deque<MessageAnswer> answers_;
    MessageAnswer defaultAnswer_ = MessageAnswer::No;
};

}  // namespace harmoload
