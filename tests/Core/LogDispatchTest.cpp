#include <gtest/gtest.h>

#include <string>

#include "Core/LogDispatch.h"
#include "support/LogCapture.h"

namespace {

TEST(LogDispatch, RecordsReachTheHandlerWithTheirKindAndCutAt10240Bytes) {
    ZelTest::LogCapture capture;
    Zel::LogTyped(Zel::LOG_ENGINE_INIT, "a=%d", 5);
    Zel::LogError("bad %s", "x");
    std::string longText(20000, 'q');
    Zel::LogWarning("%s", longText.c_str());
    auto records = capture.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, Zel::LOG_ENGINE_INIT);
    EXPECT_EQ(records[0].text, "a=5");
    EXPECT_EQ(records[1].kind, Zel::LOG_LEVEL_ERROR);
    EXPECT_EQ(records[2].text.size(), 10239u);
}

TEST(LogDispatch, WithoutAHandlerRecordsGoNowhere) {
    auto previous = Zel::SetLogHandler(nullptr);
    Zel::LogTyped(Zel::LOG_ENGINE_INIT, "dropped");
    Zel::SetLogHandler(previous);
}

}  // namespace
