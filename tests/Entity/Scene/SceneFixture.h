// The scene's drawing side on the software device: Globals with its buffer manager bound, the
// default effect loaded as a real program, and helpers that make materials of given passes, meshes
// of given render groups and entities holding pieces of them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Scene/SubEntity.h"
#include "Render/HardwareBufferManager.h"
#include "tests/Entity/Geometry/GeometryFixture.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace ZelTest {

// How one pass of a test material draws.
struct PassSpec {
    bool blends = false;
    std::uint32_t cull = Zel::CULL_CLOCKWISE;
};

class SceneTest : public ProgramDeviceTest {
protected:
    void SetUp() override {
        ProgramDeviceTest::SetUp();
        G()->GetHardwareBufferManager()->SetRenderDevice(&Device());
        Scene().SetDX7Mode(false);
        program_ = Programs().GetDefaultProgram();
        ASSERT_NE(program_, nullptr);
        ASSERT_TRUE(program_->IsLoadSucceeded());
    }
    void TearDown() override {
        // Pieces hold references to the test's materials: they go first. The shadows hold
        // targets and buffers of the device, which goes before Globals.
        Scene().GetRenderQueue()->ClearAll();
        Zel::Shadow::Shutdown();
        Scene().ReleaseAllEntities();
        meshes_.clear();
        materials_.clear();
        ProgramDeviceTest::TearDown();
    }

    Zel::SceneManager& Scene() { return *G()->GetSceneManager(); }
    Zel::RenderQueue& Queue() { return *Scene().GetRenderQueue(); }

    // A material of the passes, on the real default program unless ready is false.
    Zel::Material& MakeMaterial(const std::vector<PassSpec>& passes, bool ready = true) {
        auto material = std::make_unique<Zel::Material>(
            nullptr, "m" + std::to_string(materials_.size()), "Material", 0);
        for (std::uint32_t i = 0; i < passes.size(); ++i) {
            Zel::Pass* pass = material->CreatePass(i);
            if (passes[i].blends)
                pass->renderState.flags |= Zel::RSF_ALPHA_BLEND;
            pass->renderState.cullMode = passes[i].cull;
        }
        if (ready)
            material->SetProgram(program_);
        materials_.push_back(std::move(material));
        return *materials_.back();
    }

    // A one-triangle mesh at x: its first render group draws the three indices; each entry of
    // levels adds a further group of one entry drawing that many indices from index 0.
    Zel::Mesh& MakeMesh(float x = 0.0f, std::vector<std::uint32_t> levels = {}) {
        auto mesh = std::make_unique<Zel::Mesh>(nullptr, true, true);
        GeometryTest::FillMesh(*mesh, {x, 0, 0, x + 1, 0, 0, x, 1, 0}, {0, 1, 2});
        for (std::uint32_t count : levels) {
            auto group = std::make_unique<Zel::LodStripArray>();
            group->entries.push_back({Zel::PT_TRIANGLE_LIST, count, count, 0, 0});
            mesh->AddRenderGroup(std::move(group));
        }
        meshes_.push_back(std::move(mesh));
        return *meshes_.back();
    }

    // An entity (registered, visible) holding one piece per mesh, all of the material.
    Zel::Entity& MakeEntity(const std::vector<Zel::Mesh*>& meshes, Zel::Material* material) {
        Zel::Entity* entity = Scene().CreateEntity();
        EXPECT_NE(entity, nullptr);
        for (Zel::Mesh* mesh : meshes) AddPiece(*entity, *mesh, material);
        return *entity;
    }

    Zel::SubEntity& AddPiece(Zel::Entity& entity, Zel::Mesh& mesh, Zel::Material* material) {
        Zel::SubEntity* piece = G()->GetSubEntityFactory()->Acquire();
        piece->SetOwner(&entity);
        piece->SetMesh(&mesh);
        piece->SetMaterial(material);
        entity.AppendSubEntity(piece);
        return *piece;
    }

    Zel::GpuProgram* program_ = nullptr;
    std::vector<std::unique_ptr<Zel::Mesh>> meshes_;
    std::vector<std::unique_ptr<Zel::Material>> materials_;
};

}  // namespace ZelTest
