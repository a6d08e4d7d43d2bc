// Render targets made for the host: a colour target with its depth target, the size getters and
// the save to PNG through the wrapper, and the release that hands both back to the texture
// manager.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "Core/QueueMode.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/TextureWrappers.h"
#include "support/TempDir.h"
#include "tests/Render/d3d9/RenderTargetFixture.h"

namespace ZelTest {
namespace {

class ClientRenderTargetTest : public RenderTargetTest {
protected:
    Zel::IRenderImpl* Render() { return G()->GetRenderInterface(); }
};

TEST_F(ClientRenderTargetTest, AColourTargetComesWithADepthTargetOfItsSize) {
    const std::size_t before = Textures()->GetRenderTargetCount();
    int width = 40;
    int height = 24;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 24);
    EXPECT_EQ(target->GetWidth(), 40);
    EXPECT_EQ(target->GetHeight(), 24);
    EXPECT_EQ(Textures()->GetRenderTargetCount(), before + 2);

    auto* colour = Zel::UnwrapInterface<Zel::RenderTarget>(target);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->GetFormat(), Zel::PF_A8R8G8B8);
    EXPECT_NE(colour->GetFlags() & 0x20u, 0u);
    EXPECT_EQ(colour->GetName(), "client created");
    Zel::RenderTarget* depth = static_cast<Zel::RenderTargetImplRC*>(target)->GetDepthTarget();
    ASSERT_NE(depth, nullptr);
    EXPECT_TRUE(depth->IsDepthStencil());
    EXPECT_EQ(depth->GetFormat(), Zel::PF_D16);
    EXPECT_EQ(depth->GetWidth(), 40);
    EXPECT_EQ(colour->GetInterface(), target);  // one wrapper while bound

    target->Release();
    EXPECT_FALSE(target->IsValid());
    EXPECT_EQ(Textures()->GetRenderTargetCount(), before);
    EXPECT_EQ(target->GetWidth(), 0);
}

TEST_F(ClientRenderTargetTest, InQueuedModeATargetIsReleasedAtOnceWithItsDepthTarget) {
    const std::size_t before = Textures()->GetRenderTargetCount();
    int width = 16;
    int height = 16;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(Textures()->GetRenderTargetCount(), before + 2);
    // No loading thread runs here: a queued release would leave the wrapper bound.
    Zel::SetQueueMode(1);
    EXPECT_EQ(target->Release(), 0);
    Zel::SetQueueMode(0);
    EXPECT_FALSE(target->IsValid());
    EXPECT_EQ(static_cast<Zel::RenderTargetImplRC*>(target)->GetDepthTarget(), nullptr);
    EXPECT_EQ(Textures()->GetRenderTargetCount(), before);
}

TEST_F(ClientRenderTargetTest, ATargetIsSavedAsPngThroughItsWrapper) {
    int width = 16;
    int height = 8;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    Zel::UnwrapInterface<Zel::RenderTarget>(target)->ClearColour(0.0f, 1.0f, 0.0f, 1.0f);

    TempDir out;
    const std::string path = (out.Path() / "frame.png").string();
    ASSERT_TRUE(target->SaveToFile(path.c_str()));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
               (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 16u);  // IHDR width
    EXPECT_EQ(be32(20), 8u);   // IHDR height
    EXPECT_FALSE(target->SaveToFile(nullptr));
    target->Release();
    EXPECT_FALSE(target->SaveToFile(path.c_str()));  // unbound: nothing written
}

TEST_F(ClientRenderTargetTest, DepthTargetsAndTheirFormatsFollowTheKind) {
    struct Case {
        int kind;
        int format;
    };
    const Case cases[] = {{2, Zel::PF_D24S8}, {3, Zel::PF_D24X8}, {0, Zel::PF_D16}};
    for (const Case& c : cases) {
        int width = 8;
        int height = 8;
        ZelI::IRenderTarget* target =
            Render()->CreateClientRenderTarget(&width, &height, c.kind, 1);
        ASSERT_NE(target, nullptr) << c.kind;
        // A depth target is handed out alone.
        EXPECT_EQ(static_cast<Zel::RenderTargetImplRC*>(target)->GetDepthTarget(), nullptr);
        EXPECT_EQ(Zel::UnwrapInterface<Zel::RenderTarget>(target)->GetFormat(), c.format);
        target->Release();
    }
}

TEST_F(ClientRenderTargetTest, ThePoolNeverHandsOutATargetTheHostHolds) {
    // The pool matches on size, depth, format and type alone: a target of the host's exact
    // description would otherwise be free to any pass that asks for one.
    struct Case {
        const char* what;
        int kind;
        int depthFlag;
    };
    const Case cases[] = {{"colour", 0, 0}, {"depth", 2, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int width = 24;
        int height = 12;
        ZelI::IRenderTarget* target =
            Render()->CreateClientRenderTarget(&width, &height, c.kind, c.depthFlag);
        ASSERT_NE(target, nullptr);
        std::vector<Zel::RenderTarget*> held = {Zel::UnwrapInterface<Zel::RenderTarget>(target)};
        if (Zel::RenderTarget* depth = static_cast<Zel::RenderTargetImplRC*>(target)->GetDepthTarget())
            held.push_back(depth);
        for (const Zel::RenderTarget* t : held)
            EXPECT_EQ(Textures()->FindFreeRenderTarget(t->GetWidth(), t->GetHeight(), t->GetDepth(),
                                                       t->GetFormat(), t->GetType()),
                      nullptr)
                << t->GetName();
        target->Release();
    }
}

TEST_F(ClientRenderTargetTest, HostTargetsAreNotBoundBeforeTheRenderWindowExists) {
    int width = 8;
    int height = 8;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    target->BeginRendering(0);
    EXPECT_FALSE(Zel::UnwrapInterface<Zel::RenderTarget>(target)->IsBound());
    EXPECT_FALSE(Zel::IsHostTargetBound());
    target->EndRendering();
    target->Release();
}

TEST_F(ClientRenderTargetTest, ATextureWrapperAnswersItsSizeAndHandsAnUnheldTextureBack) {
    const std::size_t before = Textures()->GetTextureCount();
    Zel::TextureBase* texture =
        Textures()->CreateTexture(Zel::MP_MANAGED, Zel::TextureBase::KIND_2D);
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(texture->Create(32, 16, 1, Zel::TextureBase::KIND_2D, Zel::PF_A8R8G8B8, 1, false));
    ZelI::ITexture* wrapper = texture->GetInterface();
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->GetWidth(), 32);
    EXPECT_EQ(wrapper->GetHeight(), 16);
    EXPECT_EQ(wrapper->GetType(), 1);
    EXPECT_EQ(Zel::UnwrapInterface<Zel::RenderTarget>(wrapper), nullptr);

    // Held by someone else, the texture stays with the manager when the wrapper goes.
    EXPECT_EQ(wrapper->AddRef(), 2);
    wrapper->Release();
    EXPECT_EQ(Textures()->GetTextureCount(), before + 1);
    EXPECT_EQ(texture->GetInterface(), wrapper);  // the same wrapper, bound again
    EXPECT_EQ(wrapper->ReleaseRef(), 1);
    wrapper->Release();
    EXPECT_EQ(Textures()->GetTextureCount(), before);
}

TEST_F(ClientRenderTargetTest, ATextureWrapperHandsOutTheDeviceLayersBitmapHandle) {
    Zel::TextureBase* texture =
        Textures()->CreateTexture(Zel::MP_MANAGED, Zel::TextureBase::KIND_2D);
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(texture->Create(8, 8, 1, Zel::TextureBase::KIND_2D, Zel::PF_A8R8G8B8, 1, false));
    ZelI::ITexture* wrapper = texture->GetInterface();
    void* dc = wrapper->GetDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(wrapper->GetDC(), nullptr);  // one handle at a time
    wrapper->ReleaseDC(dc);
    dc = wrapper->GetDC();
    EXPECT_NE(dc, nullptr);
    wrapper->ReleaseDC(dc);
    wrapper->Release();
    EXPECT_EQ(wrapper->GetDC(), nullptr);  // unbound
}

void NoWait(std::uint32_t) {}

// A device that cannot draw closes the frame's gate; the frame begin after it came back resets it
// and opens the gate again.
class LostDeviceFrameTest : public ClientRenderTargetTest {
protected:
    void SetUp() override {
        Config().SetValue(62, 0);  // a plain device, which can be lost
        ClientRenderTargetTest::SetUp();
        System().SetDisplaySettings(Settings());
        G()->GetSceneManager()->SetDeviceWait(&NoWait);
    }
};

TEST_F(LostDeviceFrameTest, ALostDeviceGatesTheFrameAndTheNextFrameBeginResetsIt) {
    Render()->FrameBegin();
    ASSERT_TRUE(Render()->IsFrameBegan());

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    Render()->FrameBegin();
    EXPECT_FALSE(Render()->IsFrameBegan());
    int width = 8;
    int height = 8;
    EXPECT_EQ(Render()->CreateClientRenderTarget(&width, &height, 0, 0), nullptr);
    Render()->FrameEnd();
    Render()->SwapBuffer();

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    Render()->FrameBegin();
    EXPECT_TRUE(Render()->IsFrameBegan());
    EXPECT_EQ(Device().GetDeviceState(), 0u);
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    EXPECT_NE(target, nullptr);
    if (target)
        target->Release();
}

}  // namespace
}  // namespace ZelTest
