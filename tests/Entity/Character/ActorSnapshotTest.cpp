// The snapshot shaders of the template holder: swapped into the render system for a snapshot and
// back after it, unless the host asked to keep them.
#include <gtest/gtest.h>

#include "Entity/Character/ActorTemplates.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/ZelShaderConstFillerScreenShot.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

class ActorSnapshotTest : public ActorTest {
protected:
    void TearDown() override {
        Zel::ActorTemplates::SetKeepSnapshotShaders(false);
        ActorTest::TearDown();
    }
};

TEST_F(ActorSnapshotTest, SnapshotShadersGoBackUnlessKept) {
    Zel::RenderSystem system;
    Zel::LegacyShaderCompilerScreenShot ownCompiler;
    Zel::ZelShaderConstFillerScreenShot ownFiller;
    system.SetShaderCompiler(&ownCompiler);
    system.SetShaderConstFiller(&ownFiller);
    Zel::ActorTemplates& templates = *G()->GetActorTemplates();

    templates.RestoreShaders(system);  // nothing installed: nothing changes
    EXPECT_EQ(system.GetShaderCompiler(), &ownCompiler);

    templates.InstallSnapshotShaders(system);
    EXPECT_EQ(system.GetShaderCompiler(), templates.GetSnapshotCompiler());
    EXPECT_EQ(system.GetShaderConstFiller(), templates.GetSnapshotFiller());
    templates.RestoreShaders(system);
    EXPECT_EQ(system.GetShaderCompiler(), &ownCompiler);
    EXPECT_EQ(system.GetShaderConstFiller(), &ownFiller);

    // Kept across two snapshots, the system's own shaders are still the ones to go back to.
    Zel::ActorTemplates::SetKeepSnapshotShaders(true);
    templates.InstallSnapshotShaders(system);
    templates.RestoreShaders(system);
    EXPECT_EQ(system.GetShaderCompiler(), templates.GetSnapshotCompiler());
    templates.InstallSnapshotShaders(system);
    Zel::ActorTemplates::SetKeepSnapshotShaders(false);
    templates.RestoreShaders(system);
    EXPECT_EQ(system.GetShaderCompiler(), &ownCompiler);
    EXPECT_EQ(system.GetShaderConstFiller(), &ownFiller);
}

}  // namespace
}  // namespace ZelTest
