// Globals with a software device (the level fixture) and a running loading thread 0 with the host
// interface's task classes.
#pragma once

#include <gtest/gtest.h>

#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Thread/HostTasks.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace ZelTest {

class LoadingThreadTest : public LevelGridTest {
protected:
    void SetUp() override {
        LevelGridTest::SetUp();
        previous_ = Zel::SetTaskFactory(&Zel::CreateHostTask);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
    }
    void TearDown() override {
        EXPECT_EQ(worker_->Stop(), 0);
        Zel::SetTaskFactory(previous_);
        LevelGridTest::TearDown();
    }

    Zel::threadio* worker_ = nullptr;

private:
    Zel::TaskFactoryFunction previous_ = nullptr;
};

}  // namespace ZelTest
