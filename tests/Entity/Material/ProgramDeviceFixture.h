// Real effects on the software device for the material tests: the process runs in "<tmp>/Bin"
// (also the data root), so that the default program's "../Data/..." path lands inside the test's
// directory; the default effect is written there and the GPU program manager is bound to the
// device.
#pragma once

#include <filesystem>

#include "Core/EnginePaths.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace ZelTest {

class ProgramDeviceTest : public ReadyDeviceTest {
protected:
    void SetUp() override {
        ReadyDeviceTest::SetUp();
        const auto bin = dir_.Path() / "Bin";
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(dir_.Path() / "Data/Effects/Legacy");
        std::filesystem::current_path(bin);
        Zel::SetEngineDataRoot(bin.string());
        ASSERT_TRUE(Zel::RenderEffectD3D::WriteDefaultEffectFile(
            Zel::GpuProgramManager::kDefaultProgramPath));
        Programs().SetDeviceBinding(&Device());
    }
    void TearDown() override {
        std::filesystem::current_path(dir_.Path());
        ReadyDeviceTest::TearDown();
    }
    Zel::GpuProgramManager& Programs() { return *G()->GetGpuProgramManager(); }
};

}  // namespace ZelTest
