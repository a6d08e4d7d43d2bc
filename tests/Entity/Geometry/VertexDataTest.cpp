// Vertex and index data and their device buffers: layout lookup on both drawing paths,
// interleaving and colour conversion, rebuilding after a device reset, 16- and 32-bit index
// buffers, copies and the system-memory forms.
#include <gtest/gtest.h>

#include "Entity/Geometry/IndexDataSysMem.h"
#include "Entity/Geometry/StreamIndexData.h"
#include "Entity/Geometry/StreamVertexData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexBufferByFormatSysMem.h"
#include "Entity/Geometry/VertexDataSysMem.h"
#include "Render/VertexBufferBinding.h"
#include "Render/VertexBufferDeclaration.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;

class VertexDataTest : public ZelTest::GeometryTest {
protected:
    // Three vertices with positions, normals and texture coordinates whose values tell them
    // apart: position (v, 10 + v, 20 + v), normal (30 + v, ...), uv (60 + v, 70 + v).
    static void FillThree(VertexData& data) {
        data.SetVertexCount(3);
        std::vector<float> p, n, t;
        for (float v = 0; v < 3; ++v) {
            p.insert(p.end(), {v, 10 + v, 20 + v});
            n.insert(n.end(), {30 + v, 40 + v, 50 + v});
            t.insert(t.end(), {60 + v, 70 + v});
        }
        Add(data, VF_POSITION, VET_FLOAT3, p);
        Add(data, VF_NORMAL, VET_FLOAT3, n);
        Add(data, VF_TEXCOORD0, VET_FLOAT2, t);
    }
    static HardwareVertexBuffer& Slot0(const VertexBufferByFormat& b) {
        return *b.GetBinding()->GetSlot(0).buffer.Get();
    }
};

TEST_F(VertexDataTest, LayoutsShareOneBufferOnTheShaderPathAndNotOnTheFixedFunctionPath) {
    VertexData shader(nullptr, BU_STATIC, false);
    FillThree(shader);
    VertexBufferByFormat* wide = shader.GetBufferByFormat(0x13, true);
    EXPECT_EQ(shader.GetBufferByFormat(0x11, true), wide);
    EXPECT_EQ(shader.GetBuffers().size(), 1u);

    Scene().SetDX7Mode(true);
    VertexData fixed(nullptr, BU_STATIC, false);
    FillThree(fixed);
    VertexBufferByFormat* first = fixed.GetBufferByFormat(0x13, true);
    VertexBufferByFormat* second = fixed.GetBufferByFormat(0x11, true);
    EXPECT_NE(first, second);
    EXPECT_EQ(fixed.GetBufferByFormat(0x11, false), second);
    EXPECT_EQ(Slot0(*first).GetSizeInBytes(), 3u * 32);
    EXPECT_EQ(Slot0(*second).GetSizeInBytes(), 3u * 20);
    EXPECT_EQ(fixed.GetMemorySize(), 3u * 32 + 3u * 20 + 3u * (12 + 12 + 8));
}

TEST_F(VertexDataTest, InterleavedVerticesReadBackWithTheLayoutsStride) {
    struct Case {
        std::uint32_t mask;
        bool fixedFunction;
        std::uint32_t stride;
    };
    for (const Case& c : {Case{0x13, false, 32}, Case{0x17, false, 48}, Case{0x10013, true, 36}}) {
        SCOPED_TRACE(c.mask);
        Scene().SetDX7Mode(c.fixedFunction);
        VertexData data(nullptr, BU_STATIC, false);
        FillThree(data);
        VertexBufferByFormat* b = data.GetBufferByFormat(c.mask, true);
        ASSERT_TRUE(b->IsBuilt());
        EXPECT_EQ(b->GetStride(), c.stride);
        EXPECT_EQ(b->GetBinding()->GetSlot(0).stride, c.stride);
        EXPECT_EQ(b->GetSizeInBytes(), 3 * c.stride);
        EXPECT_EQ(b->GetDeclaration()->GetStream(0)->GetFormatMask(), c.mask);
        for (std::uint32_t v = 0; v < 3; ++v) {
            std::vector<float> f = ReadBack<float>(Slot0(*b), v * c.stride, c.stride / 4);
            const float fv = float(v);
            std::vector<float> expected = {fv, 10 + fv, 20 + fv, 30 + fv, 40 + fv, 50 + fv};
            if (c.mask & VF_COLOUR)
                expected.insert(expected.end(), {1, 1, 1, 1});  // no colours: white
            if (c.mask & VF_DIFFUSE) {
                std::uint32_t white = 0xFFFFFFFFu;
                float asFloat;
                std::memcpy(&asFloat, &white, 4);
                expected.push_back(asFloat);
            }
            expected.insert(expected.end(), {60 + fv, 70 + fv});
            ASSERT_EQ(f.size(), expected.size());
            EXPECT_EQ(0, std::memcmp(f.data(), expected.data(), f.size() * 4)) << "vertex " << v;
        }
    }
}

TEST_F(VertexDataTest, ColoursConvertBetweenPackedAndFloatForms) {
    const std::vector<std::uint32_t> packed = {0x80FF4000u, 0x00000000u};
    VertexData shader(nullptr, BU_STATIC, false);
    shader.SetVertexCount(2);
    Add(shader, VF_DIFFUSE, VET_UBYTE4, packed);
    VertexBufferByFormat* b = shader.GetBufferByFormat(VF_COLOUR, true);
    std::vector<float> f = ReadBack<float>(Slot0(*b), 0, 8);
    const std::vector<float> expected = {1.0f, 64 / 255.0f, 0.0f, 128 / 255.0f, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(f[i], expected[i]) << i;
    ASSERT_NE(shader.FindComponent(VF_COLOUR), nullptr);

    Scene().SetDX7Mode(true);
    VertexData fixed(nullptr, BU_STATIC, false);
    fixed.SetVertexCount(2);
    Add(fixed, VF_COLOUR, VET_FLOAT4, std::vector<float>{1.0f, 0.25f, 0.0f, 0.5f, 0, 0, 0, 0});
    b = fixed.GetBufferByFormat(VF_DIFFUSE, true);
    EXPECT_EQ(ReadBack<std::uint32_t>(Slot0(*b), 0, 2),
              (std::vector<std::uint32_t>{0x7FFF3F00u, 0x00000000u}));
}

TEST_F(VertexDataTest, ShortOrForeignComponentsGiveZerosInsteadOfReadingPastTheirData) {
    VertexData data(nullptr, BU_STATIC, false);
    data.SetVertexCount(3);
    Add(data, VF_POSITION, VET_FLOAT3, std::vector<float>{1, 2, 3});   // one vertex of three
    Add(data, VF_TEXCOORD0, VET_FLOAT3, std::vector<float>(9, 5.0f));  // float3 where float2 goes
    VertexBufferByFormat* b = data.GetBufferByFormat(0x11, true);
    EXPECT_EQ(b->GetStride(), 20u);
    EXPECT_EQ(ReadBack<float>(Slot0(*b), 0, 15),
              (std::vector<float>{1, 2, 3, 5, 5, 0, 0, 0, 5, 5, 0, 0, 0, 5, 5}));
}

TEST_F(VertexDataTest, RefreshRebuildsWhenDirtyOrAfterAResetAndOtherwiseWritesNothing) {
    VertexData data(nullptr, BU_STATIC, false);
    FillThree(data);
    VertexBufferByFormat* b = data.GetBufferByFormat(0x1, true);
    HardwareVertexBuffer& buffer = Slot0(*b);
    float* p = data.FindComponent(VF_POSITION)->GetFloats();
    p[0] = 100;
    b->Build();  // built already: nothing written
    EXPECT_EQ(ReadBack<float>(buffer, 0, 1)[0], 0.0f);
    b->Refresh();  // dirty since construction
    EXPECT_EQ(ReadBack<float>(buffer, 0, 1)[0], 100.0f);
    EXPECT_FALSE(data.IsDirty());

    p[0] = 200;
    b->Refresh();  // clean and the same device stamp
    EXPECT_EQ(ReadBack<float>(buffer, 0, 1)[0], 100.0f);

    LoseAndResetDevice();
    EXPECT_NE(buffer.GetResetStamp(), b->GetDeviceStamp());
    b->Refresh();
    EXPECT_EQ(ReadBack<float>(buffer, 0, 1)[0], 200.0f);
    EXPECT_EQ(b->GetDeviceStamp(), buffer.GetResetStamp());
    EXPECT_EQ(&Slot0(*b), &buffer);  // rewritten in place

    p[0] = 300;
    data.InvalidateBuffers();
    b->Refresh();
    EXPECT_EQ(ReadBack<float>(buffer, 0, 1)[0], 300.0f);
}

TEST_F(VertexDataTest, ReleasingVertexDataGivesItsBuffersBack) {
    const std::uint32_t before = Buffers().GetVertexBytes();
    {
        VertexData data(nullptr, BU_STATIC, false);
        FillThree(data);
        data.GetBufferByFormat(0x13, true);
        EXPECT_EQ(Buffers().GetVertexBytes(), before + 96);
    }
    EXPECT_EQ(Buffers().GetVertexBytes(), before);
}

TEST_F(VertexDataTest, IndexBuffersKeepOrCutWideIndexes) {
    struct Case {
        std::uint32_t kind;
        std::uint32_t stored;
        std::uint32_t memory;
    };
    for (const Case& c :
         {Case{IS_16BIT, 4464, 3 * 2 + 3 * 4}, Case{IS_32BIT, 70000, 3 * 4 + 3 * 4}}) {
        SCOPED_TRACE(c.kind);
        IndexData index;
        index.AllocateIndices(3);
        index.GetIndices()[0] = 70000;
        index.GetIndices()[2] = 2;
        ASSERT_TRUE(index.CreateBuffer(c.kind, BU_STATIC));
        EXPECT_EQ(Indexes(*index.GetBuffer()), (std::vector<std::uint32_t>{c.stored, 0, 2}));
        EXPECT_EQ(index.GetBuffer()->GetRefillFlag(), 0u);
        EXPECT_EQ(index.GetMemorySize(), c.memory);

        // Upload writes only when the buffer asks for it.
        index.GetIndices()[1] = 7;
        index.Upload();
        EXPECT_EQ(Indexes(*index.GetBuffer())[1], 0u);
        LoseAndResetDevice();
        index.Upload();
        EXPECT_EQ(Indexes(*index.GetBuffer())[1], 7u);
    }
    IndexData hundred;
    hundred.AllocateIndices(100);
    ASSERT_TRUE(hundred.CreateBuffer(IS_16BIT, BU_STATIC));
    EXPECT_EQ(hundred.GetMemorySize(), 600u);
}

TEST_F(VertexDataTest, IndexDataDestroysItsBufferWhenItWasTheLastUser) {
    HardwareIndexBuffer* buffer = nullptr;
    {
        IndexData index;
        index.AllocateIndices(6);
        ASSERT_TRUE(index.CreateBuffer(IS_16BIT, BU_STATIC));
        buffer = index.GetBuffer();
        EXPECT_EQ(buffer->GetRefCount(), 2);
        IndexData copy;
        copy.CopyFrom(index);
        ASSERT_NE(copy.GetBuffer(), nullptr);
        EXPECT_NE(copy.GetBuffer(), buffer);
        EXPECT_EQ(copy.GetIndexCount(), 6u);
        EXPECT_EQ(copy.GetBuffer()->GetIndexKind(), static_cast<std::uint32_t>(IS_16BIT));
        EXPECT_EQ(Buffers().GetIndexBuffers().size(), 2u);
    }
    EXPECT_TRUE(Buffers().GetIndexBuffers().empty());
}

TEST_F(VertexDataTest, CopyTakesTheFirstComponentOfEachSemantic) {
    VertexData source(nullptr, BU_DYNAMIC, true);
    source.SetVertexCount(1);
    Add(source, VF_TEXCOORD0, VET_FLOAT2, std::vector<float>{1, 2});
    Add(source, VF_TEXCOORD0, VET_FLOAT2, std::vector<float>{3, 4});
    Add(source, VF_POSITION, VET_FLOAT3, std::vector<float>{5, 6, 7});
    VertexData copy(nullptr, BU_STATIC, false);
    copy.CopyFrom(source);
    ASSERT_EQ(copy.GetComponents().size(), 2u);
    EXPECT_EQ(copy.GetComponents()[0]->semantic, static_cast<std::uint32_t>(VF_POSITION));
    EXPECT_EQ(copy.FindComponent(VF_TEXCOORD0)->GetFloats()[0], 1.0f);
    EXPECT_EQ(copy.GetVertexCount(), 1u);
    EXPECT_EQ(copy.GetUsage(), static_cast<std::uint32_t>(BU_DYNAMIC));
    EXPECT_TRUE(copy.IsDynamic());
}

TEST_F(VertexDataTest, SystemMemoryFormsKeepOneBufferAndNoDeviceMemory) {
    VertexDataSysMem data;
    EXPECT_EQ(data.GetKind(), 2u);
    EXPECT_EQ(data.GetUsage(), 5u);
    VertexBufferByFormat* b = data.GetBufferByFormat(0x1, true);
    EXPECT_EQ(data.GetBufferByFormat(0x3, true), b);
    EXPECT_EQ(b->GetDeclaration(), Buffers().GetVertexDeclaration(0x1));
    EXPECT_EQ(b->GetSizeInBytes(), 0u);
    ASSERT_TRUE(data.GetSysMemBuffer()->AllocateArray(64));

    IndexDataSysMem indexes;
    EXPECT_EQ(indexes.GetUsage(), 1u);
    indexes.AllocateShortIndices(10);
    EXPECT_EQ(indexes.GetMemorySize(), 0u);
    EXPECT_TRUE(Buffers().GetIndexBuffers().empty());
}

TEST_F(VertexDataTest, AComponentCountOfZeroIsReported) {
    ZelTest::LogCapture log;
    VertexData data(nullptr, BU_STATIC, false);
    VertexComponentDataPool* c = data.AddComponent(VF_POSITION, VET_FLOAT3, 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetCount(), 0u);
    EXPECT_EQ(log.Count("Count > 0"), 1);
}

// Elements handed over with a component are taken as they are when they are exactly its data,
// else copied as far as they fit, the rest zero.
TEST_F(VertexDataTest, GivenElementsAreTakenWhenTheyFitExactlyAndCopiedOtherwise) {
    const struct {
        const char* what;
        std::size_t bytes;
        bool taken;
    } cases[] = {
        {"exact", 24, true},
        {"short", 20, false},
        {"long", 28, false},
    };
    for (const auto& c : cases) {
        VertexData data(nullptr, BU_STATIC, false);
        std::vector<std::uint8_t> bytes(c.bytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i + 1);
        const std::uint8_t* given = bytes.data();
        VertexComponentDataPool* p = data.AddComponent(VF_POSITION, VET_FLOAT3, 2, bytes);
        ASSERT_NE(p, nullptr) << c.what;
        ASSERT_EQ(p->GetDataSize(), 24u) << c.what;
        EXPECT_EQ(p->GetData() == given, c.taken) << c.what;
        EXPECT_EQ(bytes.empty(), c.taken) << c.what;
        for (std::size_t i = 0; i < 24; ++i)
            EXPECT_EQ(p->GetData()[i], i < c.bytes ? std::uint8_t(i + 1) : 0) << c.what << i;
    }
}

TEST_F(VertexDataTest, StreamedIndexesGrowTheirBufferAndCutToSixteenBits) {
    StreamIndexData index;
    index.GetStaging() = {70000, 1, 2};
    index.Commit(5);  // only three are staged
    EXPECT_EQ(index.GetIndexCount(), 3u);
    ASSERT_NE(index.GetBuffer(), nullptr);
    EXPECT_EQ(Indexes(*index.GetBuffer()), (std::vector<std::uint32_t>{4464, 1, 2}));
    EXPECT_EQ(index.GetBuffer()->GetRefillFlag(), 0u);
    index.GetStaging() = {3, 4, 5, 6, 7, 8};
    index.Commit(6);
    EXPECT_EQ(Indexes(*index.GetBuffer()), (std::vector<std::uint32_t>{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Buffers().GetIndexBuffers().size(), 1u);  // the small one went back
    EXPECT_EQ(index.GetMemorySize(), 12u);
    index.Clear();
    EXPECT_EQ(index.GetBuffer(), nullptr);
    EXPECT_TRUE(Buffers().GetIndexBuffers().empty());
}

TEST_F(VertexDataTest, StreamedVerticesUploadUpToTheirCapacity) {
    ZelTest::LogCapture log;
    {
        StreamVertexData data(VF_POSITION, 12, 4);
        ASSERT_NE(data.GetBuffer(), nullptr);
        EXPECT_EQ(data.GetBinding()->GetSlot(0).stride, 12u);
        EXPECT_EQ(data.GetDeclaration(), Buffers().GetVertexDeclaration(VF_POSITION));
        const float p[6] = {1, 2, 3, 4, 5, 6};
        std::memcpy(data.GetStaging(), p, sizeof(p));
        EXPECT_TRUE(data.Upload(2));
        EXPECT_EQ(ReadBack<float>(*data.GetBuffer(), 0, 6), std::vector<float>(p, p + 6));
        EXPECT_FALSE(data.Upload(5));
        EXPECT_EQ(log.Count("count <= m_vertexCount"), 1);
        EXPECT_EQ(data.GetMemorySize(), 48u);
    }
    EXPECT_TRUE(Buffers().GetVertexBuffers().empty());
    StreamVertexData empty(VF_POSITION, 12, 0);
    EXPECT_EQ(log.Count("Count > 0"), 1);
    EXPECT_EQ(empty.GetBuffer(), nullptr);
    EXPECT_FALSE(empty.Upload(0));
}

}  // namespace
