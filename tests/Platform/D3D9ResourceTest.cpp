// Resources with real memory: buffers and textures lock, write and read back; pitches (DXT by
// blocks); lock rules by pool and usage; mip generation; cube textures; DCs; copies between
// surfaces; queries.
#include <cstring>
#include <vector>

#include "Platform/D3D9/SoftTexture9.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

using D3D9Resource = D3D9Fixture;

TEST_F(D3D9Resource, VertexAndIndexBuffersLockWriteAndReadBack) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DVertexBuffer9> vb;
    ASSERT_EQ(
        device->CreateVertexBuffer(256, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, vb.Out(), nullptr),
        D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(16, 8, &data, 0), D3D_OK);
    std::memcpy(data, "ABCDEFGH", 8);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);  // size 0: the whole buffer
    EXPECT_EQ(std::memcmp(static_cast<char*>(data) + 16, "ABCDEFGH", 8), 0);
    EXPECT_EQ(static_cast<char*>(data)[15], 0);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC vdesc;
    ASSERT_EQ(vb->GetDesc(&vdesc), D3D_OK);
    EXPECT_EQ(vdesc.Size, 256u);
    EXPECT_EQ(vdesc.Pool, D3DPOOL_DEFAULT);

    // Range checks: the end may touch the buffer's end, never pass it.
    struct Case {
        UINT offset, size;
        HRESULT expected;
    };
    for (const Case& c : {Case{0, 256, D3D_OK}, Case{255, 1, D3D_OK}, Case{256, 0, D3D_OK},
                          Case{255, 2, D3DERR_INVALIDCALL}, Case{257, 0, D3DERR_INVALIDCALL},
                          Case{0xFFFFFFF0u, 0x20, D3DERR_INVALIDCALL}}) {
        EXPECT_EQ(vb->Lock(c.offset, c.size, &data, 0), c.expected) << c.offset << "+" << c.size;
        if (c.expected == D3D_OK)
            vb->Unlock();
    }

    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        ComRef<IDirect3DIndexBuffer9> ib;
        ASSERT_EQ(device->CreateIndexBuffer(600, 0, format, D3DPOOL_MANAGED, ib.Out(), nullptr),
                  D3D_OK);
        ASSERT_EQ(ib->Lock(0, 4, &data, D3DLOCK_DISCARD), D3D_OK);  // not dynamic: a normal lock
        std::memcpy(data, "\x01\x02\x03\x04", 4);
        ib->Unlock();
        ASSERT_EQ(ib->Lock(0, 4, &data, D3DLOCK_NOOVERWRITE), D3D_OK);
        EXPECT_EQ(std::memcmp(data, "\x01\x02\x03\x04", 4), 0);  // the contents stayed
        ib->Unlock();
        D3DINDEXBUFFER_DESC idesc;
        ib->GetDesc(&idesc);
        EXPECT_EQ(idesc.Format, format);
    }
    ComRef<IDirect3DIndexBuffer9> ib;
    EXPECT_EQ(
        device->CreateIndexBuffer(600, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, ib.Out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, vb.Out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, vb.Out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, vb.Out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(512u << 20, 0, 0, D3DPOOL_DEFAULT, vb.Out(), nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
}

TEST_F(D3D9Resource, PitchesAreTightAndDxtLocksByBlocks) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    struct Case {
        D3DFORMAT format;
        UINT width, height;
        INT pitch;
        ULONGLONG bytes;  // of level 0
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 5, 3, 20, 60},
        {D3DFMT_X1R5G5B5, 5, 3, 10, 30},
        {D3DFMT_L8, 7, 2, 7, 14},
        {D3DFMT_A16B16G16R16F, 3, 3, 24, 72},
        {D3DFMT_A32B32G32R32F, 2, 2, 32, 64},
        {D3DFMT_DXT1, 16, 8, 32, 64},
        {D3DFMT_DXT1, 5, 5, 16, 32},
        {D3DFMT_DXT3, 16, 8, 64, 128},
        {D3DFMT_DXT5, 4, 4, 16, 16},
        {D3DFMT_DXT5, 1, 1, 16, 16},
    };
    for (const Case& c : cases) {
        ComRef<IDirect3DTexture9> texture;
        ASSERT_EQ(device->CreateTexture(c.width, c.height, 1, 0, c.format, D3DPOOL_SYSTEMMEM,
                                        texture.Out(), nullptr),
                  D3D_OK)
            << c.format;
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(locked.Pitch, c.pitch)
            << "format " << c.format << " " << c.width << "x" << c.height;
        // The last byte of the level is writable (ASan would catch a short allocation).
        static_cast<BYTE*>(locked.pBits)[c.bytes - 1] = 0xAB;
        texture->UnlockRect(0);
    }

    // A DXT rectangle starts on a block: its bits are those of the block.
    ComRef<IDirect3DTexture9> dxt;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, dxt.Out(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT whole, part;
    ASSERT_EQ(dxt->LockRect(0, &whole, nullptr, D3DLOCK_READONLY), D3D_OK);
    dxt->UnlockRect(0);
    RECT aligned{4, 8, 12, 16};
    ASSERT_EQ(dxt->LockRect(0, &part, &aligned, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(part.pBits) - static_cast<BYTE*>(whole.pBits), 2 * 64 + 1 * 16);
    dxt->UnlockRect(0);
    RECT unaligned{2, 0, 8, 4};
    EXPECT_EQ(dxt->LockRect(0, &part, &unaligned, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Resource, TexturesLockByPoolAndUsage) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    struct Case {
        const char* what;
        DWORD usage;
        D3DPOOL pool;
        bool locks;
    };
    const Case cases[] = {
        {"managed", 0, D3DPOOL_MANAGED, true},
        {"system memory", 0, D3DPOOL_SYSTEMMEM, true},
        {"scratch", 0, D3DPOOL_SCRATCH, true},
        {"default", 0, D3DPOOL_DEFAULT, false},
        {"default dynamic", D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, true},
        {"render target", D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, false},
    };
    for (const Case& c : cases) {
        ComRef<IDirect3DTexture9> texture;
        ASSERT_EQ(device->CreateTexture(8, 8, 0, c.usage, D3DFMT_A8R8G8B8, c.pool, texture.Out(),
                                        nullptr),
                  D3D_OK)
            << c.what;
        EXPECT_EQ(texture->GetLevelCount(), 4u) << c.what;
        D3DLOCKED_RECT locked;
        HRESULT hr = texture->LockRect(1, &locked, nullptr, D3DLOCK_DISCARD);
        EXPECT_EQ(hr, c.locks ? D3D_OK : D3DERR_INVALIDCALL) << c.what;
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(locked.Pitch, 16);
            // One lock at a time, on the level and on its surface alike.
            ComRef<IDirect3DSurface9> level;
            ASSERT_EQ(texture->GetSurfaceLevel(1, level.Out()), D3D_OK);
            EXPECT_EQ(level->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
            EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
        }
    }
    // Invalid combinations.
    ComRef<IDirect3DTexture9> texture;
    EXPECT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_MANAGED, texture.Out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(), nullptr),
        D3DERR_INVALIDCALL);  // more levels than the chain has
    EXPECT_EQ(
        device->CreateTexture(8, 8, 1, 0, D3DFMT_D24S8, D3DPOOL_DEFAULT, texture.Out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8192, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(),
                                    nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8,
                                    D3DPOOL_SYSTEMMEM, texture.Out(), nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(D3D9Resource, AutogeneratedMipChainIsABoxFilterOfLevelZero) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(4, 2, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8,
                                    D3DPOOL_MANAGED, texture.Out(), nullptr),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u);  // the generated levels are the device's
    ComRef<IDirect3DSurface9> hidden;
    EXPECT_EQ(texture->GetSurfaceLevel(1, hidden.Out()), D3DERR_INVALIDCALL);

    // Level 0: two rows of four texels.
    // Values chosen so that no average falls on a rounding tie.
    const DWORD texels[8] = {0xFF000000, 0xFF0000FF, 0xFFFFFFFF, 0x00FFFFFF,
                             0xFF00FF00, 0xFF00FE00, 0x83412311, 0x83412311};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, texels + y * 4, 16);
    texture->UnlockRect(0);
    texture->GenerateMipSubLevels();

    auto* soft = dynamic_cast<SoftTexture9*>(texture.Get());
    ASSERT_NE(soft, nullptr);
    ASSERT_EQ(soft->ChainLevels(), 3u);
    const SoftSurface9& level1 = *soft->Level(0, 1);
    ASSERT_EQ(level1.Width(), 2u);
    ASSERT_EQ(level1.Height(), 1u);
    // (0,0): black, blue and two greens; (1,0): white, transparent white and two half-alpha texels.
    EXPECT_EQ(PixelCodec::ToColor(level1.ReadPixel(0, 0)), D3DCOLOR_ARGB(0xFF, 0x00, 0x7F, 0x40));
    EXPECT_EQ(PixelCodec::ToColor(level1.ReadPixel(1, 0)), D3DCOLOR_ARGB(0x81, 0xA0, 0x91, 0x88));
    const SoftSurface9& level2 = *soft->Level(0, 2);
    EXPECT_EQ(level2.Width(), 1u);
    EXPECT_EQ(PixelCodec::ToColor(level2.ReadPixel(0, 0)), D3DCOLOR_ARGB(0xC0, 0x50, 0x88, 0x64));

    // Writing level 0 again marks the chain stale; the rasteriser's EnsureMipChain rebuilds it.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    std::memset(locked.pBits, 0xFF, 16);
    std::memset(static_cast<BYTE*>(locked.pBits) + locked.Pitch, 0xFF, 16);
    texture->UnlockRect(0);
    EXPECT_NE(PixelCodec::ToColor(soft->Level(0, 2)->ReadPixel(0, 0)), 0xFFFFFFFFu);
    soft->EnsureMipChain();
    EXPECT_EQ(PixelCodec::ToColor(soft->Level(0, 2)->ReadPixel(0, 0)), 0xFFFFFFFFu);

    // A format without generated mips is made with one level, and says so.
    ComRef<IDirect3DTexture9> dxt;
    EXPECT_EQ(device->CreateTexture(8, 8, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_DXT1, D3DPOOL_MANAGED,
                                    dxt.Out(), nullptr),
              D3DOK_NOAUTOGEN);
    ASSERT_TRUE(dxt);
    EXPECT_EQ(dxt->GetLevelCount(), 1u);
}

TEST_F(D3D9Resource, CubeTexturesHoldSixFacesOfLevels) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DCubeTexture9> cube;
    ASSERT_EQ(
        device->CreateCubeTexture(8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, cube.Out(), nullptr),
        D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 4u);
    EXPECT_EQ(cube->GetType(), D3DRTYPE_CUBETEXTURE);
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 2, &locked, nullptr, 0),
                  D3D_OK);
        *static_cast<DWORD*>(locked.pBits) = 0xFF000000u | static_cast<DWORD>(face);
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 2);
    }
    ComRef<IDirect3DSurface9> face4;
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Z, 2, face4.Out()), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(face4->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<DWORD*>(locked.pBits), 0xFF000004u);
    face4->UnlockRect();
    D3DSURFACE_DESC desc;
    ASSERT_EQ(cube->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(6), 0, face4.Out()),
              D3DERR_INVALIDCALL);
}

TEST_F(D3D9Resource, SurfaceDcIsAHandleOverACopyAndASecondOneFails) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.Out(), nullptr),
        D3D_OK);
    ComRef<IDirect3DSurface9> surface;
    ASSERT_EQ(texture->GetSurfaceLevel(0, surface.Out()), D3D_OK);
    HDC dc = nullptr, second = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), D3D_OK);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(surface->GetDC(&second), D3DERR_INVALIDCALL);
    EXPECT_EQ(second, nullptr);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0),
              D3DERR_INVALIDCALL);  // not while the DC is out
    // The DC's bitmap goes back into the surface on release.
    static_cast<DWORD*>(static_cast<void*>(dc))[5] = 0xFF123456;
    EXPECT_EQ(surface->ReleaseDC(reinterpret_cast<HDC>(8)), D3DERR_INVALIDCALL);
    ASSERT_EQ(surface->ReleaseDC(dc), D3D_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), D3DERR_INVALIDCALL);
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + locked.Pitch)[1],
              0xFF123456u);
    surface->UnlockRect();

    ComRef<IDirect3DTexture9> dxt;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, dxt.Out(), nullptr),
              D3D_OK);
    ComRef<IDirect3DSurface9> dxtSurface;
    dxt->GetSurfaceLevel(0, dxtSurface.Out());
    EXPECT_EQ(dxtSurface->GetDC(&dc), D3DERR_INVALIDCALL);
}

// Fills a lockable surface with a gradient that names each pixel.
void Paint(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
        for (UINT x = 0; x < desc.Width; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                D3DCOLOR_ARGB(0xFF, x * 16, y * 16, 0x80);
    surface->UnlockRect();
}

DWORD PixelOf(IDirect3DSurface9* surface, UINT x, UINT y) {
    D3DLOCKED_RECT locked;
    if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return 0xDEADBEEF;
    DWORD v = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x];
    surface->UnlockRect();
    return v;
}

TEST_F(D3D9Resource, UpdateTextureAndSurfaceAndRenderTargetDataCopyPixels) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    // System memory 8x8 chain into a default 4x4 texture: level 1 of the source lands in level 0.
    ComRef<IDirect3DTexture9> staging, target;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, staging.Out(),
                                    nullptr),
              D3D_OK);
    ASSERT_EQ(
        device->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.Out(), nullptr),
        D3D_OK);
    ComRef<IDirect3DSurface9> source1;
    staging->GetSurfaceLevel(1, source1.Out());
    Paint(source1.Get());
    ASSERT_EQ(device->UpdateTexture(staging.Get(), target.Get()), D3D_OK);
    EXPECT_EQ(device->UpdateTexture(target.Get(), staging.Get()),
              D3DERR_INVALIDCALL);  // pools the wrong way
    auto* soft = dynamic_cast<SoftTexture9*>(target.Get());
    EXPECT_EQ(PixelCodec::ToColor(soft->Level(0, 0)->ReadPixel(3, 2)),
              D3DCOLOR_ARGB(0xFF, 48, 32, 0x80));

    // UpdateSurface of a rectangle to a point; the render target copy back through
    // GetRenderTargetData.
    ComRef<IDirect3DSurface9> rt, sys;
    ASSERT_EQ(device->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         rt.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  sys.Out(), nullptr),
              D3D_OK);
    Paint(sys.Get());
    RECT from{2, 2, 4, 4};
    POINT to{6, 0};
    ASSERT_EQ(device->UpdateSurface(sys.Get(), &from, rt.Get(), &to), D3D_OK);
    POINT outside{7, 0};
    EXPECT_EQ(device->UpdateSurface(sys.Get(), &from, rt.Get(), &outside), D3DERR_INVALIDCALL);
    ComRef<IDirect3DSurface9> readBack;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  readBack.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(rt.Get(), readBack.Get()), D3D_OK);
    EXPECT_EQ(PixelOf(readBack.Get(), 7, 1), D3DCOLOR_ARGB(0xFF, 48, 48, 0x80));
    EXPECT_EQ(PixelOf(readBack.Get(), 5, 1), 0u);
    EXPECT_EQ(device->GetRenderTargetData(sys.Get(), readBack.Get()),
              D3DERR_INVALIDCALL);  // not a target
}

TEST_F(D3D9Resource, StretchRectScalesWithPointAndLinearFilters) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    ComRef<IDirect3DSurface9> sys, source, point, linear;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(2, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  sys.Out(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    sys->LockRect(&locked, nullptr, 0);
    static_cast<DWORD*>(locked.pBits)[0] = 0xFF000000;
    static_cast<DWORD*>(locked.pBits)[1] = 0xFFFFFFFF;
    sys->UnlockRect();
    ASSERT_EQ(device->CreateRenderTarget(2, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         source.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->UpdateSurface(sys.Get(), nullptr, source.Get(), nullptr), D3D_OK);
    ASSERT_EQ(device->CreateRenderTarget(4, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         point.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateRenderTarget(4, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         linear.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->StretchRect(source.Get(), nullptr, point.Get(), nullptr, D3DTEXF_POINT),
              D3D_OK);
    ASSERT_EQ(device->StretchRect(source.Get(), nullptr, linear.Get(), nullptr, D3DTEXF_LINEAR),
              D3D_OK);
    // Destination centres at 0.25, 0.75, 1.25, 1.75 source texels.
    const DWORD pointRow[4] = {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF};
    const DWORD linearRow[4] = {0xFF000000, 0xFF404040, 0xFFBFBFBF, 0xFFFFFFFF};
    for (UINT x = 0; x < 4; ++x) {
        EXPECT_EQ(PixelOf(point.Get(), x, 0), pointRow[x]) << x;
        EXPECT_EQ(PixelOf(linear.Get(), x, 0), linearRow[x]) << x;
    }
    // Into a 16-bit target: converted.
    ComRef<IDirect3DSurface9> r565;
    ASSERT_EQ(device->CreateRenderTarget(2, 1, D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         r565.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->StretchRect(source.Get(), nullptr, r565.Get(), nullptr, D3DTEXF_NONE),
              D3D_OK);
    r565->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<WORD*>(locked.pBits)[1], 0xFFFF);
    r565->UnlockRect();
    // Refused: a system-memory source, an overlapping copy onto itself, a texture level that is
    // no target.
    EXPECT_EQ(device->StretchRect(sys.Get(), nullptr, point.Get(), nullptr, D3DTEXF_POINT),
              D3DERR_INVALIDCALL);
    RECT left{0, 0, 3, 1}, right{1, 0, 4, 1};
    EXPECT_EQ(device->StretchRect(point.Get(), &left, point.Get(), &right, D3DTEXF_POINT),
              D3DERR_INVALIDCALL);
    ComRef<IDirect3DTexture9> plain;
    ASSERT_EQ(device->CreateTexture(4, 1, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    plain.Out(), nullptr),
              D3D_OK);
    ComRef<IDirect3DSurface9> plainLevel;
    plain->GetSurfaceLevel(0, plainLevel.Out());
    EXPECT_EQ(device->StretchRect(source.Get(), nullptr, plainLevel.Get(), nullptr, D3DTEXF_POINT),
              D3DERR_INVALIDCALL);
}

TEST_F(D3D9Resource, ExDeviceRefusesTheManagedPool) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device, true);
    ComRef<IDirect3DTexture9> texture;
    ComRef<IDirect3DVertexBuffer9> vb;
    ComRef<IDirect3DCubeTexture9> cube;
    EXPECT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, vb.Out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.Out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture.Out(), nullptr),
        D3D_OK);
}

TEST_F(D3D9Resource, OcclusionQueriesAnswerSupportAndTheirPendingPolls) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3D_OK);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_TIMESTAMP, nullptr), D3DERR_NOTAVAILABLE);
    ComRef<IDirect3DQuery9> query;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, query.Out()), D3D_OK);
    EXPECT_EQ(query->GetDataSize(), 4u);

    Soft(device)->SetQueryPendingPolls(2);
    ASSERT_EQ(query->Issue(D3DISSUE_BEGIN), D3D_OK);
    DWORD samples = 0xFFFF;
    EXPECT_EQ(query->GetData(&samples, 4, D3DGETDATA_FLUSH), D3DERR_INVALIDCALL);  // still counting
    Soft(device)->AddOcclusionSamples(37);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(query->GetData(&samples, 4, D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(query->GetData(&samples, 4, D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(samples, 0xFFFFu);
    EXPECT_EQ(query->GetData(&samples, 4, D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(samples, 37u);
    EXPECT_EQ(query->GetData(&samples, 2, D3DGETDATA_FLUSH), D3DERR_INVALIDCALL);

    query.Reset();
    SoftAdapter::Current().occlusionQueries = false;
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, query.Out()), D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(query);
}

}  // namespace
