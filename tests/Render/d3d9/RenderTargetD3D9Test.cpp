// Render targets: binding and unbinding through the render system, clears, finding free targets,
// reading back through the staging texture, the video-memory budget, loss and reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/Render/d3d9/RenderTargetFixture.h"

namespace {

using namespace Zel;
using ZelTest::LogCapture;
using ZelTest::RenderTargetTest;

using ZelTest::kBlue;
using ZelTest::kGreen;
using ZelTest::kRed;

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The texture manager's budget and the device's texture memory.
void SetMemory(std::uint32_t bytes) {
    SoftAdapter::Current().textureMemoryBytes = bytes;
    Globals::GetSingleton()->GetTextureManager()->SetVideoMemoryBudget(bytes);
}

std::uint64_t Charge(int width, int height, int format) {
    return GetPixelFormatByteSize(std::uint32_t(width), std::uint32_t(height), 1,
                                  std::uint32_t(format)) *
           4 / 3;
}

TEST_F(RenderTargetTest, ANewTargetIsNamedRtAndHasNoDeviceObjects) {
    RenderTarget* target = Textures()->CreateRenderTarget(false);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetName(), "RT");
    EXPECT_TRUE(target->IsRenderTarget());
    EXPECT_FALSE(target->IsDepthStencil());
    EXPECT_EQ(target->GetTargetFlags(), RenderTarget::kCreated);
    EXPECT_EQ(target->GetD3DSurface(), nullptr);
    EXPECT_TRUE(Textures()->CreateRenderTarget(true)->IsDepthStencil());
    Textures()->SetDevice(Device().GetD3DDevice(), nullptr);
    EXPECT_EQ(Textures()->CreateRenderTarget(false), nullptr);
}

TEST_F(RenderTargetTest, BindAndUnbindAreIdempotentAndRestoreWhatWasBound) {
    RenderTargetD3D9* previous = MakeTarget(8, 8);
    RenderTargetD3D9* target = MakeTarget(8, 8);
    System().SetRenderTarget(1, previous);

    target->Unbind();  // not bound: nothing
    EXPECT_EQ(System().GetRenderTarget(1), previous);
    target->Bind(1);
    target->Bind(2);  // already bound: stays at slot 1 with the first saved target
    EXPECT_TRUE(target->IsBound());
    EXPECT_EQ(target->GetBoundSlot(), 1u);
    EXPECT_EQ(System().GetRenderTarget(1), target);
    EXPECT_EQ(System().GetRenderTarget(2), nullptr);
    target->Unbind();
    EXPECT_FALSE(target->IsBound());
    EXPECT_EQ(System().GetRenderTarget(1), previous);
    target->Unbind();
    EXPECT_EQ(System().GetRenderTarget(1), previous);

    // A depth-stencil target takes the depth slot and gives it back.
    RenderTargetD3D9* depth = MakeTarget(8, 8, PF_D24S8, true);
    RenderTargetD3D9* otherDepth = MakeTarget(8, 8, PF_D24S8, true);
    System().SetDepthStencilSurface(otherDepth);
    depth->Bind(3);
    EXPECT_EQ(System().GetDepthStencilSurface(), depth);
    EXPECT_EQ(System().GetRenderTarget(3), nullptr);
    depth->Unbind();
    EXPECT_EQ(System().GetDepthStencilSurface(), otherDepth);
}

TEST_F(RenderTargetTest, DestroyingABoundTargetEmptiesItsSlots) {
    RenderTargetD3D9* target = MakeTarget(8, 8);
    RenderTargetD3D9* depth = MakeTarget(8, 8, PF_D24S8, true);
    target->Bind(2);
    depth->Bind(0);
    EXPECT_TRUE(Textures()->ForceRemove(target));
    EXPECT_TRUE(Textures()->ForceRemove(depth));
    EXPECT_EQ(Device().GetRenderTarget(2), nullptr);
    EXPECT_EQ(Device().GetDepthStencilSurface(), nullptr);
}

TEST_F(RenderTargetTest, FindFreeRenderTargetSkipsTargetsInUse) {
    RenderTargetD3D9* first = MakeTarget(16, 8, PF_A8R8G8B8, false, 3);
    MakeTarget(16, 8, PF_X8R8G8B8, false, 3);  // another format
    MakeTarget(16, 8, PF_A8R8G8B8, false, 4);  // another usage
    RenderTargetD3D9* second = MakeTarget(16, 8, PF_A8R8G8B8, false, 3);

    EXPECT_EQ(Textures()->FindFreeRenderTarget(16, 8, 1, PF_A8R8G8B8, 3), first);
    first->SetFlags(first->GetFlags() | 1u);
    EXPECT_EQ(Textures()->FindFreeRenderTarget(16, 8, 1, PF_A8R8G8B8, 3), second);
    second->SetFlags(second->GetFlags() | 1u);
    EXPECT_EQ(Textures()->FindFreeRenderTarget(16, 8, 1, PF_A8R8G8B8, 3), nullptr);
    first->SetFlags(first->GetFlags() & ~1u);
    EXPECT_EQ(Textures()->FindFreeRenderTarget(16, 8, 1, PF_A8R8G8B8, 3), first);
    EXPECT_EQ(Textures()->FindFreeRenderTarget(8, 16, 1, PF_A8R8G8B8, 3), nullptr);
}

TEST_F(RenderTargetTest, DrawnTexelsReadBackThroughTheStagingTexture) {
    RenderTargetD3D9* target = MakeTarget(5, 3);
    RenderTargetD3D9* other = MakeTarget(5, 3);
    System().SetRenderTarget(0, other);
    target->ClearColour(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(System().GetRenderTarget(0), other);  // what was bound comes back
    EXPECT_EQ(ReadBack(target), std::vector<std::uint32_t>(15, kRed));
    ASSERT_NE(target->GetStagingTexture(), nullptr);
    EXPECT_TRUE(EqualsIgnoringCase(target->GetStagingTexture()->GetName(), "RenderTargetLockUse"));
    EXPECT_EQ(target->GetStagingTexture()->GetPool(), 2u);
    EXPECT_EQ(target->GetStagingTexture()->GetRefCount(), 2);  // the manager's and the target's

    // Draw into the target: a blue triangle over its left column, through the device.
    target->Bind(0);
    struct Vertex {
        float x, y, z, rhw;
        DWORD colour;
    };
    const Vertex quad[4] = {{-0.5f, -0.5f, 0, 1, kBlue},
                            {0.5f, -0.5f, 0, 1, kBlue},
                            {-0.5f, 2.5f, 0, 1, kBlue},
                            {0.5f, 2.5f, 0, 1, kBlue}};
    IDirect3DDevice9* d3d = Device().GetD3DDevice();
    d3d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    d3d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d3d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3d->BeginScene();
    EXPECT_EQ(d3d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    d3d->EndScene();
    target->Unbind();
    const std::vector<std::uint32_t> texels = ReadBack(target);
    ASSERT_EQ(texels.size(), 15u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(texels[std::size_t(y * 5 + x)], x == 0 ? kBlue : kRed) << x << "," << y;

    // Each lock reads the target anew: Unlock really let go of the staging texture.
    target->ClearColour(0.0f, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(ReadBack(target), std::vector<std::uint32_t>(15, kGreen));
}

TEST_F(RenderTargetTest, LockRefusesWhatItCannotRead) {
    RenderTargetD3D9* target = MakeTarget(4, 4);
    std::int32_t pitch = -1;
    void* bits = &pitch;
    EXPECT_FALSE(target->LockLevel(1, &pitch, &bits, nullptr, LO_READ_ONLY));
    EXPECT_EQ(pitch, 0);
    EXPECT_EQ(bits, nullptr);
    ASSERT_TRUE(target->LockLevel(0, &pitch, &bits, nullptr, LO_READ_ONLY));
    EXPECT_GE(pitch, 16);
    void* again = nullptr;
    EXPECT_FALSE(target->LockLevel(0, &pitch, &again, nullptr, LO_READ_ONLY));
    target->UnlockLevel();
    target->UnlockLevel();  // not locked: nothing
    // Unlock let go of the staging texture itself.
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(target->GetStagingTexture()->GetDeviceTexture()->LockRect(0, &locked, nullptr, 0),
              D3D_OK);
    target->GetStagingTexture()->GetDeviceTexture()->UnlockRect(0);

    RenderTarget* empty = Textures()->CreateRenderTarget(false);
    EXPECT_FALSE(empty->LockLevel(0, &pitch, &bits, nullptr, LO_READ_ONLY));
    EXPECT_FALSE(MakeTarget(4, 4, PF_D24S8, true)->LockLevel(0, &pitch, &bits, nullptr, 0));
}

TEST_F(RenderTargetTest, ClearingADepthTargetClearsDepthAndLeavesTheColourTargetAlone) {
    RenderTargetD3D9* colour = MakeTarget(4, 4);
    RenderTargetD3D9* depth = MakeTarget(4, 4, PF_D24S8, true);
    RenderTargetD3D9* otherDepth = MakeTarget(4, 4, PF_D24S8, true);
    colour->ClearColour(1.0f, 0.0f, 0.0f, 1.0f);
    System().SetRenderTarget(0, colour);
    System().SetDepthStencilSurface(otherDepth);
    Soft()->ResetCallCounts();
    depth->ClearColour(0.0f, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(Calls(D3D9Call::Clear), 1u);
    EXPECT_EQ(System().GetRenderTarget(0), colour);
    EXPECT_EQ(System().GetDepthStencilSurface(), otherDepth);
    EXPECT_EQ(ReadBack(colour), std::vector<std::uint32_t>(16, kRed));
    IDirect3DSurface9* bound = nullptr;
    Device().GetD3DDevice()->GetDepthStencilSurface(&bound);
    EXPECT_EQ(bound, otherDepth->GetD3DSurface());
    if (bound)
        bound->Release();
}

TEST_F(RenderTargetTest, CreationIsChargedAndEveryReleaseRefundsExactlyThat) {
    RenderTargetD3D9* target = MakeTarget(16, 8);
    const std::uint64_t small = Charge(16, 8, PF_A8R8G8B8);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), small);
    EXPECT_EQ(target->GetChargedBytes(), small);

    // A second creation gives back the first one's charge.
    ASSERT_TRUE(target->Create(32, 16, 2, 0, PF_A8R8G8B8, 1, false));
    const std::uint64_t twoLevels =
        GetPixelFormatByteSize(32, 16, 2, PF_A8R8G8B8) * 4 / 3;  // levels count in the budget
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), twoLevels);

    // Loss and reset: released and refunded, then made again with one level.
    EXPECT_TRUE(target->ReleaseDeviceObjects());
    EXPECT_TRUE(target->IsLost());
    EXPECT_EQ(target->GetD3DSurface(), nullptr);
    EXPECT_EQ(target->GetDeviceTexture(), nullptr);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
    target->ReleaseDeviceObjects();
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
    EXPECT_TRUE(target->RecreateDeviceObjects());
    EXPECT_FALSE(target->IsLost());
    EXPECT_NE(target->GetD3DSurface(), nullptr);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), Charge(32, 16, PF_A8R8G8B8));

    RenderTargetD3D9* depth = MakeTarget(8, 8, PF_D24S8, true);
    EXPECT_NE(depth->GetD3DSurface(), nullptr);
    EXPECT_EQ(depth->GetDeviceTexture(), nullptr);
    EXPECT_TRUE(Textures()->ForceRemove(depth));
    EXPECT_TRUE(Textures()->ForceRemove(target));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
}

TEST_F(RenderTargetTest, TheBudgetRefusesWhatDoesNotFitAndFailuresChargeNothing) {
    LogCapture log;
    // A 1 MB budget: half the bytes must fit in what is left of it; the device takes no single
    // resource above 1 MB either.
    SetMemory(1u << 20);
    // Held, as every user of a target holds it: the refusal below purges what only the texture
    // manager holds.
    SharedPtr<RenderTarget> target(Textures()->CreateRenderTarget(false));
    ASSERT_TRUE(target->Create(64, 64, 1, 0, PF_A8R8G8B8, 1, false));
    const std::uint64_t charged = Textures()->GetDeviceTextureBytes();

    const struct {
        int width, height, format;
        const char* why;
    } refused[] = {
        {1024, 512, PF_A8R8G8B8, "the budget refuses"},
        {600, 500, PF_A8R8G8B8, "fits the budget, the device refuses"},
        {16, 16, PF_DXT1, "no render-target format"},
        {0, 16, PF_A8R8G8B8, "empty"},
        {16, -4, PF_A8R8G8B8, "negative"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.why);
        SharedPtr<RenderTarget> other(Textures()->CreateRenderTarget(false));
        EXPECT_FALSE(other->Create(c.width, c.height, 1, 0, c.format, 1, false));
        EXPECT_EQ(other->GetD3DSurface(), nullptr);
        EXPECT_EQ(other->GetDeviceTexture(), nullptr);
        EXPECT_EQ(Textures()->GetDeviceTextureBytes(), charged);
        // Nor does a reset bring it back.
        static_cast<RenderTargetD3D9*>(other.Get())->ReleaseDeviceObjects();
        EXPECT_FALSE(static_cast<RenderTargetD3D9*>(other.Get())->RecreateDeviceObjects());
        EXPECT_EQ(Textures()->GetDeviceTextureBytes(), charged);
    }
    EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, "not enough video memory"), 1);

    // A reset the budget refuses leaves the target empty and says so.
    auto* big = static_cast<RenderTargetD3D9*>(Textures()->CreateRenderTarget(false));
    SetMemory(8u << 20);
    ASSERT_TRUE(big->Create(1024, 512, 1, 0, PF_A8R8G8B8, 1, false));
    big->ReleaseDeviceObjects();
    SetMemory(1u << 20);
    EXPECT_FALSE(big->RecreateDeviceObjects());
    EXPECT_EQ(big->GetD3DSurface(), nullptr);
    EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, "RenderTarget Reset"), 1);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), charged);

    // A target never made has nothing to make again.
    auto* never = static_cast<RenderTargetD3D9*>(Textures()->CreateRenderTarget(false));
    EXPECT_FALSE(never->RecreateDeviceObjects());
    EXPECT_EQ(log.Count("RenderTargetD3D9::RecreateHardwareResource"), 0);
}

TEST_F(RenderTargetTest, SavedTargetsHoldWhatWasDrawn) {
    RenderTargetD3D9* target = MakeTarget(6, 4);
    target->ClearColour(0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_TRUE(target->SaveToFile("rt.png", 3));
    EXPECT_FALSE(target->SaveToFile("rt.xyz", 5));
    EXPECT_FALSE(Textures()->CreateRenderTarget(false)->SaveToFile("none.png", 3));
    std::FILE* file = std::fopen("rt.png", "rb");
    ASSERT_NE(file, nullptr);
    unsigned char signature[8] = {};
    EXPECT_EQ(std::fread(signature, 1, 8, file), 8u);
    std::fclose(file);
    EXPECT_EQ(signature[1], 'P');
    EXPECT_EQ(signature[2], 'N');
}

}  // namespace
