// libFuzzer target over the D3DX texture loaders' file decoding and the pixel work that follows
// it (DXT block decoding, resampling), then texture creation from the same bytes in memory on a
// software device (D3DXCreateTextureFromFileInMemoryEx), its size, levels, format, pool, filters
// and colour key picked by the input's last byte.
//
//   D3DXImageFileFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   D3DXImageFileFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3DX9/D3DX9ImageFile.h"
#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/D3DX9/D3DX9Pixels.h"
#include "Platform/D3DX9/D3DX9Texture.h"
#include "Platform/Win32/Win32Window.h"
#include "fixtures/ImageFixtures.h"
#include "fuzz/FuzzSeeds.h"
#include "fuzz/ImageSeeds.h"

namespace {

using ZelFixtures::Bytes;
using ZelFuzz::SaveSeed;

// Every level must hold exactly its pixels or blocks; each is read whole.
void Inspect(const D3DXImageFile& file) {
    if (file.levels.empty())
        return;
    if (file.width == 0 || file.height == 0 || file.width > kD3DXMaxImageSide ||
        file.height > kD3DXMaxImageSide)
        std::abort();
    for (std::size_t level = 0; level < file.levels.size(); ++level) {
        const UINT w = D3DXLevelSide(file.width, UINT(level));
        const UINT h = D3DXLevelSide(file.height, UINT(level));
        const std::size_t expected = file.blockFormat != D3DFMT_UNKNOWN
                                         ? D3DXBlockRowBytes(file.blockFormat, w) * ((h + 3) / 4)
                                         : std::size_t(w) * h * 4;
        if (file.levels[level].size() != expected)
            std::abort();
    }
    std::vector<BYTE> pixels = file.levels[0];
    if (file.blockFormat != D3DFMT_UNKNOWN)
        pixels = D3DXReadPixels(
            file.blockFormat, file.levels[0].data(),
            std::size_t((file.width + 3) / 4) * (file.blockFormat == D3DFMT_DXT1 ? 8 : 16),
            file.width, file.height);
    if (std::uint64_t(file.width) * file.height <= 4096) {
        const UINT w = file.width / 2 + 1, h = file.height / 3 + 1;
        const auto half =
            D3DXResamplePixels(pixels, file.width, file.height, w, h, D3DXResampleKind::Average);
        if (half.size() != std::size_t(w) * h * 4)
            std::abort();
    }
}

// The image decoders' seeds and the kinds only these loaders take: run-length TGA, grey PNG,
// 16-bit samples, a short palette, DDS mip levels.
void WriteSeeds(const std::filesystem::path& dir) {
    ZelFuzz::WriteImageSeeds(dir);
    const auto image = ZelFixtures::MakePatternImage(7, 5);
    const auto indexed = ZelFixtures::MakeIndexedImage(9, 5, 12);
    const Bytes tgas[] = {ZelFixtures::WriteTgaTrueColour(image, 24, false, "id"),
                          ZelFixtures::WriteTgaTrueColour(image, 32, true),
                          ZelFixtures::WriteTgaGrey(indexed, false),
                          ZelFixtures::WriteTgaColourMapped(indexed, 3, true)};
    for (std::size_t i = 0; i < std::size(tgas); ++i)
        SaveSeed(dir, "tgarle" + std::to_string(i), ZelFixtures::TgaRunLength(tgas[i]));
    for (int depth : {1, 4, 8, 16}) {
        ZelFixtures::PngSpec grey;
        grey.width = 6;
        grey.height = 3;
        grey.colourType = depth >= 8 ? 4 : 0;
        grey.bitDepth = static_cast<std::uint8_t>(depth);
        const std::size_t samples = depth >= 8 ? 6 * 3 * 2 * (depth / 8) : 6 * 3;
        for (std::size_t i = 0; i < samples; ++i)
            grey.samples.push_back(static_cast<std::uint8_t>(i % (depth >= 8 ? 256 : 1 << depth)));
        SaveSeed(dir, "pnggrey" + std::to_string(depth), ZelFixtures::WritePng(grey));
    }
    auto palette = ZelFixtures::PngFromIndexed(ZelFixtures::MakeIndexedImage(11, 6, 4), 2);
    palette.transparency = {0, 100, 7, 9, 11};
    palette.palette.resize(9);
    SaveSeed(dir, "png3short", ZelFixtures::WritePng(palette));
    ZelFixtures::DdsSpec mips;
    mips.width = 8;
    mips.height = 8;
    mips.pixelFlags = 0x4;
    mips.fourCc = "DXT5";
    mips.mipCount = 4;
    mips.data.assign(64 + 16 * 3, 0x3C);
    SaveSeed(dir, "ddsmips", ZelFixtures::WriteDds(mips));
}

// A windowed software device, made once for the process.
IDirect3DDevice9* Device() {
    static IDirect3DDevice9* device = []() -> IDirect3DDevice9* {
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = Win32Window::Create(64, 48);
        p.Windowed = TRUE;
        IDirect3DDevice9* made = nullptr;
        if (!d3d || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.hDeviceWindow,
                                             D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &made)))
            std::abort();
        d3d->Release();
        return made;
    }();
    return device;
}

// The texture loader over the file in memory; every level it makes is locked and read whole.
void CreateTexture(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t pick = data[size - 1];
    static constexpr UINT kSides[] = {0, 5, 16, 33};
    static constexpr UINT kLevels[] = {1, 0, 3};
    static constexpr D3DFORMAT kFormats[] = {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,
                                             D3DFMT_DXT1, D3DFMT_DXT5};
    static constexpr D3DPOOL kPools[] = {D3DPOOL_MANAGED, D3DPOOL_DEFAULT, D3DPOOL_SYSTEMMEM};
    static constexpr DWORD kFilters[] = {D3DX_DEFAULT, D3DX_FILTER_NONE, D3DX_FILTER_POINT,
                                         D3DX_FILTER_LINEAR};
    const UINT side = kSides[pick & 3];
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        Device(), data, UINT(size), side, side / 2 + (side ? 1 : 0), kLevels[(pick >> 2) % 3], 0,
        kFormats[(pick >> 2) % 5], kPools[(pick >> 4) % 3], kFilters[(pick >> 5) & 3],
        kFilters[(pick >> 6) & 3], (pick & 0x80) ? 0xFF000000u : 0u, &info, nullptr, &texture);
    if (FAILED(hr)) {
        if (texture != nullptr)
            std::abort();
        return;
    }
    for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc{};
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->GetLevelDesc(level, &desc)) ||
            FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
            continue;
        const bool blocks = D3DXIsBlockFormat(desc.Format);
        const UINT rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
        volatile std::uint8_t sum = 0;
        const auto* bits = static_cast<const std::uint8_t*>(locked.pBits);
        for (UINT y = 0; y < rows; ++y) sum = sum + bits[std::size_t(locked.Pitch) * y];
        texture->UnlockRect(level);
    }
    texture->Release();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    // Refused files are expected; their explanations would only fill the fuzzer's output.
    D3DXSetDebugSink([](const char*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    D3DXImageFile file;
    if (D3DXReadImageFile(data, size, &file) == nullptr) {
        Inspect(file);
        // Large pictures only cost time: their rows take the same roads as small ones.
        if (std::uint64_t(file.width) * file.height <= 256 * 256)
            CreateTexture(data, size);
    }
    return 0;
}
