// libFuzzer target over the engine's settings files. The first input byte picks the reader:
//   0  a command script run by the switch manager's reload (as "EngineConfig.txt" is), every
//      line through the command system
//   1  "multithread.ini" read by the thread manager
//   2  "LodConfig.xml" read by the texture pool (the texture scale level from the byte's high
//      bits, the compress-to-DDS switch from bit 7)
// The script may not name files of its own: a "write" line (which writes a file at the path it
// names) is dropped, and an "open" line runs the script itself (at most one such line, so the
// nesting stays linear).
//
//   ConfigFilesFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writer)
//   ConfigFilesFuzz [libFuzzer flags] CORPUS...
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/threadmng.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Texture/TextureScale.h"
#include "fixtures/ConfigFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"

namespace {

using namespace ZelFixtures;

enum Mode : std::uint8_t { kCommandScript, kMultithreadIni, kLodConfig, kModeCount };

void WriteSeeds(const std::filesystem::path& dir) {
    const std::pair<const char*, std::string> scripts[] = {
        {"engineconfig", WriteCommandScript({"draw actor off", "draw soild on", "load multithread",
                                             "set nochrpartial role\\pet", "update scene off",
                                             "set viewmsgbox off", "engineinit"})},
        {"builtins",
         WriteCommandScript({"/?", "show status", "cls", "x", "", "unknown word"}, false)},
        {"open", WriteCommandScript({"open command", "draw level off"})},
    };
    for (const auto& [name, text] : scripts)
        ZelFuzz::SaveSeed(dir, name, ZelFuzz::WithSelector(kCommandScript, text));
    ZelFuzz::SaveSeed(dir, "multithread",
                      ZelFuzz::WithSelector(kMultithreadIni, WriteMultithreadIni(10, 200, 5)));
    ZelFuzz::SaveSeed(dir, "multithread_time",
                      ZelFuzz::WithSelector(kMultithreadIni, WriteMultithreadIni(10, 0, 0, 1)));
    const std::vector<LodPoolElement> elements = {
        {"2", "PF_A8R8G8B8", "1024", "512"}, {"3", "PF_DXT5", "512", "512"}, {"", "", "16", ""}};
    ZelFuzz::SaveSeed(dir, "lodconfig",
                      ZelFuzz::WithSelector(kLodConfig, WriteLodConfig("3", "40", elements)));
    ZelFuzz::SaveSeed(dir, "lodconfig_scaled",
                      ZelFuzz::WithSelector(kLodConfig | 0x40 | 0x80,
                                            WriteLodConfig("99999999999", "", elements)));
}

// The script with "write" lines dropped and "open" lines (the first only) naming the script.
std::string TameScript(const std::string& text, const std::string& self) {
    std::string out;
    bool opened = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::string word = line.substr(0, line.find(' '));
        for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (word == "write")
            continue;
        if (word == "open") {
            if (opened)
                continue;
            opened = true;
            out += "open " + self + "\n";
            continue;
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::QuietGlobals();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    const std::uint8_t selector = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (selector % kModeCount) {
        case kCommandScript: {
            const std::string path = ZelFuzz::ScratchPath("EngineConfig.txt");
            ZelFuzz::WriteScratchFile("EngineConfig.txt", TameScript(text, path));
            g->GetConfigManager()->Reload(path.c_str());
            break;
        }
        case kMultithreadIni: {
            ZelFuzz::WriteScratchFile("multithread.ini", text);
            volatile std::int32_t sum = 0;
            const Zel::threadmng::Settings settings =
                Zel::threadmng::ReadSettings(ZelFuzz::ScratchPath("multithread.ini").c_str());
            sum = sum + std::int32_t(settings.time) + settings.maxnum + settings.sleep;
            break;
        }
        default: {
            ZelFuzz::MountedFile file("LodConfig.xml", text);
            Zel::SetTextureScaleLevel((selector >> 5) & 3);
            g->GetConfigManager()->SetCompressToDDS((selector & 0x80) != 0);
            Zel::TextureManager* textures = g->GetTextureManager();
            textures->LoadTexturePoolConfig();
            volatile std::int64_t sum = textures->GetTexturePool().GetMaxSize();
            for (const Zel::TexturePoolElement& e : textures->GetTexturePool().GetLevels())
                sum = sum + e.MaxNumber + e.TextureFormat + e.TexWidth + e.TexHeight;
            std::int32_t level = 0, format = 0, width = 0, height = 0;
            textures->GetTexturePoolLevel(&level, &format, &width, &height);
            Zel::SetTextureScaleLevel(0);
            break;
        }
    }
    return 0;
}
