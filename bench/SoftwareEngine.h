// Globals with a software device behind its buffer manager, asking for 32-bit index buffers, in a
// temporary working directory of its own (the engine writes its log there). For benchmarks that
// load models and levels the way the engine does.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/Win32/Win32.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/DisplaySettings.h"
#include "Render/HardwareBufferManager.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace ZelBench {

class SoftwareEngine {
public:
    // directory: the working directory's name under the system's temporary directory.
    explicit SoftwareEngine(const std::string& directory) {
        dir_ = std::filesystem::temp_directory_path() / directory;
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        D3D9Module::Install();
        Zel::Globals* g = Zel::Globals::GetSingleton();
        window_ = Win32Window::Create(64, 48);
        Zel::DisplaySettings settings;
        settings.window = window_;
        settings.width = 64;
        settings.height = 48;
        if (!device_.Init(settings))
            std::fprintf(stderr, "the software device did not start\n");
        g->GetHardwareBufferManager()->SetRenderDevice(&device_);
        g->GetSceneManager()->SetDX7Mode(false);
        g->GetDeviceCaps()->featureFlags |= Zel::DEVICE_INDEX_32;
    }
    ~SoftwareEngine() {
        Zel::Globals::DeleteSingleton();
        DestroyWindow(window_);
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    SoftwareEngine(const SoftwareEngine&) = delete;
    SoftwareEngine& operator=(const SoftwareEngine&) = delete;

private:
    std::filesystem::path dir_, previous_;
    HWND window_ = nullptr;
    Zel::RenderDeviceD3D9 device_;
};

}  // namespace ZelBench
