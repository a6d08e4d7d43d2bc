// A physics cloth for tests of the cloth mesh: its particles stand where the test puts them and
// it records the pins and rest requests it is given; and a physics scene that makes no bodies,
// for it to belong to.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "Physics/PhxCloth.h"
#include "Physics/PhxScene.h"

namespace ZelTest {

class NoBodiesScene : public Zel::PhxScene {
public:
    Zel::PhxEntity* CreateEntity(const Zel::PhxBodyDesc*) override { return nullptr; }
};

// A physics cloth whose particles the test places: particle p stands at (100 + p, 200, 300) with
// the normal (0, 1, 0). It has been read back from a step unless told otherwise.
class StandInCloth : public Zel::PhxCloth {
public:
    StandInCloth(Zel::PhxScene* scene, std::int32_t particles) : Zel::PhxCloth(scene) {
        vertexCount_ = particles;
        buffer.assign(std::size_t(particles) * 8, 0.0f);
        for (std::int32_t p = 0; p < particles; ++p) {
            float* r = &buffer[std::size_t(p) * 8];
            r[0] = 100.0f + float(p), r[1] = 200.0f, r[2] = 300.0f;
            r[4] = 1.0f;
        }
        SetSyncPending(false);
    }
    void AttachVertexToGlobalPosition(std::int32_t vertex, const float* position) override {
        pins.push_back({vertex, {position[0], position[1], position[2]}});
    }
    void SetSleeping(bool sleeping) override { sleepRequests.push_back(sleeping); }
    void AddForceAtVertex(const float*, std::int32_t) override {}
    void SetThickness(float) override {}
    void SetDensity(float) override {}
    void SetBendingStiffness(float) override {}
    void SetStretchingStiffness(float) override {}
    void SetDampingCoefficient(float) override {}
    void SetFriction(float) override {}
    void* GetVertexBuffer() override { return buffer.data(); }
    std::uint32_t* GetIndexBuffer() override { return nullptr; }
    std::int32_t GetVertexStride() const override { return 32; }
    std::int32_t GetIndexStride() const override { return 4; }
    bool CreateFromMesh(const Zel::PhxClothSource*, float, const float*) override { return false; }
    bool CreateGrid(float, float, float, const float*, bool) override { return false; }

    std::vector<float> buffer;
    std::vector<std::pair<std::int32_t, std::array<float, 3>>> pins;
    std::vector<bool> sleepRequests;
};

}  // namespace ZelTest
