// An actor's spliced body texture rebuilt from its nine part images, next to a plain reference in
// the same run, at level-of-detail sizes 1024 and 512, as 32-bit pixels and as DXT5.
//   Actor      Actor::RebuildBodyTexture: the parts blended into the atlas, the scale to the
//              level's size, the texture obtained (new at level 0, recycled above) and its levels
//              written: halved level by level, or compressed with their levels through nvtt.
//   Reference  a scalar loop blending the same images into a 1024 atlas by the same rectangles
//              and rule (the fixtures' reference splice), a 2 x 2 box halving for 512, then either
//              the level chain halved by the same box into plain memory, or nvtt called directly
//              with its own mipmaps.
// Reported in milliseconds per rebuild; before measuring, level 0 of both sides must agree
// (32-bit: every channel within 2; DXT5: both decoded, within an RMS difference of 3).
//
// Run: build/<dir>/bench/ActorTextureBench. Files and the log go to a temporary directory.
#include <benchmark/benchmark.h>

#include <nvtt/nvtt.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/Actor.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/DecodedImage.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "NvttCollect.h"
#include "PairedTiming.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/DisplaySettings.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/HardwareBufferManager.h"
#include "fixtures/ActorAtlasReference.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"
#include "modelgen/ActorRecipe.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kAtlas = 1024;
void Halve(const std::uint8_t* in, std::uint32_t width, std::uint32_t height, std::uint8_t* out) {
    const std::uint32_t w = std::max(1u, width / 2), h = std::max(1u, height / 2);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) {
                const std::size_t a = (std::size_t(2 * y) * width + 2 * x) * 4 + k;
                const std::size_t b = a + std::size_t(width) * 4;
                out[(std::size_t(y) * w + x) * 4 + k] =
                    std::uint8_t((in[a] + in[a + 4] + in[b] + in[b + 4] + 2) / 4);
            }
}

// The level chain in plain memory, each level bottom-up (halving a bottom-up level gives the
// next one bottom-up, as the box is symmetric).
void ArgbLevels(const std::uint8_t* pixels, std::uint32_t side, Bytes& levels) {
    for (std::uint32_t r = 0; r < side; ++r)
        std::memcpy(&levels[std::size_t(side - 1 - r) * side * 4],
                    pixels + std::size_t(r) * side * 4, std::size_t(side) * 4);
    std::size_t previous = 0, offset = std::size_t(side) * side * 4;
    for (std::uint32_t s = side / 2; s >= 1; s /= 2) {
        Halve(&levels[previous], s * 2, s * 2, &levels[offset]);
        previous = offset;
        offset += std::size_t(s) * s * 4;
    }
}

using BenchNvtt::Collect;

// nvtt with its own mipmaps of the pixels turned bottom-up.
bool NvttLevels(const std::uint8_t* pixels, std::uint32_t side, Bytes& flipped, Collect& output) {
    for (std::uint32_t r = 0; r < side; ++r)
        std::memcpy(&flipped[std::size_t(side - 1 - r) * side * 4],
                    pixels + std::size_t(r) * side * 4, std::size_t(side) * 4);
    output.bytes.clear();
    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, int(side), int(side), 1);
    input.setMipmapData(flipped.data(), int(side), int(side), 1, 0, 0);
    input.setMipmapGeneration(true);
    input.setMipmapFilter(nvtt::MipmapFilter_Box);
    nvtt::OutputOptions options;
    options.setOutputHandler(&output);
    options.setOutputHeader(false);
    nvtt::CompressionOptions compression;
    compression.setFormat(nvtt::Format_DXT5);
    compression.setQuality(nvtt::Quality_Fastest);
    return nvtt::Compressor().process(input, compression, options);
}

class World {
public:
    World() {
        dir_ = std::filesystem::temp_directory_path() / "zel_bench_actor_texture";
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor"))
            f.file.Save(f.name);
        std::ofstream("LodConfig.xml")
            << "<LodConfig><TexturePool LodNumber=\"4\" MaxSize=\"64\">"
            << Element("PF_A8R8G8B8", 1024) << Element("PF_A8R8G8B8", 512)
            << Element("PF_DXT5", 1024) << Element("PF_DXT5", 512) << "</TexturePool></LodConfig>";
        window_ = Win32Window::Create(64, 64);
        Zel::Globals* g = Zel::Globals::GetSingleton();
        g->Init();
        g->GetGeometryManager()->SetBasePath("");
        Zel::DisplaySettings settings;
        settings.window = window_;
        settings.width = 64;
        settings.height = 48;
        device_ = std::make_unique<Zel::RenderDeviceD3D9>();
        if (!window_ || !device_->Init(settings))
            return;
        g->GetHardwareBufferManager()->SetRenderDevice(device_.get());
        Zel::GlobalConfigManager& config = *g->GetConfigManager();
        config.SetUseActionLib(true);
        config.SetValue(Zel::Actor::kBodyTextureSwitch, 1);
        config.SetCompressToDDS(false);
        g->GetTextureManager()->SetDevice(device_->GetD3DDevice(), device_.get());
        g->GetTextureManager()->LoadTexturePoolConfig();
        actor_ = g->GetActorFactory()->Acquire();
        bool ok = actor_->LoadGeometry("actor.act");
        for (std::uint32_t n = 0; n < 9; ++n) {
            ok = ok && actor_->SetBodyPart(n, "part" + std::to_string(n) + ".bp3");
            pixels.push_back(ZelFixtures::MakeSmoothImage(ZelFixtures::ActorPartWidth(n),
                                                          ZelFixtures::ActorPartHeight(n), 7 + n)
                                 .Bgra());
            images_.push_back(
                std::make_unique<Zel::Image>(nullptr, "p" + std::to_string(n), "Image", 0));
            Zel::DecodedImage d;
            d.format = Zel::PF_A8R8G8B8;
            d.width = ZelFixtures::ActorPartWidth(n);
            d.height = ZelFixtures::ActorPartHeight(n);
            d.pitch = d.width * 4;
            d.bytesPerPixel = 4;
            d.size = std::uint32_t(pixels.back().size());
            d.data = std::make_unique<std::uint8_t[]>(d.size);
            std::memcpy(d.data.get(), pixels.back().data(), d.size);
            ok = ok && images_.back()->CreateFromDecoded(d, false);
            images_.back()->MarkLoaded();
        }
        // Linked parts load each other again, choosing their images anew: the images go in last.
        for (std::uint32_t n = 0; n < 9; ++n) actor_->SetPartImage(n, images_[n].get());
        ready = ok;
    }
    ~World() {
        if (actor_)
            Zel::Globals::GetSingleton()->GetActorFactory()->Release(actor_);
        Zel::Globals::DeleteSingleton();
        images_.clear();
        device_.reset();
        if (window_)
            DestroyWindow(window_);
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    Zel::Actor& Actor() { return *actor_; }
    bool ready = false;
    std::vector<Bytes> pixels;

private:
    static std::string Element(const char* format, int size) {
        return "<TexturePoolElement MaxNumber=\"2\" TextureFormat=\"" + std::string(format) +
               "\" TexWidth=\"" + std::to_string(size) + "\" TexHeight=\"" + std::to_string(size) +
               "\"/>";
    }
    std::filesystem::path dir_, previous_;
    HWND window_ = nullptr;
    std::unique_ptr<Zel::RenderDeviceD3D9> device_;
    Zel::Actor* actor_ = nullptr;
    std::vector<std::unique_ptr<Zel::Image>> images_;
};

World& TheWorld() {
    static World world;
    return world;
}

// Level 0 of the actor's texture as the device holds it, rows packed.
Bytes Level0(Zel::TextureBase& texture, bool dxt) {
    const SoftSurface9* surface = SoftBaseTexture9::From(texture.GetDeviceTexture())->Level(0, 0);
    const std::uint32_t side = surface->Width();
    const std::uint32_t rows = dxt ? side / 4 : side, rowBytes = dxt ? side / 4 * 16 : side * 4;
    Bytes out(std::size_t(rows) * rowBytes);
    for (std::uint32_t r = 0; r < rows; ++r)
        std::memcpy(&out[std::size_t(r) * rowBytes],
                    surface->Bits() + std::size_t(r) * surface->Pitch(), rowBytes);
    return out;
}

// Arguments: level of detail (0: 1024 32-bit, 1: 512 32-bit, 2: 1024 DXT5, 3: 512 DXT5).
void BodyTextureRebuild(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.ready) {
        state.SkipWithError("the actor could not be set up");
        return;
    }
    const auto level = std::int32_t(state.range(0));
    const bool dxt = level >= 2;
    const std::uint32_t side = level % 2 ? 512 : 1024;
    Zel::Actor& actor = world.Actor();
    actor.SetLodLevel(level);
    Bytes atlas(std::size_t(kAtlas) * kAtlas * 4), scaled(std::size_t(side) * side * 4),
        levels(std::size_t(side) * side * 8), flipped(std::size_t(side) * side * 4);
    Collect nvttOut;
    auto own = [&] {
        actor.MarkBodyTextureDirty();
        actor.RebuildBodyTexture();
    };
    auto anchor = [&] {
        ZelFixtures::SpliceActorAtlas(world.pixels, atlas);
        const std::uint8_t* top = atlas.data();
        if (side != kAtlas) {
            Halve(atlas.data(), kAtlas, kAtlas, scaled.data());
            top = scaled.data();
        }
        if (dxt)
            NvttLevels(top, side, flipped, nvttOut);
        else
            ArgbLevels(top, side, levels);
    };
    own();
    anchor();
    Zel::TextureBase* texture = actor.GetBodyTexture();
    if (!texture || std::uint32_t(texture->GetWidth()) != side) {
        state.SkipWithError("no body texture of the level's size");
        return;
    }
    const Bytes mine = Level0(*texture, dxt);
    if (dxt) {
        const double rmse = ZelFixtures::RgbaRmse(
            ZelFixtures::DecodeDxtImage(5, mine.data(), side, side),
            ZelFixtures::DecodeDxtImage(5, nvttOut.bytes.data(), side, side), true);
        state.counters["dxt_rmse"] = rmse;
        if (rmse > 3.0) {
            state.SkipWithError("the two DXT5 level 0 images differ");
            return;
        }
    } else {
        int worst = 0;
        for (std::size_t i = 0; i < mine.size(); ++i)
            worst = std::max(worst, std::abs(int(mine[i]) - int(levels[i])));
        state.counters["max_channel_difference"] = worst;
        if (worst > 2) {
            state.SkipWithError("the two level 0 images differ");
            return;
        }
    }
    BenchPair::Times times;
    for (auto _ : state) times.Run(state, own, anchor);
    times.Report(state, "reference_ms");
}

BENCHMARK(BodyTextureRebuild)
    ->ArgName("lod")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
