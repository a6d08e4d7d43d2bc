// Direct3D 9 buffers, declarations and occlusion queries made through the graphics-API manager.
#include <cstring>
#include <memory>
#include <vector>

#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/VertexBufferBinding.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/HardwareIndexBufferD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "Render/d3d9/OcclusionQueryD3D9.h"
#include "Render/d3d9/VertexBufferDeclarationD3D9.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;
using ZelTest::DeviceTest;

class HardwareBufferD3D9Test : public DeviceTest {
protected:
    // A plain device unless told otherwise, so that the managed pool exists.
    void Make(bool ex = false) {
        Config().SetValue(62, ex ? 1 : 0);
        ASSERT_TRUE(Init(Settings()));
    }
    std::unique_ptr<HardwareVertexBufferD3D9> Vertex(std::uint32_t size, std::uint32_t usage,
                                                     bool systemMemory, std::uint32_t pool) {
        return std::unique_ptr<HardwareVertexBufferD3D9>(static_cast<HardwareVertexBufferD3D9*>(
            api_.NewVertexBuffer(nullptr, size, usage, systemMemory, false, pool, &Device())));
    }
    static D3DVERTEXBUFFER_DESC Desc(const HardwareVertexBufferD3D9& buffer) {
        D3DVERTEXBUFFER_DESC desc{};
        buffer.GetD3DBuffer()->GetDesc(&desc);
        return desc;
    }

    GraphicsAPIManagerD3D9 api_;
};

TEST_F(HardwareBufferD3D9Test, PoolIsChosenFromPreferenceUsageAndSystemMemory) {
    Make();
    struct Case {
        std::uint32_t preference, usage;
        bool systemMemory;
        std::uint32_t pool;
        D3DPOOL d3dPool;
        DWORD d3dUsage;
    };
    const Case cases[] = {
        {MP_MANAGED, BU_WRITE_ONLY, false, MP_MANAGED, D3DPOOL_MANAGED, D3DUSAGE_WRITEONLY},
        {MP_MANAGED, BU_WRITE_ONLY, true, MP_SYSTEM_MEMORY, D3DPOOL_SYSTEMMEM, D3DUSAGE_WRITEONLY},
        {MP_MANAGED, BU_DYNAMIC | BU_WRITE_ONLY, false, MP_DEFAULT, D3DPOOL_DEFAULT, 0x208},
        {MP_MANAGED, BU_DYNAMIC, true, MP_SYSTEM_MEMORY, D3DPOOL_SYSTEMMEM, D3DUSAGE_DYNAMIC},
        {MP_MANAGED, BU_NOT_MANAGED, false, MP_DEFAULT, D3DPOOL_DEFAULT, 0},
        {MP_DEFAULT, 0, false, MP_DEFAULT, D3DPOOL_DEFAULT, 0},
        {MP_DEFAULT, 0, true, MP_SYSTEM_MEMORY, D3DPOOL_SYSTEMMEM, 0},
        {MP_SYSTEM_MEMORY, 0, false, MP_DEFAULT, D3DPOOL_DEFAULT, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.preference << "/" << c.usage << "/" << c.systemMemory);
        auto buffer = Vertex(256, c.usage, c.systemMemory, c.preference);
        ASSERT_NE(buffer->GetD3DBuffer(), nullptr);
        EXPECT_EQ(buffer->GetPoolCode(), c.pool);
        EXPECT_EQ(buffer->IsDefaultPool(), c.pool == MP_DEFAULT);
        EXPECT_EQ(Desc(*buffer).Pool, c.d3dPool);
        EXPECT_EQ(Desc(*buffer).Usage, c.d3dUsage);
        EXPECT_EQ(Desc(*buffer).Size, 256u);
    }
}

TEST_F(HardwareBufferD3D9Test, ManagedBuffersOfAnExDeviceLiveInTheDefaultPool) {
    Make(true);
    auto buffer = Vertex(64, 0, false, MP_MANAGED);
    ASSERT_NE(buffer->GetD3DBuffer(), nullptr);
    EXPECT_EQ(buffer->GetPoolCode(), MP_MANAGED);
    EXPECT_FALSE(buffer->IsDefaultPool());
    EXPECT_EQ(Desc(*buffer).Pool, D3DPOOL_DEFAULT);
}

TEST_F(HardwareBufferD3D9Test, DefaultPoolBuffersAreReleasedForAResetAndMadeAgain) {
    Make();
    auto dynamic = Vertex(128, BU_DYNAMIC, false, MP_MANAGED);
    auto managed = Vertex(128, 0, false, MP_MANAGED);
    std::unique_ptr<HardwareIndexBuffer> indices(
        api_.NewIndexBuffer(nullptr, 30, IS_16BIT, 0, false, false, MP_DEFAULT, &Device()));
    std::vector<RenderResource*> resources{dynamic.get(), managed.get(), indices.get()};
    dynamic->Lock(0, 16, LO_DISCARD);
    dynamic->Unlock();
    ASSERT_EQ(dynamic->GetLockLength(), 16u);

    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    for (RenderResource* r : resources)
        if (r->IsDefaultPool())
            r->OnDeviceLost();
    EXPECT_EQ(dynamic->GetD3DBuffer(), nullptr);
    EXPECT_EQ(dynamic->GetRefillFlag(), 1u);
    EXPECT_NE(managed->GetD3DBuffer(), nullptr);
    // Nothing of the default pool is left, so the plain device's reset goes through.
    ASSERT_TRUE(Device().ResetDevice(Settings()));
    for (RenderResource* r : resources)
        if (r->IsDefaultPool())
            r->OnDeviceReset();
    ASSERT_NE(dynamic->GetD3DBuffer(), nullptr);
    EXPECT_EQ(dynamic->GetLockLength(), 0u);
    EXPECT_EQ(Desc(*dynamic).Usage, static_cast<DWORD>(D3DUSAGE_DYNAMIC));
    EXPECT_NE(static_cast<HardwareIndexBufferD3D9*>(indices.get())->GetD3DBuffer(), nullptr);
    // A lock without a Direct3D buffer answers null and reports it.
    dynamic->OnDeviceLost();
    EXPECT_EQ(dynamic->Lock(0, 4, LO_NORMAL), nullptr);
    EXPECT_FALSE(dynamic->IsLocked());
    EXPECT_NE(LogText().find("HardwareVertexBufferD3D9::LockImpl m_pD3DVertexBuffer为空"),
              std::string::npos);
}

TEST_F(HardwareBufferD3D9Test, DataRoundTripsAndRemainingRangeLocks) {
    Make();
    // Write-only: the read-only lock turns into a plain one, and the data still comes back.
    auto buffer = Vertex(64, BU_WRITE_ONLY, false, MP_MANAGED);
    std::uint8_t bytes[64];
    for (int i = 0; i < 64; ++i) bytes[i] = static_cast<std::uint8_t>(i * 3);
    buffer->WriteData(0, 64, bytes, true);
    std::uint8_t back[16] = {};
    buffer->ReadData(8, 16, back);
    EXPECT_EQ(std::memcmp(back, bytes + 8, 16), 0);

    buffer->SetLockStart(40);
    EXPECT_EQ(buffer->GetRemainingSize(), 24u);
    EXPECT_EQ(buffer->LockRemaining(25, LO_NORMAL), nullptr);
    EXPECT_FALSE(buffer->IsLocked());
    void* data = buffer->LockAllRemaining(LO_NORMAL);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(static_cast<std::uint8_t*>(data)[0], bytes[40]);
    EXPECT_EQ(buffer->GetLockLength(), 24u);
    buffer->Unlock();
    buffer->SetLockStart(100);
    EXPECT_EQ(buffer->GetRemainingSize(), 0u);

    // A lock outside the buffer is refused before the device buffer is asked: one logged line,
    // no Direct3D error, and the device buffer is left unlocked.
    EXPECT_EQ(buffer->Lock(60, 8, LO_NORMAL), nullptr);
    const std::string log = LogText();
    EXPECT_NE(log.find("HardwareBuffer::Lock offset=60 length=8 size=64"), std::string::npos);
    EXPECT_EQ(log.find("D3DVertexBuffer->Lock"), std::string::npos) << log;
    EXPECT_FALSE(buffer->IsLocked());
    ASSERT_NE(buffer->Lock(56, 8, LO_NORMAL), nullptr);
    buffer->Unlock();
}

TEST_F(HardwareBufferD3D9Test, IndexBuffersTakeTheirIndexFormat) {
    Make();
    for (std::uint32_t kind : {IS_16BIT, IS_32BIT}) {
        std::unique_ptr<HardwareIndexBuffer> buffer(api_.NewIndexBuffer(
            nullptr, 300, kind, BU_WRITE_ONLY, false, false, MP_MANAGED, &Device()));
        auto* d3d9 = static_cast<HardwareIndexBufferD3D9*>(buffer.get());
        ASSERT_NE(d3d9->GetD3DBuffer(), nullptr);
        D3DINDEXBUFFER_DESC desc{};
        d3d9->GetD3DBuffer()->GetDesc(&desc);
        EXPECT_EQ(desc.Format, kind == IS_16BIT ? D3DFMT_INDEX16 : D3DFMT_INDEX32);
        EXPECT_EQ(desc.Size, kind == IS_16BIT ? 600u : 1200u);
        EXPECT_EQ(buffer->GetSizeInBytes(), desc.Size);
    }
}

TEST_F(HardwareBufferD3D9Test, CreationFailureLeavesNoBufferAndIsLogged) {
    Make();
    SoftAdapter::Current().textureMemoryBytes = 1u << 20;  // nothing larger fits
    auto buffer = Vertex(4u << 20, 0, false, MP_MANAGED);
    EXPECT_EQ(buffer->GetD3DBuffer(), nullptr);
    EXPECT_NE(LogText().find("CreateVertexBuffer D3D ERROR:D3DERR_OUTOFVIDEOMEMORY,"
                             "创建顶点缓冲失败 VertexBufferLen=4194304"),
              std::string::npos);
    // Without a device there is nothing to make it on.
    std::unique_ptr<HardwareVertexBuffer> orphan(
        api_.NewVertexBuffer(nullptr, 16, 0, false, false, MP_MANAGED, nullptr));
    EXPECT_EQ(static_cast<HardwareVertexBufferD3D9*>(orphan.get())->GetD3DBuffer(), nullptr);
}

TEST_F(HardwareBufferD3D9Test, DeclarationsForVertexMasks) {
    Make();
    struct Element {
        std::uint32_t semantic, type;
    };
    struct Case {
        const char* name;
        std::vector<Element> stream0;
        std::vector<Element> stream1;
        std::vector<D3DVERTEXELEMENT9> expected;
    };
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    const Case cases[] = {
        {"position, texcoord0",
         {{VF_POSITION, VET_FLOAT3}, {VF_TEXCOORD0, VET_FLOAT2}},
         {},
         {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
          {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
          end}},
        {"packed colours",
         {{VF_POSITION, VET_FLOAT3},
          {VF_NORMAL, VET_FLOAT3},
          {VF_DIFFUSE, VET_COLOUR},
          {VF_SPECULAR, VET_COLOUR},
          {VF_TEXCOORD0, VET_FLOAT2},
          {VF_TEXCOORD3, VET_FLOAT2}},
         {},
         {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
          {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
          {0, 24, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
          {0, 28, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 1},
          {0, 32, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
          {0, 40, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 3},
          end}},
        {"float colours, tangent frame, second stream",
         {{VF_POSITION, VET_FLOAT3},
          {VF_COLOUR, VET_FLOAT4},
          {VF_BINORMAL, VET_FLOAT3},
          {VF_TANGENT, VET_FLOAT3}},
         {{VF_BLEND_WEIGHTS, VET_FLOAT4}, {VF_BLEND_INDICES, VET_UBYTE4}},
         {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
          {0, 12, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_COLOR, 0},
          {0, 28, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_BINORMAL, 0},
          {0, 40, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
          {1, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_BLENDWEIGHT, 0},
          {1, 16, D3DDECLTYPE_UBYTE4, 0, D3DDECLUSAGE_BLENDINDICES, 0},
          end}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<VertexBufferDeclaration> made(
            api_.NewVertexDeclaration(nullptr, &Device()));
        auto& declaration = static_cast<VertexBufferDeclarationD3D9&>(*made);
        // Stream 1 first: the elements still come out in stream order.
        for (const Element& e : c.stream1) declaration.AddElement(1, e.semantic, e.type);
        for (const Element& e : c.stream0) declaration.AddElement(0, e.semantic, e.type);
        EXPECT_TRUE(declaration.IsDirty());
        declaration.Build();
        EXPECT_FALSE(declaration.IsDirty());
        ASSERT_NE(declaration.GetD3DDeclaration(), nullptr);
        UINT count = 0;
        declaration.GetD3DDeclaration()->GetDeclaration(nullptr, &count);
        std::vector<D3DVERTEXELEMENT9> elements(count);
        declaration.GetD3DDeclaration()->GetDeclaration(elements.data(), &count);
        ASSERT_EQ(elements.size(), c.expected.size());
        for (std::size_t i = 0; i < elements.size(); ++i)
            EXPECT_EQ(std::memcmp(&elements[i], &c.expected[i], sizeof(D3DVERTEXELEMENT9)), 0)
                << "element " << i;
        // Built once: another Build without a change keeps the same declaration.
        IDirect3DVertexDeclaration9* first = declaration.GetD3DDeclaration();
        declaration.Build();
        EXPECT_EQ(declaration.GetD3DDeclaration(), first);
        Device().SetVertexDeclaration(&declaration);
        IDirect3DVertexDeclaration9* bound = nullptr;
        Device().GetD3DDevice()->GetVertexDeclaration(&bound);
        EXPECT_EQ(bound, first);
        bound->Release();
        Device().SetVertexDeclaration(nullptr);
    }
}

TEST_F(HardwareBufferD3D9Test, DeclarationsWaitWhileTheDeviceIsLostAndReportFailures) {
    Make();
    std::unique_ptr<VertexBufferDeclaration> made(api_.NewVertexDeclaration(nullptr, &Device()));
    auto& declaration = static_cast<VertexBufferDeclarationD3D9&>(*made);
    declaration.AddElement(0, VF_POSITION, VET_FLOAT3);
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICELOST);
    declaration.Build();
    EXPECT_TRUE(declaration.IsDirty());
    EXPECT_EQ(declaration.GetD3DDeclaration(), nullptr);
    Soft()->SetCooperativeLevelResult(D3D_OK);
    // Two position elements with the same usage index: the device refuses the declaration.
    declaration.AddElement(0, VF_POSITION, VET_FLOAT3);
    declaration.Build();
    EXPECT_EQ(declaration.GetD3DDeclaration(), nullptr);
    EXPECT_NE(LogText().find("CreateVertexDeclaration D3D ERROR:D3DERR_INVALIDCALL"),
              std::string::npos);
}

TEST_F(HardwareBufferD3D9Test, OcclusionQueryStates) {
    Make();
    OcclusionQueryD3D9 query(&Device());
    EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_IDLE);
    Soft()->SetQueryPendingPolls(1);
    query.Begin();
    EXPECT_TRUE(query.HasD3DQuery());
    EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_BEGUN);
    query.End();
    EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_PENDING);
    DWORD samples = 1234;
    EXPECT_FALSE(query.GetResult(&samples, sizeof samples));
    EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_PENDING);
    EXPECT_TRUE(query.GetResult(&samples, sizeof samples));
    EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_IDLE);
    EXPECT_EQ(samples, 0u);  // nothing was drawn
}

TEST_F(HardwareBufferD3D9Test, OcclusionQueryWithoutSupportAnswersVisible) {
    SoftAdapter::Current().occlusionQueries = false;
    Make();
    for (RenderDevice* device :
         {static_cast<RenderDevice*>(&Device()), static_cast<RenderDevice*>(nullptr)}) {
        OcclusionQueryD3D9 query(device);
        query.Begin();
        query.End();
        EXPECT_FALSE(query.HasD3DQuery());
        EXPECT_EQ(query.GetState(), OcclusionQueryD3D9::STATE_IDLE);
        DWORD samples = 0;
        EXPECT_TRUE(query.GetResult(&samples, sizeof samples));
        EXPECT_EQ(samples, 0xFFFFFFFFu);
        std::uint16_t small = 7;
        EXPECT_TRUE(query.GetResult(&small, sizeof small));
        EXPECT_EQ(small, 7u);
    }
}

}  // namespace
