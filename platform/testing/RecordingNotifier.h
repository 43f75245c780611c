#pragma once
// A Notifier that records every message and progress event, and answers questions from a script.

#include <deque>
#include <mutex>
#include <vector>

#include "platform/Notifier.h"
#include "platform/ProgressMessage.h"

namespace harmoload {

// A progress event as the dialog receives it.
using ProgressPost = ProgressMessage;

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

    void postProgress(const ProgressEvent& event) override {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
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
    // The window messages the events become on Windows, in order.
    std::vector<ProgressPost> progress() const {
        std::lock_guard lock(mutex_);
        std::vector<ProgressPost> posts;
        for (const ProgressEvent& event : events_) {
            if (const std::optional<ProgressMessage> message = ProgressMessageFor(event)) {
                posts.push_back(*message);
            }
        }
        return posts;
    }
    std::vector<ProgressEvent> progressEvents() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
        events_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::vector<ProgressEvent> events_;
    std::deque<MessageAnswer> answers_;
    MessageAnswer defaultAnswer_ = MessageAnswer::No;
};

}  // namespace harmoload
