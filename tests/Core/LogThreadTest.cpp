// Two threads log at once, through the log manager and through the log dispatch: every record
// arrives whole and in its thread's order. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "Core/LogDispatch.h"
#include "Core/ZelLogMng.h"
#include "CoreRootFixture.h"

namespace {

using LogThreadTest = ZelTest::CoreRootTest;

TEST_F(LogThreadTest, RecordsFromTwoThreadsNeverInterleave) {
    Zel::ZelLogMng* log = G()->GetLogManager();
    auto writer = [log](int id) {
        for (int i = 0; i < 300; ++i) {
            if (i % 2)
                log->Logf(Zel::LOG_ENGINE_INIT, 1, "writer %d record %d", id, i);
            else
                Zel::LogTyped(Zel::LOG_ENGINE_INIT, "writer %d record %d", id, i);
        }
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();

    std::stringstream text(LogText());
    int next[3] = {0, 0, 0};
    int lines = 0;
    for (std::string line; std::getline(text, line); ++lines) {
        const std::size_t at = line.find(":ENGINE_INIT:writer ");
        ASSERT_NE(at, std::string::npos) << line;
        int id = 0, record = 0;
        ASSERT_EQ(std::sscanf(line.c_str() + at, ":ENGINE_INIT:writer %d record %d", &id, &record),
                  2)
            << line;
        ASSERT_TRUE(id == 1 || id == 2) << line;
        EXPECT_EQ(record, next[id]++) << line;
    }
    EXPECT_EQ(lines, 600);
}

}  // namespace
