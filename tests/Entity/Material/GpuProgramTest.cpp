// GPU programs: serial ids in the upper half, the program manager relaying device loss and reset
// to its default-pool programs only, and real effects through the device factory: the default
// program kept with one reference, a missing effect file, no device binding.
#include "Entity/Material/GpuProgramManager.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

using ZelTest::FakeProgram;

TEST(GpuProgramId, SerialInTheUpperHalf) {
    FakeProgram a(nullptr, "a.fx", Zel::MP_DEFAULT);
    FakeProgram b(nullptr, "b.fx", Zel::MP_DEFAULT);
    EXPECT_NE(a.GetProgramId(), b.GetProgramId());
    for (const FakeProgram* p : {&a, &b}) {
        EXPECT_EQ(p->GetProgramId() & 0xFFFFFFFFu, 0u);
        EXPECT_GT(p->GetProgramId() >> 32, 0u);
        EXPECT_LE(p->GetProgramId() >> 32, Zel::GpuProgram::kMaxSerial);
    }
    EXPECT_EQ(b.GetProgramId() - a.GetProgramId(), std::uint64_t(1) << 32);
}

class GpuProgramManagerTest : public ZelTest::CoreRootTest {
protected:
    Zel::GpuProgramManager& Programs() { return *G()->GetGpuProgramManager(); }
};

TEST_F(GpuProgramManagerTest, LossAndResetReachDefaultPoolProgramsInTheMapOnce) {
    auto* first = new FakeProgram(&Programs(), "first.fx", Zel::MP_DEFAULT);
    auto* second = new FakeProgram(&Programs(), "second.fx", Zel::MP_DEFAULT);
    auto* managed = new FakeProgram(&Programs(), "managed.fx", Zel::MP_MANAGED);
    FakeProgram outside(&Programs(), "outside.fx", Zel::MP_DEFAULT);
    for (FakeProgram* p : {first, second, managed}) Programs().Add(p);

    G()->GetRenderResourceRegistry()->NotifyDeviceLost();
    G()->GetRenderResourceRegistry()->NotifyDeviceReset();
    for (FakeProgram* p : {first, second}) {
        EXPECT_EQ(p->lost, 1) << p->GetName();
        EXPECT_EQ(p->reset, 1) << p->GetName();
    }
    EXPECT_EQ(managed->lost + managed->reset, 0);
    EXPECT_EQ(outside.lost + outside.reset, 0);
}

TEST_F(GpuProgramManagerTest, NothingIsMadeWithoutADevice) {
    EXPECT_EQ(Programs().LoadProgram("some.fx"), nullptr);
    EXPECT_EQ(Programs().GetDefaultProgram(), nullptr);
    EXPECT_EQ(Programs().GetTotalCount(), 0u);
}

using GpuProgramDeviceTest = ZelTest::ProgramDeviceTest;

TEST_F(GpuProgramDeviceTest, DefaultProgramLoadsOnceAndKeepsOneReference) {
    Zel::GpuProgram* program = Programs().GetDefaultProgram();
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->IsLoadSucceeded());
    EXPECT_NE(dynamic_cast<Zel::RenderEffectD3D*>(program), nullptr);
    EXPECT_EQ(Programs().GetDefaultProgram(), program);
    EXPECT_EQ(program->GetRefCount(), 2);  // the map's and the default reference
    EXPECT_EQ(Programs().GetTotalCount(), 1u);
}

TEST_F(GpuProgramDeviceTest, LoadByNameCachesAndReportsAMissingFile) {
    Zel::GpuProgram* program = Programs().LoadProgram(Zel::GpuProgramManager::kDefaultProgramPath);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->IsLoadSucceeded());
    EXPECT_EQ(Programs().LoadProgram(Zel::GpuProgramManager::kDefaultProgramPath), program);
    Zel::GpuProgram* missing = Programs().LoadProgram("../Data/Effects/none.fx");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsLoadSucceeded());
}

}  // namespace
