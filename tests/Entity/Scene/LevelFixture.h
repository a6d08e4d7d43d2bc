// Globals with a software device (the geometry fixture), grid levels from the level recipe, and a
// camera looking from one point at another through a render system that builds its matrices.
#pragma once

#include <string>
#include <vector>

#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderSystem.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace ZelTest {

class LevelGridTest : public GeometryTest {
protected:
    void SetUp() override {
        GeometryTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
    }
    void TearDown() override {
        Scene().SetRenderSystem(nullptr);
        GeometryTest::TearDown();
    }

    // Writes the level recipe with tiles x tiles squares (one mesh each) into folder; the
    // description is folder/grid.xml.
    static void SaveGrid(const std::string& folder, std::uint32_t tiles) {
        ZelModelGen::RecipeOptions options;
        options.tiles = tiles;
        std::vector<ZelModelGen::RecipeFile> files;
        std::string error;
        ASSERT_TRUE(ZelModelGen::SaveRecipe("level", folder, options, files, error)) << error;
    }

    Zel::Camera* LookingAt(const float* eye, const float* target) {
        Scene().SetRenderSystem(&renderSystem_);
        Zel::Camera* camera = Scene().CreateCamera();
        const float up[3] = {0, 1, 0};
        camera->LookAt(eye, target, up);
        std::uint32_t visits = 0;
        camera->Update(&visits, 0.0f, 5);
        return camera;
    }

    Zel::RenderSystem renderSystem_;
};

}  // namespace ZelTest
