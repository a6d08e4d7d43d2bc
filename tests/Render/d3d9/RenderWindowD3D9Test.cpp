// The Direct3D 9 render window: its swap chain and targets, their budget, present with and
// without post-processing, the post-process swap, resizing, screenshots and back-buffer copies.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "Core/FrameStats.h"
#include "Entity/Image/PngDecoder.h"
#include "Entity/Image/TgaDecoder.h"
#include "Platform/Win32/Win32Time.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/ClearRecord.h"
#include "Render/d3d9/RenderWindowD3D9.h"
#include "tests/Render/d3d9/RenderWindowFixture.h"

namespace {

using namespace Zel;
using ZelTest::LogCapture;
using ZelTest::RenderWindowTest;

using ZelTest::kGreen;
using ZelTest::kRed;

TEST_F(RenderWindowTest, TheWindowsColourTargetLocksThroughItsStagingCopy) {
    MakeSwapChain();
    ClearBound(1.0f, 0.0f, 0.0f);
    const std::vector<std::uint32_t> texels = ReadBack(rw_->GetColourTarget());
    ASSERT_EQ(texels.size(), std::size_t(kWidth) * kHeight);
    EXPECT_EQ(texels[0] & 0xFFFFFFu, kRed & 0xFFFFFFu);
    EXPECT_EQ(texels.back() & 0xFFFFFFu, kRed & 0xFFFFFFu);
}

TEST_F(RenderWindowTest, TheSwapChainComesWithItsTargetsChargedAtTheirExactSize) {
    LogCapture log;
    MakeSwapChain();
    const D3DPRESENT_PARAMETERS& p = rw_->GetPresentParameters();
    EXPECT_EQ(p.BackBufferWidth, kWidth);
    EXPECT_EQ(p.BackBufferHeight, kHeight);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);  // the display mode's
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.hDeviceWindow, window_);
    EXPECT_TRUE(p.Windowed);
    EXPECT_FALSE(p.EnableAutoDepthStencil);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(p.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(rw_->GetHostValue(), &host_);

    RenderTarget* colour = rw_->GetColourTarget();
    RenderTarget* depth = rw_->GetDepthTarget();
    ASSERT_NE(colour, nullptr);
    ASSERT_NE(depth, nullptr);
    IDirect3DSurface9* back = nullptr;
    rw_->GetSwapChain()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
    EXPECT_EQ(colour->GetD3DSurface(), back);
    back->Release();
    // Recorded in the back buffer's format, so a lock's staging copy matches it.
    EXPECT_EQ(colour->GetFormat(), PF_X8R8G8B8);
    EXPECT_TRUE(depth->IsDepthStencil());
    EXPECT_EQ(depth->GetFormat(), PF_D24S8);
    D3DSURFACE_DESC desc{};
    depth->GetD3DSurface()->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(Device().GetRenderTarget(0), colour);
    EXPECT_EQ(Device().GetDepthStencilSurface(), depth);

    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), Exact(kWidth, kHeight));
    for (const char* line :
         {"CreateAdditionalSwapChain Begin", "CreateAdditionalSwapChain End",
          "Create New ColorRT Begin,w=64,h=48", "Create New ColorRT End",
          "Create New DepthRT Begin,w=64,h=48", "Create New DepthRT End",
          "CreateDepthStencilSurface Begin,w=64,h=48", "CreateDepthStencilSurface End"})
        EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, line), 1) << line;

    // Releasing gives back exactly what was charged.
    EXPECT_TRUE(rw_->ReleaseDeviceObjects());
    EXPECT_EQ(rw_->GetSwapChain(), nullptr);
    EXPECT_EQ(colour->GetD3DSurface(), nullptr);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
    EXPECT_TRUE(rw_->RecreateDeviceObjects());
    EXPECT_EQ(rw_->GetColourTarget(), colour);  // the same target objects, new surfaces
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), Exact(kWidth, kHeight));
    rw_->Destroy();
    rw_ = nullptr;
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
}

TEST_F(RenderWindowTest, AFailedSwapChainLeavesTheWindowWithoutOne) {
    MakeWindow();
    EXPECT_FALSE(rw_->CreateSwapChain(&host_, reinterpret_cast<HWND>(0x1234), kWidth, kHeight, 1));
    EXPECT_EQ(rw_->GetSwapChain(), nullptr);
    EXPECT_FALSE(rw_->Present());
    EXPECT_FALSE(rw_->ScreenShot());
    EXPECT_NE(LogText().find("D3D ERROR! ,CreateAdditionalSwapChain(), pD3D9Device = "),
              std::string::npos);
}

TEST_F(RenderWindowTest, PresentShowsTheBackBufferAndZeroesTheFrameCounters) {
    MakeSwapChain();
    ClearBound(1.0f, 0.0f, 0.0f);
    Stats().words[FRAME_DRAW_INDEXED] = 5;
    EXPECT_TRUE(rw_->Present());
    EXPECT_EQ(Shown(0, 0), kRed);
    EXPECT_EQ(Shown(kWidth - 1, kHeight - 1), kRed);
    EXPECT_EQ(Stats().words[FRAME_DRAW_INDEXED], 0u);

    // A failed present still zeroes the counters, and skips the declaration reset.
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    Stats().words[FRAME_DRAW_INDEXED] = 5;
    Soft()->ResetCallCounts();
    EXPECT_FALSE(rw_->Present());
    EXPECT_EQ(Stats().words[FRAME_DRAW_INDEXED], 0u);
    EXPECT_EQ(Calls(D3D9Call::SetVertexDeclaration), 0u);
    Soft()->SetCooperativeLevelResult(D3D_OK);
}

TEST_F(RenderWindowTest, PostProcessingDrawsIntoAAndPingPongsWithB) {
    ASSERT_TRUE(Device().EnableA8R8G8B8Target());
    MakeSwapChain();
    ASSERT_TRUE(rw_->IsPostProcessing());
    RenderTarget* a = rw_->GetPostProcessTargetA();
    RenderTarget* b = rw_->GetPostProcessTargetB();
    ASSERT_NE(a->GetD3DSurface(), nullptr);
    ASSERT_NE(b->GetD3DSurface(), nullptr);
    EXPECT_EQ(a->GetWidth(), int(kWidth));
    EXPECT_EQ(Device().GetRenderTarget(0), a);

    // The frame goes into A; a post effect moves it to B and hands the targets back as (B, A).
    ClearBound(1.0f, 0.0f, 0.0f);
    SharedPtr<RenderTarget> first, second;
    ASSERT_TRUE(rw_->SwapPostProcessTargets(&first, &second));
    EXPECT_EQ(first.Get(), b);
    EXPECT_EQ(second.Get(), a);
    EXPECT_EQ(Device().GetRenderTarget(0), b);
    EXPECT_EQ(ReadBack(b), std::vector<std::uint32_t>(kWidth * kHeight, kRed));
    // Only from A: a second swap is refused.
    EXPECT_FALSE(rw_->SwapPostProcessTargets(&first, &second));
    first.Reset();
    second.Reset();

    // Present brings B's frame onto the back buffer; A and B trade places and A takes slot 0.
    EXPECT_TRUE(rw_->Present());
    EXPECT_EQ(Shown(kWidth / 2, kHeight / 2), kRed);
    EXPECT_EQ(rw_->GetPostProcessTargetA(), b);
    EXPECT_EQ(rw_->GetPostProcessTargetB(), a);
    EXPECT_EQ(Device().GetRenderTarget(0), b);

    // Switched off: the colour target takes slot 0 at the next present and frames go straight
    // to the back buffer.
    Device().DisableA8R8G8B8Target();
    EXPECT_TRUE(rw_->Present());
    EXPECT_FALSE(rw_->IsPostProcessing());
    EXPECT_EQ(Device().GetRenderTarget(0), rw_->GetColourTarget());
    EXPECT_FALSE(rw_->SwapPostProcessTargets(&first, &second));
    ClearBound(0.0f, 1.0f, 0.0f);
    EXPECT_TRUE(rw_->Present());
    EXPECT_EQ(Shown(0, 0), kGreen);
}

TEST_F(RenderWindowTest, AfterALossTheWindowAndItsTargetsLeaveNothingThatBlocksTheReset) {
    ASSERT_TRUE(Device().EnableA8R8G8B8Target());
    MakeSwapChain();
    RenderTargetD3D9* target = MakeTarget(8, 8);
    RenderTargetD3D9* depth = MakeTarget(8, 8, PF_D24S8, true);
    // The staging texture lives in system memory and may stay; it keeps what it was charged.
    const std::uint32_t beforeReadBack = Textures()->GetDeviceTextureBytes();
    ReadBack(target);
    const std::uint32_t staging = Textures()->GetDeviceTextureBytes() - beforeReadBack;

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    EXPECT_TRUE(rw_->ReleaseDeviceObjects());
    EXPECT_TRUE(target->ReleaseDeviceObjects());
    EXPECT_TRUE(depth->ReleaseDeviceObjects());
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), staging);
    ASSERT_TRUE(Device().ResetDevice(Settings()));

    EXPECT_TRUE(target->RecreateDeviceObjects());
    EXPECT_TRUE(depth->RecreateDeviceObjects());
    EXPECT_TRUE(rw_->RecreateDeviceObjects());
    EXPECT_NE(rw_->GetPostProcessTargetA()->GetD3DSurface(), nullptr);
    EXPECT_EQ(Device().GetRenderTarget(0), rw_->GetPostProcessTargetA());
    ClearBound(0.0f, 1.0f, 0.0f);
    EXPECT_TRUE(rw_->Present());
    EXPECT_EQ(Shown(1, 1), kGreen);
    target->ClearColour(1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(ReadBack(target), std::vector<std::uint32_t>(64, kRed));
}

TEST_F(RenderWindowTest, ResizeRebuildsTheSwapChainAndResizeWindowedExDoesNot) {
    LogCapture log;
    MakeSwapChain();
    Soft()->ResetCallCounts();
    EXPECT_TRUE(rw_->Resize(32, 24));
    EXPECT_EQ(Calls(D3D9Call::CreateAdditionalSwapChain), 1u);
    EXPECT_EQ(rw_->GetWidth(), 32u);
    EXPECT_EQ(rw_->GetPresentParameters().BackBufferWidth, 32u);
    EXPECT_EQ(rw_->GetColourTarget()->GetWidth(), 32);
    EXPECT_EQ(Device().GetRenderTarget(0), rw_->GetColourTarget());
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), Exact(32, 24));
    EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, "Render Window Resize Begin: 32 24"), 1);
    EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, "Render Window Resize End"), 1);

    EXPECT_TRUE(rw_->Resize(32, 24));  // the same size still rebuilds
    EXPECT_EQ(Calls(D3D9Call::CreateAdditionalSwapChain), 2u);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), Exact(32, 24));

    EXPECT_TRUE(rw_->ResizeWindowedEx(40, 30, true, 6));
    EXPECT_EQ(Calls(D3D9Call::CreateAdditionalSwapChain), 2u);
    EXPECT_EQ(rw_->GetWidth(), 40u);
    EXPECT_EQ(rw_->GetPresentParameters().BackBufferWidth, 32u);
    EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT,
                            "RenderWindowD3D9::ResizeWindowedEx,windowed=1,pad_win_frame_size=6"),
              1);
    rw_->SetSize(10, 12);
    EXPECT_EQ(rw_->GetHeight(), 12u);
    EXPECT_EQ(Calls(D3D9Call::CreateAdditionalSwapChain), 2u);
}

TEST_F(RenderWindowTest, ScreenShotsAreTgaFilesNamedByTheTimeAndTheBackBufferSavesAsPng) {
    MakeSwapChain();
    ClearBound(1.0f, 0.0f, 0.0f);
    std::set<std::string> names;
    for (int i = 0; i < 2; ++i) {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        char name[96];
        std::snprintf(name, sizeof name, "ScreenShot-%d-%d-%d-%d-%d-%d.tga", t.wYear, t.wMonth,
                      t.wDay, t.wHour, t.wMinute, t.wSecond);
        names.insert(name);
        if (i == 0) {
            ASSERT_TRUE(rw_->ScreenShot());
        }
    }
    // The name of the second before or after the shot.
    std::vector<std::uint8_t> tga;
    for (const std::string& name : names) {
        if (tga.empty())
            tga = ReadFile(name);
    }
    ASSERT_FALSE(tga.empty());
    ASSERT_TRUE(IsTgaImage(tga.data(), tga.size()));
    EXPECT_EQ(tga[2], 2);  // uncompressed true colour
    const DecodedImage shot = DecodeTgaImage(tga.data(), tga.size());
    ASSERT_FALSE(shot.IsEmpty());
    EXPECT_EQ(shot.width, kWidth);
    EXPECT_EQ(shot.height, kHeight);
    // Blue, green, red in the file's order.
    EXPECT_EQ(shot.data[0], 0);
    EXPECT_EQ(shot.data[1], 0);
    EXPECT_EQ(shot.data[2], 0xFF);

    ASSERT_TRUE(rw_->SaveBackBuffer("back.png"));
    const std::vector<std::uint8_t> png = ReadFile("back.png");
    ASSERT_TRUE(IsPngImage(png.data(), png.size()));
    const DecodedImage saved = DecodePngImage(png.data(), png.size());
    ASSERT_FALSE(saved.IsEmpty());
    EXPECT_EQ(saved.width, kWidth);
    EXPECT_FALSE(rw_->SaveBackBuffer(nullptr));
}

TEST_F(RenderWindowTest, TheBackBufferCopiesIntoColourTargets) {
    MakeSwapChain();
    ClearBound(0.0f, 1.0f, 0.0f);
    RenderTargetD3D9* target = MakeTarget(16, 12);
    EXPECT_TRUE(rw_->CopyBackBufferTo(target));
    EXPECT_EQ(ReadBack(target), std::vector<std::uint32_t>(16 * 12, kGreen));
    EXPECT_FALSE(rw_->CopyBackBufferTo(MakeTarget(16, 12, PF_D24S8, true)));
    EXPECT_FALSE(rw_->CopyBackBufferTo(Textures()->CreateRenderTarget(false)));
    EXPECT_FALSE(rw_->CopyBackBufferTo(nullptr));
}

}  // namespace
