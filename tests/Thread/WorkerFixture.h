// A running loading thread 0 with the host interface's task classes, over a fixture that makes
// the Globals (LoadingThreadTest: the level fixture, with a software device).
#pragma once

#include <gtest/gtest.h>

#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Thread/HostTasks.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace ZelTest {

template <class Base>
class WithLoadingThread : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        previous_ = Zel::SetTaskFactory(&Zel::CreateHostTask);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
    }
    void TearDown() override {
        EXPECT_EQ(worker_->Stop(), 0);
        Zel::SetTaskFactory(previous_);
        Base::TearDown();
    }

    Zel::threadio* worker_ = nullptr;

private:
    Zel::TaskFactoryFunction previous_ = nullptr;
};

using LoadingThreadTest = WithLoadingThread<LevelGridTest>;

}  // namespace ZelTest
