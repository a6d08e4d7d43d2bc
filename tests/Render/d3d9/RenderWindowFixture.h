// A render window of the render system on the reported device of RenderTargetTest, destroyed
// before the Globals and the device.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Platform/Win32/Win32Window.h"
#include "Render/ClearRecord.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/RenderWindowD3D9.h"
#include "tests/Render/d3d9/RenderTargetFixture.h"

namespace ZelTest {

class RenderWindowTest : public RenderTargetTest {
protected:
    void TearDown() override {
        if (rw_)
            rw_->Destroy();
        rw_ = nullptr;
        RenderTargetTest::TearDown();
    }

    // A window of the render system, without a swap chain.
    Zel::RenderWindowD3D9* MakeWindow() {
        rw_ = static_cast<Zel::RenderWindowD3D9*>(
            G()->GetGraphicsAPIManager()->NewRenderWindow(&System(), Zel::MP_DEFAULT, &Device()));
        System().AddRenderWindow(rw_);
        return rw_;
    }
    // A window with its swap chain on the test's window, at its size unless told otherwise.
    Zel::RenderWindowD3D9* MakeSwapChain(std::uint32_t width = kWidth,
                                         std::uint32_t height = kHeight) {
        MakeWindow();
        EXPECT_TRUE(rw_->CreateSwapChain(&host_, window_, width, height, 1));
        return rw_;
    }

    void ClearBound(float r, float g, float b) {
        const float rgba[4] = {r, g, b, 1.0f};
        System().Clear(Zel::CLEAR_COLOUR, rgba, 1.0f, 0);
    }
    // The window's frame buffer at (x, y).
    std::uint32_t Shown(UINT x, UINT y) { return Win32Window::Find(window_)->Pixel(x, y); }
    // What the window charges: its colour and depth surfaces at their exact size.
    static std::uint64_t Exact(std::uint32_t width, std::uint32_t height) {
        return Zel::GetPixelFormatByteSize(width, height, 1, Zel::PF_A8R8G8B8) +
               Zel::GetPixelFormatByteSize(width, height, 1, Zel::PF_D24S8);
    }
    static std::vector<std::uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    Zel::RenderWindowD3D9* rw_ = nullptr;
    int host_ = 7;
};

}  // namespace ZelTest
