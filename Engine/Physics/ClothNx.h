// A cloth over one SDK cloth: built from a grid or from a mesh, cooked in memory, simulated in
// world space. The SDK writes positions, normals and indices into the receive buffers after
// every step.
#pragma once

#include <cstdint>
#include <vector>

#include "Physics/PhxCloth.h"
#include "Platform/Physics/NxPhysics.h"

namespace Zel {

class SceneNx;

class ClothNx : public PhxCloth {
public:
    explicit ClothNx(SceneNx* scene);
    ~ClothNx() override;

    void SetPosition(const float* position) override;
    void ResetVelocity() override;
    void SetPose(const float*) override {}
    void SetMass(float) override {}
    void SetKinematic(bool) override {}
    void SetGravityEnabled(bool enable) override;
    void SetGroup(std::int32_t group) override;
    void DebugDraw() override;
    void SetSleeping(bool sleeping) override;
    bool IsSleeping() const override;

    void AttachVertexToGlobalPosition(std::int32_t vertex, const float* position) override;
    void AddForceAtVertex(const float* force, std::int32_t vertex) override;
    void SetThickness(float value) override;
    void SetDensity(float value) override;
    void SetBendingStiffness(float value) override;
    void SetStretchingStiffness(float value) override;
    void SetDampingCoefficient(float value) override;
    void SetFriction(float value) override;
    void* GetVertexBuffer() override { return vertices_.data(); }
    std::uint32_t* GetIndexBuffer() override { return indices_.data(); }
    std::int32_t GetVertexStride() const override { return 32; }
    std::int32_t GetIndexStride() const override { return 4; }
    bool CreateFromMesh(const PhxClothSource* source, float unused, const float* pose) override;
    bool CreateGrid(float width, float height, float cellSize, const float* pose,
                    bool tearLines) override;

    // How many vertices and indices of the receive buffers the last step wrote.
    std::uint32_t GetReceivedVertexCount() const { return receivedVertices_; }
    std::uint32_t GetReceivedIndexCount() const { return receivedIndices_; }
    std::uint32_t GetReceivedParentIndexCount() const { return receivedParents_; }
    Nx::NxCloth* GetNxCloth() const { return cloth_; }

    // The grid's vertex flags as cooked: 128 on the tear lines (empty without tear lines).
    const std::vector<std::uint32_t>& GetTearFlags() const { return tearFlags_; }

private:
    bool CreateCloth(Nx::NxClothMeshDesc& meshDesc, Nx::NxClothDesc& clothDesc);
    bool CookClothMesh(const Nx::NxClothMeshDesc& meshDesc);

    SceneNx* sceneNx_;
    Nx::NxCloth* cloth_ = nullptr;
    Nx::NxClothMesh* mesh_ = nullptr;
    std::vector<float> vertices_;  // 8 floats a record: position, normal, two unused
    std::vector<std::uint32_t> indices_;
    std::vector<std::uint32_t> parents_;
    std::uint32_t receivedVertices_ = 0;
    std::uint32_t receivedIndices_ = 0;
    std::uint32_t receivedParents_ = 0;
    std::vector<std::uint32_t> tearFlags_;
};

// Frees the scratch that mesh cloth is transformed into (physics shutdown).
void FreeCookScratch();

}  // namespace Zel
