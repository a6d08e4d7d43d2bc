// Globals with its buffer manager on a software device, the scene on the shader path, and helpers
// that make vertex data and meshes and read their device buffers back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/RenderResourceRegistry.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace ZelTest {

class GeometryTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        G()->Init();
        ASSERT_TRUE(Init(Settings()));
        Buffers().SetRenderDevice(&Device());
        Scene().SetDX7Mode(false);
    }
    void TearDown() override {
        G()->Shutdown();
        DeviceTest::TearDown();
    }

    Zel::HardwareBufferManager& Buffers() { return *G()->GetHardwareBufferManager(); }
    Zel::SceneManager& Scene() { return *G()->GetSceneManager(); }

    // Loses the device, resets it and tells every manager, one frame later.
    void LoseAndResetDevice() {
        Scene().AdvanceFrame();
        G()->GetRenderResourceRegistry()->NotifyDeviceLost();
        ASSERT_TRUE(Device().ResetDevice(Settings()));
        Scene().AdvanceFrame();
        G()->GetRenderResourceRegistry()->NotifyDeviceReset();
    }

public:
    // Adds a component holding the given values (floats or words, 4 bytes each).
    template <class T>
    static Zel::VertexComponentDataPool* Add(Zel::VertexData& data, std::uint32_t semantic,
                                             std::uint32_t type, const std::vector<T>& values) {
        static_assert(sizeof(T) == 4);
        Zel::VertexComponentDataPool* c = data.AddComponent(
            semantic, type,
            static_cast<std::uint32_t>(values.size() * 4 / Zel::VertexElementSize(type)));
        if (c)
            std::memcpy(c->GetData(), values.data(), c->GetDataSize());
        return c;
    }

    template <class T>
    static std::vector<T> ReadBack(Zel::HardwareBuffer& buffer, std::uint32_t offset,
                                   std::uint32_t count) {
        std::vector<T> out(count);
        buffer.ReadData(offset, count * sizeof(T), out.data());
        return out;
    }

    // The index buffer's indexes as 32-bit values.
    static std::vector<std::uint32_t> Indexes(const Zel::HardwareIndexBuffer& constBuffer) {
        auto& buffer = const_cast<Zel::HardwareIndexBuffer&>(constBuffer);
        std::vector<std::uint32_t> out;
        if (buffer.Is32Bit())
            return ReadBack<std::uint32_t>(buffer, 0, buffer.GetIndexCount());
        for (std::uint16_t i : ReadBack<std::uint16_t>(buffer, 0, buffer.GetIndexCount()))
            out.push_back(i);
        return out;
    }

    // A mesh with its own data: positions (3 floats each), optional texture coordinates, the
    // indexes in a 32-bit index buffer and one group of one triangle-list entry over all of them.
    static void FillMesh(Zel::Mesh& mesh, const std::vector<float>& positions,
                         const std::vector<std::uint32_t>& indices,
                         const std::vector<float>& uv = {}) {
        Zel::VertexData& data = *mesh.GetVertexData();
        data.SetVertexCount(static_cast<std::uint32_t>(positions.size() / 3));
        Add(data, Zel::VF_POSITION, Zel::VET_FLOAT3, positions);
        if (!uv.empty())
            Add(data, Zel::VF_TEXCOORD0, Zel::VET_FLOAT2, uv);
        Zel::IndexData& index = *mesh.GetIndexData();
        index.AllocateIndices(static_cast<std::uint32_t>(indices.size()));
        std::copy(indices.begin(), indices.end(), index.GetIndices());
        ASSERT_TRUE(index.CreateBuffer(Zel::IS_32BIT, Zel::BU_STATIC));
        auto group = std::make_unique<Zel::LodStripArray>();
        const auto count = static_cast<std::uint32_t>(indices.size());
        group->entries.push_back({Zel::PT_TRIANGLE_LIST, count, count, 0, 0});
        mesh.AddRenderGroup(std::move(group));
    }
};

}  // namespace ZelTest
