// The buffer manager on a software device: totals and listeners, shared stream buffers and the
// purge, declarations per vertex-format mask, and a device loss and reset through the registry.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Core/IResList_Impl.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/RenderCore/IHardwareIndexBufferMngProxy_Impl.h"
#include "Render/RenderCore/IHardwareVertexBufferMngProxy_Impl.h"
#include "Render/RenderSystem.h"
#include "Render/VertexBufferBinding.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/HardwareIndexBufferD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "Render/d3d9/VertexBufferDeclarationD3D9.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;

struct Heard {
    int kind;
    void* buffer;
    std::uint32_t thread;
};
std::vector<Heard>& Events() {
    static std::vector<Heard> events;
    return events;
}
template <int Kind>
void Listen(void* buffer, std::uint32_t thread) {
    Events().push_back({Kind, buffer, thread});
}

class HardwareBufferManagerTest : public ZelTest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Events().clear();
        ASSERT_TRUE(Init(Settings()));
        manager_ = std::make_unique<HardwareBufferManager>(&api_, &Device());
    }
    void TearDown() override {
        manager_.reset();
        DeviceTest::TearDown();
    }

    GraphicsAPIManagerD3D9 api_;
    std::unique_ptr<HardwareBufferManager> manager_;
};

TEST_F(HardwareBufferManagerTest, TotalsAndListenersFollowCreationAndDestruction) {
    HardwareBufferManager& m = *manager_;
    EXPECT_EQ(m.AddListener(HardwareBufferManager::VERTEX_CREATED,
                            &Listen<HardwareBufferManager::VERTEX_CREATED>),
              0u);
    EXPECT_EQ(m.AddListener(HardwareBufferManager::VERTEX_RELEASED, &Listen<99>), 0u);
    EXPECT_EQ(m.AddListener(HardwareBufferManager::VERTEX_RELEASED,
                            &Listen<HardwareBufferManager::VERTEX_RELEASED>),
              1u);
    m.RemoveListener(HardwareBufferManager::VERTEX_RELEASED, 0);
    m.RemoveListener(HardwareBufferManager::VERTEX_RELEASED, 7);  // past the end: nothing
    m.AddListener(HardwareBufferManager::INDEX_RELEASED,
                  &Listen<HardwareBufferManager::INDEX_RELEASED>);

    HardwareVertexBuffer* first = m.CreateVertexBuffer(1000, BU_STATIC, false, false);
    HardwareVertexBuffer* second = m.CreateVertexBuffer(500, BU_DYNAMIC, false, false);
    HardwareIndexBuffer* indices = m.CreateIndexBuffer(IS_32BIT, 100, BU_DYNAMIC, false, false);
    ASSERT_TRUE(first && second && indices);
    EXPECT_EQ(first->GetPoolCode(), static_cast<std::uint32_t>(MP_DEFAULT));
    EXPECT_EQ(first->GetManager(), &m);
    EXPECT_EQ(m.GetVertexBytes(), 1500u);
    EXPECT_EQ(m.GetDynamicVertexBytes(), 500u);
    EXPECT_EQ(m.GetIndexBytes(), 400u);
    EXPECT_EQ(m.GetDynamicIndexBytes(), 400u);

    // A buffer the manager does not hold: nothing changes, nobody is told.
    HardwareVertexBuffer* foreign =
        api_.NewVertexBuffer(nullptr, 64, 0, false, false, MP_DEFAULT, &Device());
    m.DestroyVertexBuffer(foreign);
    m.DestroyVertexBuffer(nullptr);
    delete foreign;
    EXPECT_EQ(Events().size(), 2u);

    second->AddRef();
    IResList_Impl* list = m.BuildVertexResourceList();
    ASSERT_EQ(list->GetCount(), 2u);
    EXPECT_STREQ(list->GetAt(1)->GetName(), "");
    EXPECT_EQ(list->GetAt(0)->GetSize(), 1000u);
    EXPECT_EQ(list->GetAt(1)->GetRefCount(), 2);
    second->DecRef();
    EXPECT_EQ(m.BuildIndexResourceList()->GetAt(0)->GetSize(), 400u);

    m.DestroyVertexBuffer(first);
    EXPECT_EQ(m.GetVertexBytes(), 500u);
    EXPECT_EQ(m.BuildVertexResourceList()->GetCount(), 1u);
    EXPECT_EQ(m.GetDynamicVertexBytes(), 500u);
    EXPECT_FALSE(m.ContainsVertexBuffer(first));
    indices->Destroy();
    EXPECT_EQ(m.GetIndexBytes(), 0u);
    EXPECT_EQ(m.GetDynamicIndexBytes(), 0u);

    ASSERT_EQ(Events().size(), 4u);
    const std::uint32_t thread = static_cast<std::uint32_t>(GetCurrentThreadId());
    const Heard expected[] = {{HardwareBufferManager::VERTEX_CREATED, first, thread},
                              {HardwareBufferManager::VERTEX_CREATED, second, thread},
                              {HardwareBufferManager::VERTEX_RELEASED, first, thread},
                              {HardwareBufferManager::INDEX_RELEASED, indices, thread}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Events()[i].kind, expected[i].kind) << i;
        EXPECT_EQ(Events()[i].buffer, expected[i].buffer) << i;
        EXPECT_EQ(Events()[i].thread, expected[i].thread) << i;
    }
}

TEST_F(HardwareBufferManagerTest, StreamBuffersAreSharedAndReusedAfterThePurge) {
    HardwareBufferManager& m = *manager_;
    HardwareVertexBuffer* a = m.GetStreamBuffer(100, BU_DYNAMIC);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetSizeInBytes(), 16384u);
    EXPECT_EQ(a->GetUsage(), static_cast<std::uint32_t>(BU_DYNAMIC));
    ASSERT_NE(a->LockAppend(100, LO_NO_OVERWRITE), nullptr);
    a->Unlock();
    EXPECT_EQ(m.GetStreamBuffer(16000, BU_DYNAMIC), a);  // 16284 bytes are free
    HardwareVertexBuffer* b = m.GetStreamBuffer(16300, BU_DYNAMIC);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(b, a);
    HardwareVertexBuffer* big = m.GetStreamBuffer(20000, BU_DYNAMIC | BU_WRITE_ONLY);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->GetSizeInBytes(), 20000u);

    // b is still held by someone else: only a and big go.
    b->AddRef();
    m.AddListener(HardwareBufferManager::VERTEX_RELEASED,
                  &Listen<HardwareBufferManager::VERTEX_RELEASED>);
    m.PurgeUnused();
    EXPECT_EQ(Events().size(), 2u);
    EXPECT_EQ(m.GetVertexBuffers().size(), 1u);
    EXPECT_EQ(m.GetVertexBytes(), 16384u);
    const auto& dynamic = m.GetStreamBuffers().at(BU_DYNAMIC);
    ASSERT_EQ(dynamic.size(), 2u);
    EXPECT_EQ(dynamic[0], nullptr);
    EXPECT_EQ(dynamic[1], b);
    ASSERT_EQ(m.GetStreamBuffers().at(BU_DYNAMIC | BU_WRITE_ONLY).size(), 1u);

    // b has no room for this; the new buffer takes the first empty entry.
    HardwareVertexBuffer* c = m.GetStreamBuffer(16385, BU_DYNAMIC);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c, b);
    EXPECT_EQ(m.GetStreamBuffers().at(BU_DYNAMIC)[0], c);
    EXPECT_EQ(m.GetStreamBuffers().at(BU_DYNAMIC).size(), 2u);
    b->DecRef();
}

TEST_F(HardwareBufferManagerTest, DeclarationPerMaskHoldsItsElementsInTheFixedOrder) {
    HardwareBufferManager& m = *manager_;
    VertexBufferDeclaration* declaration = m.GetVertexDeclaration(VF_POSITION | VF_TEXCOORD0);
    ASSERT_NE(declaration, nullptr);
    EXPECT_EQ(m.GetVertexDeclaration(0x11), declaration);
    const VertexBufferStream* stream = declaration->GetStream(0);
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->GetElements().size(), 2u);
    EXPECT_EQ(stream->GetElements()[0].semantic, static_cast<std::uint32_t>(VF_POSITION));
    EXPECT_EQ(stream->GetElements()[1].semantic, static_cast<std::uint32_t>(VF_TEXCOORD0));
    EXPECT_EQ(stream->GetFormatMask(), 0x11u);
    EXPECT_EQ(declaration->GetNextFreeIndex(), 1u);

    auto& d3d9 = static_cast<VertexBufferDeclarationD3D9&>(*declaration);
    const std::vector<D3DVERTEXELEMENT9> elements = d3d9.BuildElements();
    const D3DVERTEXELEMENT9 expected[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
        {0xFF, 0, 17, 0, 0, 0},
    };
    ASSERT_EQ(elements.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&elements[i], &expected[i], sizeof expected[i]), 0) << i;
    d3d9.Build();
    EXPECT_NE(d3d9.GetD3DDeclaration(), nullptr);

    // Every element of a full mask, blend weights and indices left out.
    VertexBufferDeclaration* full = m.GetVertexDeclaration(0x3FFFF);
    const auto& all = full->GetStream(0)->GetElements();
    const std::uint32_t order[] = {VF_POSITION,  VF_NORMAL,    VF_DIFFUSE,   VF_SPECULAR,
                                   VF_COLOUR,    VF_COLOUR2,   VF_TEXCOORD0, VF_TEXCOORD1,
                                   VF_TEXCOORD2, VF_TEXCOORD3, VF_TEXCOORD4, VF_TEXCOORD5,
                                   VF_TEXCOORD6, VF_TEXCOORD7, VF_BINORMAL,  VF_TANGENT};
    ASSERT_EQ(all.size(), std::size(order));
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].semantic, order[i]) << i;

    // Destroying drops the cache entry: the next request makes a new one.
    m.DestroyVertexDeclaration(declaration);
    VertexBufferDeclaration* again = m.GetVertexDeclaration(0x11);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetStream(0)->GetElements().size(), 2u);
}

TEST_F(HardwareBufferManagerTest, StreamsAreReplacedOnlyWhenAsked) {
    VertexBufferDeclaration* declaration = manager_->CreateVertexDeclaration();
    ASSERT_NE(declaration, nullptr);
    VertexBufferStream first;
    first.AddElement(VF_POSITION, VET_FLOAT3);
    VertexBufferStream second;
    second.AddElement(VF_NORMAL, VET_FLOAT3);
    EXPECT_TRUE(declaration->SetStream(0, first, false));
    EXPECT_FALSE(declaration->SetStream(0, second, false));
    EXPECT_EQ(declaration->GetStream(0)->GetFormatMask(), static_cast<std::uint32_t>(VF_POSITION));
    EXPECT_TRUE(declaration->SetStream(0, second, true));
    EXPECT_EQ(declaration->GetStream(0)->GetFormatMask(), static_cast<std::uint32_t>(VF_NORMAL));
    EXPECT_EQ(declaration->GetNextFreeIndex(), 1u);
    EXPECT_TRUE(declaration->SetStream(3, first, false));  // not the next free index
    EXPECT_EQ(declaration->GetNextFreeIndex(), 1u);
    EXPECT_EQ(declaration->GetElementCount(), 2u);
    // The stream was copied.
    first.AddElement(VF_NORMAL, VET_FLOAT3);
    EXPECT_EQ(declaration->GetStream(3)->GetElements().size(), 1u);

    // A bound buffer is referenced by the binding, so the purge keeps it.
    VertexBufferBinding* binding = manager_->CreateVertexBufferBinding();
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->GetManager(), manager_.get());
    HardwareVertexBuffer* bound = manager_->CreateVertexBuffer(64, BU_STATIC, false, false);
    binding->SetBinding(1, bound, 12);
    EXPECT_EQ(bound->GetRefCount(), 2);
    manager_->PurgeUnused();
    EXPECT_TRUE(manager_->ContainsVertexBuffer(bound));
    binding->SetBinding(1, nullptr, 0);
    manager_->PurgeUnused();
    EXPECT_FALSE(manager_->ContainsVertexBuffer(bound));
    manager_->DestroyVertexBufferBinding(binding);
    manager_->DestroyVertexDeclaration(declaration);
}

// The host's proxies see one buffer kind each and share the manager's listener lists.
TEST_F(HardwareBufferManagerTest, HostProxiesForwardPerBufferKind) {
    HardwareBufferManager& m = *manager_;
    ZelI::IHardWareResMngProxy* vertices =
        new IHardwareVertexBufferMngProxy_Impl<HardwareBufferManager>(&m);
    ZelI::IHardWareResMngProxy* indices =
        new IHardwareIndexBufferMngProxy_Impl<HardwareBufferManager>(&m);

    EXPECT_EQ(vertices->AddCreateListener(&Listen<HardwareBufferManager::VERTEX_CREATED>), 0u);
    EXPECT_EQ(vertices->AddReleaseListener(&Listen<99>), 0u);
    EXPECT_EQ(vertices->AddReleaseListener(&Listen<HardwareBufferManager::VERTEX_RELEASED>), 1u);
    vertices->RemoveReleaseListener(0);
    vertices->RemoveReleaseListener(5);  // past the end: nothing
    // The emptied entry is the next one filled.
    EXPECT_EQ(vertices->AddReleaseListener(&Listen<HardwareBufferManager::VERTEX_RELEASED>), 0u);
    vertices->RemoveReleaseListener(1);
    EXPECT_EQ(indices->AddCreateListener(&Listen<HardwareBufferManager::INDEX_CREATED>), 0u);
    EXPECT_EQ(indices->AddReleaseListener(&Listen<HardwareBufferManager::INDEX_RELEASED>), 0u);
    indices->RemoveCreateListener(0);

    HardwareVertexBuffer* a = m.CreateVertexBuffer(96, BU_STATIC, false, false);
    HardwareVertexBuffer* b = m.CreateVertexBuffer(32, BU_DYNAMIC, false, false);
    HardwareIndexBuffer* i = m.CreateIndexBuffer(IS_16BIT, 6, BU_STATIC, false, false);
    ASSERT_TRUE(a && b && i);
    EXPECT_TRUE(vertices->Contains(a));
    EXPECT_FALSE(vertices->Contains(i));
    EXPECT_TRUE(indices->Contains(i));
    EXPECT_FALSE(indices->Contains(a));
    EXPECT_FALSE(indices->Contains(nullptr));

    ZelI::IResList* list = vertices->GetResList();
    ASSERT_EQ(list->GetCount(), 2u);
    EXPECT_EQ(list->GetAt(0)->GetSize(), 96u);
    EXPECT_EQ(list->GetAt(1)->GetSize(), 32u);
    EXPECT_EQ(list->GetAt(1)->GetResource(), nullptr);
    EXPECT_EQ(list->GetAt(2), nullptr);
    ZelI::IResList* indexList = indices->GetResList();
    ASSERT_EQ(indexList->GetCount(), 1u);
    EXPECT_EQ(indexList->GetAt(0)->GetSize(), 12u);

    m.DestroyVertexBuffer(a);
    m.DestroyIndexBuffer(i);
    EXPECT_FALSE(vertices->Contains(a));
    EXPECT_EQ(vertices->GetResList()->GetCount(), 1u);
    const Heard expected[] = {{HardwareBufferManager::VERTEX_CREATED, a, 0},
                              {HardwareBufferManager::VERTEX_CREATED, b, 0},
                              {HardwareBufferManager::VERTEX_RELEASED, a, 0},
                              {HardwareBufferManager::INDEX_RELEASED, i, 0}};
    ASSERT_EQ(Events().size(), std::size(expected));
    for (std::size_t n = 0; n < std::size(expected); ++n) {
        EXPECT_EQ(Events()[n].kind, expected[n].kind) << n;
        EXPECT_EQ(Events()[n].buffer, expected[n].buffer) << n;
    }
    // Releasing the proxies leaves the manager and its buffers alone.
    vertices->Release();
    indices->Release();
    EXPECT_TRUE(m.ContainsVertexBuffer(b));
}

// The render system hands its device to the buffer manager Globals holds, whose buffers are then
// made on that device.
class BufferManagerDeviceTest : public ZelTest::DeviceTest {};

TEST_F(BufferManagerDeviceTest, TheRenderSystemsDeviceReachesGlobalsBufferManager) {
    G()->Init();
    ASSERT_TRUE(Init(Settings()));
    HardwareBufferManager* m = G()->GetHardwareBufferManager();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetRenderDevice(), nullptr);

    RenderSystem system;
    system.SetRenderDevice(&Device());
    EXPECT_EQ(system.GetRenderDevice(), &Device());
    EXPECT_EQ(m->GetRenderDevice(), &Device());
    const ULONGLONG before = Calls(D3D9Call::CreateVertexBuffer);
    HardwareVertexBuffer* buffer = m->CreateVertexBuffer(256, BU_STATIC, false, false);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(Calls(D3D9Call::CreateVertexBuffer), before + 1);
    EXPECT_NE(static_cast<HardwareVertexBufferD3D9*>(buffer)->GetD3DBuffer(), nullptr);
    ASSERT_NE(buffer->Lock(LO_NORMAL), nullptr);
    buffer->Unlock();

    system.SetRenderDevice(nullptr);
    EXPECT_EQ(m->GetRenderDevice(), nullptr);
    // The buffer goes before the device it was made on.
    m->DestroyVertexBuffer(buffer);
    G()->Shutdown();
}

// Globals with its own buffer manager on the device: only default-pool buffers cycle.
class DeviceLossTest : public ZelTest::DeviceTest {};

TEST_F(DeviceLossTest, OnlyDefaultPoolBuffersCycleAndTheResetSucceeds) {
    G()->Init();
    ASSERT_TRUE(Init(Settings()));
    HardwareBufferManager* m = G()->GetHardwareBufferManager();
    ASSERT_NE(m, nullptr);
    m->SetRenderDevice(&Device());
    HardwareVertexBuffer* vertices = m->CreateVertexBuffer(256, BU_DYNAMIC, false, false);
    HardwareIndexBuffer* indices = m->CreateIndexBuffer(IS_16BIT, 30, 0, false, false);
    HardwareVertexBuffer* shadowed = m->CreateVertexBuffer(128, BU_STATIC, true, false);
    HardwareVertexBuffer* system = m->CreateVertexBuffer(64, 0, false, true);
    HardwareIndexBuffer* systemIndices = m->CreateIndexBuffer(IS_32BIT, 4, 0, false, true);
    std::vector<RenderResource*> cycling{vertices, indices, shadowed};
    std::vector<RenderResource*> staying{system, systemIndices};
    for (RenderResource* r : cycling) ASSERT_TRUE(r->IsDefaultPool());
    for (RenderResource* r : staying) ASSERT_FALSE(r->IsDefaultPool());
    for (RenderResource* r : cycling) r->SetRefillFlag(0);
    for (RenderResource* r : staying) r->SetRefillFlag(0);

    G()->GetSceneManager()->AdvanceFrame();
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    G()->GetRenderResourceRegistry()->NotifyDeviceLost();
    EXPECT_EQ(static_cast<HardwareVertexBufferD3D9*>(vertices)->GetD3DBuffer(), nullptr);
    EXPECT_EQ(static_cast<HardwareIndexBufferD3D9*>(indices)->GetD3DBuffer(), nullptr);
    EXPECT_NE(static_cast<HardwareVertexBufferD3D9*>(system)->GetD3DBuffer(), nullptr);
    // Nothing of the default pool is alive, so the plain device's reset goes through.
    ASSERT_TRUE(Device().ResetDevice(Settings()));
    G()->GetSceneManager()->AdvanceFrame();
    const std::uint32_t frame = G()->GetFrameId();
    G()->GetRenderResourceRegistry()->NotifyDeviceReset();

    for (RenderResource* r : cycling) {
        EXPECT_EQ(r->GetRefillFlag(), 1u);
        EXPECT_EQ(r->GetResetStamp(), frame);
    }
    for (RenderResource* r : staying) {
        EXPECT_EQ(r->GetRefillFlag(), 0u);
        EXPECT_EQ(r->GetResetStamp(), 0u);
    }
    EXPECT_NE(static_cast<HardwareVertexBufferD3D9*>(vertices)->GetD3DBuffer(), nullptr);
    EXPECT_NE(static_cast<HardwareIndexBufferD3D9*>(indices)->GetD3DBuffer(), nullptr);
    // The shadow kept its bytes; a write goes through to the new device buffer.
    ASSERT_NE(shadowed->Lock(LO_NORMAL), nullptr);
    shadowed->Unlock();
    // The device and its buffers go before Globals.
    G()->Shutdown();
}

}  // namespace
