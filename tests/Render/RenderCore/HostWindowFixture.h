// A host's temporary tree for the render object: the demo data tree under a fresh root, the
// working directory one level below it, and (OpenWindowTest) a render window of 64 x 48 whose
// device waits return at once.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "Entity/Scene/SceneManager.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "demo/DemoDataTree.h"
#include "tests/Core/CoreRootFixture.h"

namespace ZelTest {

class RenderWindowTest : public CoreRootTest {
protected:
    RenderWindowTest() {
        std::string error;
        EXPECT_TRUE(ZelDemo::WriteDataTree(dir_.Path(), &error)) << error;
        std::filesystem::current_path(ZelDemo::WorkingDirectoryOf(dir_.Path()));
    }
    ~RenderWindowTest() override { Zel::IRenderImpl::GetFrameTimeCounter().SetClock(nullptr); }

    Zel::IRenderImpl* Render() { return G()->GetRenderInterface(); }
    // The log opened in the root before the test moved one level down.
    std::string Log() {
        std::ifstream in(dir_.Path() / G()->GetLogManager()->GetLogFilePath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// A window of 64 x 48 drawn into by the frame operations; the device's waits return at once.
class OpenWindowTest : public RenderWindowTest {
protected:
    OpenWindowTest() {
        ZelI::RenderWindowParams params;
        params.width = 64;
        params.height = 48;
        EXPECT_EQ(Render()->CreateRenderWindow(&params), 100);
        G()->GetSceneManager()->SetDeviceWait([](std::uint32_t) {});
    }

    std::shared_ptr<Win32Window> Window() {
        return Win32Window::Find(static_cast<HWND>(Render()->GetWindowHandle()));
    }
    Zel::RenderSystem* System() { return G()->GetSceneManager()->GetRenderSystem(); }
    SoftDevice9* Soft() {
        auto* device = dynamic_cast<Zel::RenderDeviceD3D9*>(System()->GetRenderDevice());
        return device ? SoftDevice9::From(device->GetD3DDevice()) : nullptr;
    }
    // Every draw call the software device has taken so far.
    ULONGLONG DrawCalls() {
        SoftDevice9* soft = Soft();
        return soft->CallCount(D3D9Call::DrawPrimitive) +
               soft->CallCount(D3D9Call::DrawIndexedPrimitive) +
               soft->CallCount(D3D9Call::DrawPrimitiveUP) +
               soft->CallCount(D3D9Call::DrawIndexedPrimitiveUP);
    }
    // One frame the way a host draws it: clear with the colour, then present.
    void ClearedFrame(float r, float g, float b) {
        const float colour[4] = {r, g, b, 1.0f};
        Render()->SetClearColor(colour);
        Render()->FrameBegin();
        Render()->Clear();
        Render()->FrameEnd();
        Render()->SwapBuffer();
    }
};

}  // namespace ZelTest
