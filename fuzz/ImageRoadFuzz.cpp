// libFuzzer target over the image resource's decode road: a file served from the virtual file
// system is decoded by the kind its name gives (Image::LoadPreferDds, DecodeFromMemory,
// CreateFromDecoded with the path's scale and compression rule), then given a mip chain,
// compressed to DXT, halved, and made into a device texture on a software device. The first
// input byte picks the conditions:
//   bits 0-2  the file kind (0 BMP, 1 JPEG, 2 TGA, 3 PNG, 4 DDS; higher wrap)
//   bits 3-4  the texture scale level
//   bit 5     the compress-to-DDS switch
//   bit 6     a user-interface path (scaled one level less, never compressed)
//   bit 7     a device texture is made from the image
//
//   ImageRoadFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   ImageRoadFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Image/PngDecoder.h"
#include "Entity/Image/TgaDecoder.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"
#include "fuzz/ImageSeeds.h"

namespace {

constexpr const char* kExtensions[] = {".bmp", ".jpg", ".tga", ".png", ".dds"};
constexpr std::uint8_t kScaleShift = 3;
constexpr std::uint8_t kCompress = 0x20;
constexpr std::uint8_t kInterfacePath = 0x40;
constexpr std::uint8_t kMakeTexture = 0x80;

std::uint8_t KindOf(const std::vector<std::uint8_t>& file) {
    if (Zel::IsBmpImage(file.data(), file.size()))
        return 0;
    if (Zel::IsPngImage(file.data(), file.size()))
        return 3;
    if (Zel::IsDdsImage(file.data(), file.size()))
        return 4;
    if (Zel::IsTgaImage(file.data(), file.size()))
        return 2;
    return 1;
}

// The image decoders' seeds, each behind a selector of its own kind, plain and with the
// conditions a loaded body texture meets (scaled, compressed, made into a texture).
void WriteSeeds(const std::filesystem::path& dir) {
    const std::filesystem::path plain = dir / "plain";
    std::filesystem::create_directories(plain);
    ZelFuzz::WriteImageSeeds(plain);
    for (const auto& entry : std::filesystem::directory_iterator(plain)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
        const std::uint8_t kind = KindOf(file);
        const std::string name = entry.path().filename().string();
        for (std::uint8_t conditions :
             {std::uint8_t(0), std::uint8_t(1 << kScaleShift | kCompress | kMakeTexture),
              std::uint8_t(2 << kScaleShift | kInterfacePath | kMakeTexture)}) {
            std::vector<std::uint8_t> seed{std::uint8_t(kind | conditions)};
            seed.insert(seed.end(), file.begin(), file.end());
            ZelFuzz::SaveSeed(dir, name + "_" + std::to_string(conditions), seed);
        }
    }
    std::filesystem::remove_all(plain);
}

// Every surface must hold exactly its bytes; each is read whole.
void Inspect(const Zel::Image& image) {
    volatile std::uint32_t sum = 0;
    for (std::size_t level = 0; level < image.GetSurfaceCount(); ++level) {
        const Zel::ImageSurface* surface = image.GetSurface(level);
        const std::uint8_t* data = surface->GetData();
        for (std::uint32_t i = 0; i < surface->GetDataSize(); ++i) sum = sum + data[i];
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    Zel::RenderDeviceD3D9* device = ZelFuzz::SoftwareDevice();
    ZelFuzz::QuietGlobals()->GetTextureManager()->SetDevice(device->GetD3DDevice(), device);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 0xFFFFFFFFu)
        return 0;
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    const std::uint8_t selector = data[0];
    const std::string path = std::string(selector & kInterfacePath ? "shaders\\ui\\" : "role\\") +
                             "fuzz" + kExtensions[(selector & 7) % 5];
    Zel::SetTextureScaleLevel((selector >> kScaleShift) & 3);
    g->GetConfigManager()->SetCompressToDDS((selector & kCompress) != 0);
    {
        ZelFuzz::MountedFile file(path, data + 1, size - 1);
        auto* image = static_cast<Zel::Image*>(g->GetImageManager()->Create(path));
        if (image && image->LoadPreferDds(path)) {
            Inspect(*image);
            image->BuildMipChain();
            image->CompressToDxt();
            Inspect(*image);
            image->HalveSurfaces();
            Inspect(*image);
            if (selector & kMakeTexture)
                image->CreateTexture();
        }
    }
    g->GetImageManager()->RemoveAll();
    g->GetTextureManager()->PurgeUnused();
    Zel::SetTextureScaleLevel(0);
    return 0;
}
