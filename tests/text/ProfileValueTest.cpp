#include "text/ProfileValue.h"

#include <gtest/gtest.h>

#include "platform/testing/RecordingNotifier.h"

namespace harmoload {
namespace {

struct ValueCase {
    const char* text;
    uint32_t value;
    const char* message;  // nullptr: no message
};

class ProfileValueRule : public testing::TestWithParam<ValueCase> {};

TEST_P(ProfileValueRule, ReadsTheValueAndReportsWhatItCannotRead) {
    const ValueCase& c = GetParam();
    RecordingNotifier notifier;
    EXPECT_EQ(parseProfileValue(c.text, notifier), c.value) << '"' << c.text << '"';
    const auto messages = notifier.messages();
    if (c.message == nullptr) {
        EXPECT_TRUE(messages.empty()) << '"' << c.text << '"';
    } else {
        ASSERT_EQ(messages.size(), 1u) << '"' << c.text << '"';
        EXPECT_EQ(messages[0],
                  (Message{kApplicationTitle, c.message, MessageButtons::Ok, MessageIcon::None}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    FlashRule, ProfileValueRule,
    testing::Values(ValueCase{"0x1000", 4096, nullptr}, ValueCase{"0X1000", 4096, nullptr},
                    ValueCase{"1000h", 4096, nullptr}, ValueCase{"0x1000H", 4096, nullptr},
                    ValueCase{" \t0x1000 \r\n", 4096, nullptr},
                    ValueCase{"  1000h  ", 4096, nullptr}, ValueCase{"abcdh", 0xABCD, nullptr},
                    ValueCase{"4096", 4096, nullptr}, ValueCase{" 4096 ", 4096, nullptr},
                    ValueCase{"12.5", 12, nullptr}, ValueCase{"-1", 0xFFFFFFFF, nullptr},
                    ValueCase{"1-2", 1, nullptr}, ValueCase{"-", 0, nullptr},
                    ValueCase{"", 0, nullptr}, ValueCase{"   ", 0, nullptr},
                    ValueCase{"0x", 0, nullptr}, ValueCase{"H", 0, nullptr},
                    ValueCase{"0xh", 0, nullptr}, ValueCase{"1FFFFFFFFh", 0xFFFFFFFF, nullptr},
                    ValueCase{"0xG1", 0, "invalid hex expression: G1"},
                    ValueCase{"0xzz", 0, "invalid hex expression: ZZ"},
                    ValueCase{"0x0x10", 0, "invalid hex expression: 0X10"},
                    ValueCase{"0x 10", 0, "invalid hex expression:  10"},
                    ValueCase{"-10h", 0, "invalid hex expression: -10"},
                    ValueCase{"FF", 0, "invalid decimal expression: FF"},
                    ValueCase{"12AB", 0, "invalid decimal expression: 12AB"},
                    ValueCase{" 12ab ", 0, "invalid decimal expression: 12AB"},
                    ValueCase{"+5", 0, "invalid decimal expression: +5"},
                    ValueCase{"1 2", 0, "invalid decimal expression: 1 2"}));

}  // namespace
}  // namespace harmoload
