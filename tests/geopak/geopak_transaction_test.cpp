// Recordings with the worker thread running against a scripted GEOPAK:
// what reaches the host and in which order, the keys that end a recording,
// the approach vector, and host operations that interrupt a recording.
#include "fake_geopak.h"
#include "geopak/geopak_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

using geopaktest::AnswerText;
using geopaktest::FakeGeopak;
using testsupport::Eventually;
using testsupport::Sandbox;

const std::vector<std::string> kEndKeys = {"{F8}", "{ESC}", "2", "{ENTER}"};

class GeopakRecording : public ::testing::Test {
protected:
    // Slow enough for the macro to see the move's commands, which follow each
    // other 100 ms apart.
    GeopakRecording() : sandbox(2.0), geopak(sandbox) {
        protocol.m_geopakLocal = 0;
        geopaktest::HandleEveryMessage(sandbox.ui(), [](const testsupport::ShownMessage& m) {
            return (m.style & MB_YESNO) ? IDYES : IDOK;  // a slow macro is waited for
        });
        protocol.SetClient([this](const ClientMessage& m) {
            std::lock_guard<std::mutex> guard(lock);
            messages.push_back(m);
        });
        EXPECT_TRUE(protocol.Connect());
        EXPECT_TRUE(protocol.StartThread());
        sandbox.ui().ClearMessages();
    }
    ~GeopakRecording() override {
        if (protocol.IsTransactionStarted()) protocol.OnStopTransaction();
        protocol.EndThread();
    }
    std::vector<ClientMessage> Messages() {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }
    bool MessagesAtLeast(size_t n) {
        return Eventually([&] { return Messages().size() >= n; });
    }

    Sandbox sandbox;
    FakeGeopak geopak;
    MitutoyoProtocol protocol;
    std::mutex lock;
    std::vector<ClientMessage> messages;
};

TEST_F(GeopakRecording, EachAnswerGoesToTheHostAsTypeTwoThenTypeOne) {
    geopak.SetDefaultAnswer(AnswerText(1, 2, 3, 90, 90, 0));
    protocol.OnStartTransaction();
    EXPECT_EQ(plat::ForegroundWindow(), geopak.Window());
    ASSERT_TRUE(MessagesAtLeast(4));
    protocol.OnStopTransaction();
    const auto all = Messages();
    for (size_t n = 0; n + 1 < all.size(); n += 2) {
        EXPECT_EQ(all[n].type, 2);
        EXPECT_EQ(all[n].position.z, 3.0);
        EXPECT_NEAR(all[n].secondPoint.x, 1.0, 1e-12);
        EXPECT_NEAR(all[n].secondPoint.y, 2.0, 1e-12);
        EXPECT_NEAR(all[n].secondPoint.z, 2.0, 1e-12);
        EXPECT_EQ(all[n + 1].type, 1);
        EXPECT_EQ(all[n + 1].reportedPoint.x, 1.0);
        EXPECT_EQ(all[n + 1].reportedPoint.z, 3.0);
    }
    EXPECT_EQ(sandbox.KeyLog(geopak.Window()), kEndKeys);
    for (int code : geopak.Codes()) EXPECT_EQ(code, 5);
}

TEST_F(GeopakRecording, StaleAndRejectedAnswersNeverReachTheHost) {
    sandbox.WriteFile("C:\\DATA\\GEO_OUT.DAT", AnswerText(999, 999, 999, 0, 0, 0));
    geopak.QueueAnswer("0\r\n5\r\n");
    geopak.QueueAnswer("0\r\n5\r\n5\r\n5\r\nninety\r\n0\r\n0\r\n");
    geopak.QueueAnswer(AnswerText(4, 5, 6, 0, 90, 90));
    protocol.OnStartTransaction();
    ASSERT_TRUE(MessagesAtLeast(2));
    plat::Sleep(300);  // more cycles: none may report anything
    protocol.OnStopTransaction();
    const auto all = Messages();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].position.x, 4.0);
    EXPECT_NEAR(all[0].secondPoint.x, 3.0, 1e-12);
    EXPECT_EQ(all[1].reportedPoint.x, 4.0);
    EXPECT_GE(geopak.CommandCount(), 3u);
}

TEST_F(GeopakRecording, ApproachVectorGoesOutOnceAtTheNextRecording) {
    geopak.SetDefaultAnswer(AnswerText(0, 0, 0, 0, 90, 90));
    EXPECT_FALSE(protocol.SetApproachVector(0, 0, 1));
    plat::Sleep(300);  // idle cycles send nothing
    EXPECT_EQ(geopak.CommandCount(), 0u);
    protocol.OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return geopak.CommandCount() >= 3; }));
    protocol.OnStopTransaction();
    const auto commands = geopak.Commands();
    EXPECT_EQ(commands[0].code, 6);
    EXPECT_EQ(commands[0].d1, 0.0);
    EXPECT_EQ(commands[0].d3, 1.0);
    for (size_t n = 1; n < commands.size(); ++n) EXPECT_EQ(commands[n].code, 5) << n;
}

TEST_F(GeopakRecording, MoveToEndsTheRecordingAndStartsItAgain) {
    protocol.OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return geopak.CommandCount() >= 1; }));  // polling; unanswered
    EXPECT_TRUE(protocol.MoveTo(10, -5.5, 100));
    EXPECT_TRUE(protocol.IsTransactionStarted());
    EXPECT_EQ(plat::ForegroundWindow(), geopak.Window());
    EXPECT_EQ(sandbox.KeyLog(geopak.Window()), kEndKeys);
    // Polling resumes after the move's closing command.
    ASSERT_TRUE(Eventually([&] {
        const auto codes = geopak.Codes();
        return codes.size() >= 2 && codes[codes.size() - 1] == 5 && codes[codes.size() - 2] == 11;
    }));
    const auto codes = geopak.Codes();
    size_t interrupt = 0;
    while (interrupt < codes.size() && codes[interrupt] != 12) ++interrupt;
    ASSERT_LT(interrupt, codes.size()) << ::testing::PrintToString(codes);
    for (size_t n = 0; n < interrupt; ++n) EXPECT_EQ(codes[n], 5);
    for (const auto& m : sandbox.ui().Messages()) ADD_FAILURE() << m.text;
}

}  // namespace
