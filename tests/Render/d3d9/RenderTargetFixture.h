// A reported device with the texture manager attached to it, a render system drawing with it and
// the scene holding that system, so targets bind, clear and read back as in a frame. The Globals
// (and every target and texture the manager holds) go before the device they were made on.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderTargetD3D9.h"
#include "support/LogCapture.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace ZelTest {

// Opaque A8R8G8B8 texels.
inline constexpr std::uint32_t kRed = 0xFFFF0000u;
inline constexpr std::uint32_t kGreen = 0xFF00FF00u;
inline constexpr std::uint32_t kBlue = 0xFF0000FFu;

class RenderTargetTest : public ReadyDeviceTest {
protected:
    void SetUp() override {
        ReadyDeviceTest::SetUp();
        Textures()->SetDevice(Device().GetD3DDevice(), &Device());
        system_.SetRenderDevice(&Device());
        G()->GetSceneManager()->SetRenderSystem(&system_);
    }

    void TearDown() override {
        Zel::Globals::DeleteSingleton();
        ReadyDeviceTest::TearDown();
    }

    Zel::TextureManager* Textures() { return G()->GetTextureManager(); }
    Zel::RenderSystem& System() { return system_; }

    // A colour (or depth-stencil) target made through the texture manager and created; fails the
    // test when it cannot be made.
    Zel::RenderTargetD3D9* MakeTarget(int width, int height, int format = Zel::PF_A8R8G8B8,
                                      bool depth = false, int usage = 0) {
        auto* target = static_cast<Zel::RenderTargetD3D9*>(Textures()->CreateRenderTarget(depth));
        EXPECT_NE(target, nullptr);
        if (target) {
            EXPECT_TRUE(target->Create(width, height, 1, usage, format, 1, false));
        }
        return target;
    }

    // The A8R8G8B8 texels of a colour target read back through its lock, row by row.
    std::vector<std::uint32_t> ReadBack(Zel::RenderTarget* target) {
        std::int32_t pitch = 0;
        void* bits = nullptr;
        std::vector<std::uint32_t> texels;
        EXPECT_TRUE(target->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_READ_ONLY));
        if (!bits)
            return texels;
        for (int y = 0; y < target->GetHeight(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const char*>(bits) + std::ptrdiff_t(pitch) * y);
            texels.insert(texels.end(), row, row + target->GetWidth());
        }
        target->UnlockLevel();
        return texels;
    }

    Zel::RenderSystem system_;
};

}  // namespace ZelTest
