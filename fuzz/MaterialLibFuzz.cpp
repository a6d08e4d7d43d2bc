// libFuzzer target over the binary material library reader (".xm3").
//
//   MaterialLibFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writer)
//   MaterialLibFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "fixtures/MaterialLibFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"

namespace {

using namespace ZelFixtures;

Xm3Stage Stage(std::uint32_t slot, std::uint32_t type, std::vector<std::string> names) {
    Xm3Stage stage;
    stage.slot = slot;
    stage.texture.type = type;
    stage.texture.names = std::move(names);
    return stage;
}

void WriteSeeds(const std::filesystem::path& dir) {
    Xm3Library library;
    Xm3Material rock;
    rock.name = "rock";
    Xm3Pass pass;
    Xm3Stage waved = Stage(5, 1, {"rock.dds"});
    waved.waves.resize(2);
    pass.state.stages = {waved, Stage(0, 4, {"a", "b", "c", "d", "e", "f"}),
                         Stage(3, 5, {"f0.dds", "f1.dds"})};
    rock.passes = {pass, Xm3Pass{}};
    rock.passes[1].index = 1;
    Xm3Material plain;
    plain.name = "plain";
    library.materials = {rock, plain, rock};  // the third is a duplicate
    ZelFuzz::SaveSeed(dir, "library", WriteXm3(library));
    library.materials.resize(1);
    ZelFuzz::SaveSeed(dir, "one", WriteXm3(library));
    ZelFuzz::SaveSeed(dir, "empty", WriteXm3(Xm3Library{}));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::QuietGlobals();
    // Stage textures take the default texture instead of opening the files the input names.
    Zel::SetTextureLoadFlags(Zel::GetTextureLoadFlags() | 0x2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0xFFFFFFFFu)
        return 0;
    Zel::MaterialManager* materials = ZelFuzz::QuietGlobals()->GetMaterialManager();
    Zel::IZelFileStream* stream = Zel::CreateMemoryFileStream("fuzz.xm3", std::uint32_t(size));
    if (!stream)
        return 0;
    if (size)
        std::memcpy(stream->GetData(), data, size);
    std::vector<Zel::Material*> list;
    Zel::IOMaterialBin::ReadMaterialLib(*materials, list, stream, "fuzz.xm3", false);
    stream->Release();
    // Touch what was read, so that a field left pointing nowhere shows up.
    volatile std::size_t sum = 0;
    for (Zel::Material* material : list)
        sum = sum + material->GetPassCount() + material->GetName().size();
    materials->RemoveAll();
    return 0;
}
