#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace platform {
namespace {

constexpr auto kBound = std::chrono::seconds(30);

// Every test leaves the default behaviour in place for the next one.
class MessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override { SetMessageBoxHandler({}); }
};

#ifndef _WIN32
// Windows shows its own box instead, which no test can answer.
TEST_F(MessageBoxTest, WithoutHandlerTheBoxIsPrintedAndAnsweredWithItsDefaultButton)
{
    ::testing::internal::CaptureStderr();
    const int answer = MessageBox(u"Error data \u4e2d", u"Warning", kMbOk | kMbIconWarning);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, kIdOk);
    EXPECT_NE(printed.find("Warning: Error data \xe4\xb8\xad"), std::string::npos) << printed;

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(u"q", u"c", kMbYesNo | kMbIconQuestion), kIdYes);
    EXPECT_EQ(MessageBox(u"q", u"c", kMbYesNo | kMbDefButton2), kIdNo);
    EXPECT_EQ(MessageBox(u"q", u"c", kMbOkCancel | kMbDefButton3), kIdOk);
    EXPECT_EQ(MessageBox(u"q", u"c", kMbAbortRetryIgnore | kMbDefButton3), kIdIgnore);
    EXPECT_EQ(MessageBox(u"q", u"c", kMbCancelTryContinue), kIdCancel);
    ::testing::internal::GetCapturedStderr();
}
#endif

TEST_F(MessageBoxTest, InstalledHandlerAnswersCallsFromAnotherThread)
{
    std::u16string seenText;
    std::u16string seenCaption;
    std::uint32_t seenType = 0;
    std::thread::id seenThread;
    SetMessageBoxHandler([&](const std::u16string& text, const std::u16string& caption, std::uint32_t type) {
        seenText = text;
        seenCaption = caption;
        seenType = type;
        seenThread = std::this_thread::get_id();
        return kIdNo;
    });

    int answer = 0;
    std::thread::id caller;
    std::thread worker([&] {
        caller = std::this_thread::get_id();
        answer = MessageBox(u"Close?", u"TIPS", kMbYesNo);
    });
    worker.join();

    EXPECT_EQ(answer, kIdNo);
    EXPECT_EQ(seenText, u"Close?");
    EXPECT_EQ(seenCaption, u"TIPS");
    EXPECT_EQ(seenType, kMbYesNo);
    EXPECT_EQ(seenThread, caller);
}

TEST_F(MessageBoxTest, OpenBoxDoesNotBlockReplacingTheHandler)
{
    std::promise<void> shown;
    std::promise<int> userAnswer;
    auto answerFuture = userAnswer.get_future();
    SetMessageBoxHandler([&](const std::u16string&, const std::u16string&, std::uint32_t) {
        shown.set_value();
        return answerFuture.wait_for(kBound) == std::future_status::ready ? answerFuture.get() : -1;
    });

    auto result = std::async(std::launch::async, [] { return MessageBox(u"t", u"c", kMbOkCancel); });
    ASSERT_EQ(shown.get_future().wait_for(kBound), std::future_status::ready);

    // The open box holds no lock: a new handler goes in while it waits.
    const auto previous = SetMessageBoxHandler([](const std::u16string&, const std::u16string&, std::uint32_t) { return kIdOk; });
    EXPECT_TRUE(static_cast<bool>(previous));
    EXPECT_EQ(MessageBox(u"t", u"c", kMbOkCancel), kIdOk);

    userAnswer.set_value(kIdCancel);
    ASSERT_EQ(result.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(result.get(), kIdCancel);
}

} // namespace
} // namespace platform
