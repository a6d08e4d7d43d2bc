// The render window base: the two targets it owns, and activation binding them.
#include <gtest/gtest.h>

#include "tests/Render/d3d9/RenderWindowFixture.h"

namespace {

using namespace Zel;
using ZelTest::RenderWindowTest;

TEST_F(RenderWindowTest, ANewWindowOwnsNoTargetsUntilItsSwapChainIsMade) {
    MakeWindow();
    EXPECT_STREQ(rw_->GetClassName(), "ZelRenderWindowD3D9");
    EXPECT_TRUE(rw_->IsDefaultPool());
    EXPECT_EQ(rw_->GetColourTarget(), nullptr);
    EXPECT_EQ(rw_->GetDepthTarget(), nullptr);
    EXPECT_EQ(rw_->GetWidth(), 800u);
    // The post-process target objects exist from the start, without device objects.
    ASSERT_NE(rw_->GetPostProcessTargetA(), nullptr);
    ASSERT_NE(rw_->GetPostProcessTargetB(), nullptr);
    EXPECT_EQ(rw_->GetPostProcessTargetA()->GetD3DSurface(), nullptr);
    EXPECT_EQ(rw_->GetPostProcessTargetA()->GetRefCount(), 2);
}

TEST_F(RenderWindowTest, ActivationMakesTheWindowActiveAndBindsItsTargets) {
    MakeSwapChain();
    RenderTargetD3D9* other = MakeTarget(8, 8);
    Device().SetRenderTarget(0, other);
    Device().SetDepthStencilSurface(nullptr);
    rw_->Activate();
    EXPECT_EQ(System().GetActiveRenderWindow(), rw_);
    EXPECT_EQ(Device().GetRenderTarget(0), rw_->GetColourTarget());
    EXPECT_EQ(Device().GetDepthStencilSurface(), rw_->GetDepthTarget());
    rw_->Destroy();
    rw_ = nullptr;
    EXPECT_TRUE(System().GetRenderWindows().empty());
    EXPECT_EQ(System().GetActiveRenderWindow(), nullptr);
}

}  // namespace
