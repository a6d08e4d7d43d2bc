// Picking fixtures: entities over triangle soups with their mesh bounds set, entity placement,
// and the brute-force references that picking answers are compared with.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/EnginePaths.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/OctreeNode.h"
#include "Math/MathUtil.h"
#include "Math/Ray.h"
#include "Render/ClearRecord.h"
#include "Render/RenderSystem.h"
#include "tests/Entity/Scene/RenderSceneFixture.h"

namespace ZelTest {

struct Soup {
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
};

// count small triangles at random places in the cube [-extent, extent]^3, seeded.
inline Soup RandomSoup(std::uint32_t count, float extent, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> where(-extent, extent), corner(-0.6f, 0.6f);
    Soup soup;
    for (std::uint32_t t = 0; t < count; ++t) {
        const float c[3] = {where(rng), where(rng), where(rng)};
        for (int k = 0; k < 3; ++k) {
            for (int a = 0; a < 3; ++a) soup.positions.push_back(c[a] + corner(rng));
            soup.indices.push_back(3 * t + k);
        }
    }
    return soup;
}

// World point of a local one: m x (p, 1) for an affine m.
inline void ToWorld(const float* m, const float* p, float* out) {
    for (int r = 0; r < 3; ++r)
        out[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
}

// The nearest front-face hit of the world ray on the entity's triangles carried to world space
// one by one; a negative distance when nothing is hit.
inline float BruteForceDistance(Zel::Entity& entity, const Soup& soup, const Zel::Ray& ray) {
    const float* world = entity.GetWorldMatrix();
    float best = -1.0f;
    for (std::size_t t = 0; t + 2 < soup.indices.size(); t += 3) {
        float c[3][3];
        for (int k = 0; k < 3; ++k) ToWorld(world, &soup.positions[3 * soup.indices[t + k]], c[k]);
        Zel::Triangle triangle;
        triangle.Set(c[0], c[1], c[2]);
        float point[3];
        if (!triangle.IntersectRay(ray, point))
            continue;
        const float d[3] = {point[0] - ray.origin[0], point[1] - ray.origin[1],
                            point[2] - ray.origin[2]};
        const float distance = std::sqrt(Zel::Dot3(d, d));
        if (best < 0.0f || distance < best)
            best = distance;
    }
    return best;
}

class PickingTest : public SceneTest {
protected:
    // A mesh over the soup, its bounds those of its positions.
    Zel::Mesh& MakeSoupMesh(const Soup& soup) {
        auto mesh = std::make_unique<Zel::Mesh>(nullptr, true, true);
        GeometryTest::FillMesh(*mesh, soup.positions, soup.indices);
        for (std::size_t v = 0; v + 2 < soup.positions.size(); v += 3)
            mesh->GetBoundsForUpdate().MergePoint(&soup.positions[v]);
        meshes_.push_back(std::move(mesh));
        return *meshes_.back();
    }

    Zel::Entity& MakeSoupEntity(const Soup& soup) {
        return MakeEntity({&MakeSoupMesh(soup)}, nullptr);
    }

    // Places the entity (position, quaternion, uniform scale) and brings its world box along.
    static void Place(Zel::Entity& entity, const float* position, const float* rotation,
                      float scale = 1.0f) {
        const float s[3] = {scale, scale, scale};
        entity.SetPosition(position);
        entity.SetOrientation(rotation);
        entity.SetScale(s);
        entity.GetWorldMatrix();
        entity.UpdatePlacement();
    }
};

// Frames drawn on the software device through the scene's render system, its viewport the
// window's.
class FrameTest : public RenderSceneOf<PickingTest> {
protected:
    void SetUp() override {
        texturesOnDevice_ = true;
        RenderSceneOf<PickingTest>::SetUp();
        system_.SetViewport(0, 0, kWidth, kHeight);
        Scene().SetDX7Mode(false);
    }

    // Sets the camera: eye on +z looking at the origin, y up.
    void SetCamera() {
        float view[16], projection[16], viewProjection[16];
        const float eye[3] = {0, 0, 10}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        system_.MakeLookAtMatrix(eye, target, up, view);
        system_.MakePerspectiveMatrix(45.0f, float(kWidth) / float(kHeight), 0.5f, 50.0f,
                                      projection);
        Scene().SetViewMatrix(view);
        Scene().SetProjectionMatrix(projection);
        std::copy_n(Scene().GetViewProjectionMatrix(), 16, viewProjection);
        Scene().SetCurrentView(view, viewProjection, eye);
    }

    // Draws the entities through a pipe, then runs `more` inside the same scene, and presents
    // the frame.
    void Draw(const std::vector<Zel::Entity*>& entities, const std::function<void()>& more = {}) {
        const float black[4] = {0, 0, 0, 1};
        system_.Clear(Zel::CLEAR_COLOUR | Zel::CLEAR_DEPTH, black, 1.0f, 0);
        system_.BeginScene();
        Scene().SetRenderGroupFlags(4);
        Scene().PushNewPipe(0, 0, nullptr);
        for (Zel::Entity* e : entities) Scene().PushRenderable(e);
        Scene().ProcessCurrentPipe();
        Scene().RenderPushedPipes();
        Scene().CleanPushedObjsAndSubModels();
        if (more)
            more();
        system_.EndScene();
        ASSERT_EQ(D3D_OK, Device().GetD3DDevice()->Present(nullptr, nullptr, nullptr, nullptr));
    }
};

}  // namespace ZelTest
