// Draw validation: a draw reads only what is bound and in range; invalid draws answer
// D3DERR_INVALIDCALL and are not counted, a valid draw is counted once.
#include <cstring>
#include <vector>

#include "tests/Platform/D3D9Fixture.h"

namespace {

class D3D9Draw : public D3D9Fixture {
protected:
    // Ten vertices of position + colour (16 bytes) and six 16-bit indices (0..5, values 2..7).
    void SetUp() override {
        D3D9Fixture::SetUp();
        MakeDevice(&device_);
        ASSERT_TRUE(device_);
        ASSERT_EQ(device_->CreateVertexBuffer(10 * 16, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                              vb_.Out(), nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                             D3DPOOL_MANAGED, ib_.Out(), nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(ib_->Lock(0, 0, &data, 0), D3D_OK);
        const WORD indices[6] = {2, 3, 4, 5, 6, 7};
        std::memcpy(data, indices, sizeof(indices));
        ib_->Unlock();
        ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, vb_.Get(), 0, 16), D3D_OK);
        ASSERT_EQ(device_->SetIndices(ib_.Get()), D3D_OK);
    }

    void TearDown() override {
        ib_.Reset();
        vb_.Reset();
        device_.Reset();
        D3D9Fixture::TearDown();
    }

    const SoftDevice9::DrawStats& Stats() const { return Soft(device_)->Draws(); }

    ComRef<IDirect3DDevice9> device_;
    ComRef<IDirect3DVertexBuffer9> vb_;
    ComRef<IDirect3DIndexBuffer9> ib_;
};

TEST_F(D3D9Draw, NonIndexedRangesAreCheckedAgainstTheStream) {
    struct Case {
        D3DPRIMITIVETYPE type;
        UINT start, count;
        HRESULT expected;
    };
    const Case cases[] = {
        {D3DPT_TRIANGLELIST, 0, 3, D3D_OK},              // vertices 0..8
        {D3DPT_TRIANGLELIST, 1, 3, D3D_OK},              // 1..9: the last vertex
        {D3DPT_TRIANGLELIST, 2, 3, D3DERR_INVALIDCALL},  // 2..10: one past
        {D3DPT_TRIANGLESTRIP, 0, 8, D3D_OK},             // 10 vertices
        {D3DPT_TRIANGLESTRIP, 0, 9, D3DERR_INVALIDCALL},
        {D3DPT_TRIANGLEFAN, 1, 8, D3DERR_INVALIDCALL},
        {D3DPT_LINESTRIP, 0, 9, D3D_OK},
        {D3DPT_LINELIST, 0, 5, D3D_OK},
        {D3DPT_LINELIST, 1, 5, D3DERR_INVALIDCALL},
        {D3DPT_POINTLIST, 9, 1, D3D_OK},
        {D3DPT_POINTLIST, 10, 1, D3DERR_INVALIDCALL},
        {D3DPT_POINTLIST, 0xFFFFFFFFu, 1, D3DERR_INVALIDCALL},
        {static_cast<D3DPRIMITIVETYPE>(7), 0, 1, D3DERR_INVALIDCALL},
        {D3DPT_TRIANGLELIST, 0, 0x100000, D3DERR_INVALIDCALL},  // above the caps' primitive count
    };
    ULONGLONG valid = 0, primitives = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(device_->DrawPrimitive(c.type, c.start, c.count), c.expected)
            << "type " << c.type << " start " << c.start << " count " << c.count;
        if (c.expected == D3D_OK) {
            ++valid;
            primitives += c.count;
        }
        EXPECT_EQ(Stats().drawPrimitive, valid);
    }
    EXPECT_EQ(Stats().draws, valid);
    EXPECT_EQ(Stats().primitives, primitives);
    // A draw of nothing succeeds and is not counted.
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3D_OK);
    EXPECT_EQ(Stats().draws, valid);
}

TEST_F(D3D9Draw, IndexedRangesAreCheckedAgainstIndicesAndVertices) {
    struct Case {
        const char* what;
        INT base;
        UINT minIndex, numVertices, startIndex, count;
        HRESULT expected;
    };
    const Case cases[] = {
        {"all six indices", 0, 2, 6, 0, 2, D3D_OK},
        {"a loose vertex range", 0, 0, 10, 0, 2, D3D_OK},
        {"base vertex to the end", 2, 2, 6, 0, 2, D3D_OK},  // vertices 4..9
        {"base vertex past the end", 3, 2, 6, 0, 2, D3DERR_INVALIDCALL},
        {"negative base below zero", -3, 2, 6, 0, 2, D3DERR_INVALIDCALL},
        {"negative base inside", -2, 2, 6, 0, 2, D3D_OK},  // vertices 0..5
        {"index below the minimum", 0, 3, 5, 0, 2, D3DERR_INVALIDCALL},
        {"index above the range", 0, 2, 5, 0, 2, D3DERR_INVALIDCALL},
        {"indices past the buffer", 0, 2, 6, 1, 2, D3DERR_INVALIDCALL},
        {"last three indices", 0, 5, 3, 3, 1, D3D_OK},
        {"no vertices", 0, 2, 0, 0, 2, D3DERR_INVALIDCALL},
        {"start index overflow", 0, 2, 6, 0xFFFFFFFFu, 1, D3DERR_INVALIDCALL},
    };
    ULONGLONG valid = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, c.base, c.minIndex,
                                                c.numVertices, c.startIndex, c.count),
                  c.expected)
            << c.what;
        if (c.expected == D3D_OK)
            ++valid;
        EXPECT_EQ(Stats().drawIndexedPrimitive, valid) << c.what;
    }
    // Without indices bound there is nothing to draw from.
    ASSERT_EQ(device_->SetIndices(nullptr), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 2, 6, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(Stats().drawIndexedPrimitive, valid);
}

TEST_F(D3D9Draw, LayoutAndStreamsMustBeBound) {
    const D3DVERTEXELEMENT9 twoStreams[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            {1, 4, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                            D3DDECL_END()};
    ComRef<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device_->CreateVertexDeclaration(twoStreams, declaration.Out()), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(declaration.Get()), D3D_OK);
    DWORD fvf = 1;
    device_->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 1),
              D3DERR_INVALIDCALL);  // stream 1 unbound
    // Stream 1 reads 12 bytes per vertex at stride 16, from offset 8: vertices 0..8 fit in 160
    // bytes.
    ASSERT_EQ(device_->SetStreamSource(1, vb_.Get(), 8, 16), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 9), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 10), D3DERR_INVALIDCALL);
    EXPECT_EQ(Stats().draws, 1u);

    ASSERT_EQ(device_->SetVertexDeclaration(nullptr), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 1),
              D3DERR_INVALIDCALL);  // neither declaration nor FVF

    const D3DVERTEXELEMENT9 duplicate[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                           {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                           D3DDECL_END()};
    const D3DVERTEXELEMENT9 unaligned[] = {{0, 2, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                           D3DDECL_END()};
    ComRef<IDirect3DVertexDeclaration9> refused;
    EXPECT_EQ(device_->CreateVertexDeclaration(duplicate, refused.Out()), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexDeclaration(unaligned, refused.Out()), D3DERR_INVALIDCALL);
    std::vector<D3DVERTEXELEMENT9> endless(
        MAXD3DDECLLENGTH + 2,
        D3DVERTEXELEMENT9{0, 0, D3DDECLTYPE_FLOAT1, 0, D3DDECLUSAGE_TEXCOORD, 0});
    for (std::size_t i = 0; i < endless.size(); ++i) endless[i].UsageIndex = static_cast<BYTE>(i);
    EXPECT_EQ(device_->CreateVertexDeclaration(endless.data(), refused.Out()), D3DERR_INVALIDCALL);

    UINT count = 0;
    D3DVERTEXELEMENT9 back[3];
    ASSERT_EQ(declaration->GetDeclaration(back, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(back[2].Stream, 0xFF);
}

TEST_F(D3D9Draw, UserMemoryDrawsCheckTheirIndicesAndUnbindStreamZero) {
    struct Vertex {
        float x, y, z;
        D3DCOLOR colour;
    };
    Vertex vertices[4] = {};
    const WORD indices[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, indices, D3DFMT_INDEX16,
                                              vertices, sizeof(Vertex)),
              D3DERR_INVALIDCALL);  // index 3 outside three vertices
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, 12),
              D3DERR_INVALIDCALL);  // stride too short
    EXPECT_EQ(Stats().draws, 0u);
    // A failed draw leaves the bindings alone.
    ComRef<IDirect3DVertexBuffer9> stream0;
    UINT offset, stride;
    ASSERT_EQ(device_->GetStreamSource(0, stream0.Out(), &offset, &stride), D3D_OK);
    EXPECT_EQ(stream0.Get(), vb_.Get());

    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16,
                                              vertices, sizeof(Vertex)),
              D3D_OK);
    EXPECT_EQ(Stats().drawIndexedPrimitiveUP, 1u);
    ASSERT_EQ(device_->GetStreamSource(0, stream0.Out(), &offset, &stride), D3D_OK);
    EXPECT_FALSE(stream0);
    ComRef<IDirect3DIndexBuffer9> boundIndices;
    ASSERT_EQ(device_->GetIndices(boundIndices.Out()), D3D_OK);
    EXPECT_FALSE(boundIndices);

    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(Stats().drawPrimitiveUP, 1u);
    EXPECT_EQ(Stats().draws, 2u);
    EXPECT_EQ(Soft(device_)->CallCount(D3D9Call::DrawPrimitiveUP),
              2u);  // calls count, refused or not
}

}  // namespace
