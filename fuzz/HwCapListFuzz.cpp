// libFuzzer target over the hardware capability list: the list is read from a scratch file and
// asked for the performance value of an adapter description. The first input byte is the
// description's length; the description follows, then the list's text.
//
//   HwCapListFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writer)
//   HwCapListFuzz [libFuzzer flags] CORPUS...
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Render/RenderCore/HardwareCapsList.h"
#include "fixtures/HwCapFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"

namespace {

using namespace ZelFixtures;

std::vector<std::uint8_t> Seed(const std::string& description, const std::string& list) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(description.size())};
    out.insert(out.end(), description.begin(), description.end());
    out.insert(out.end(), list.begin(), list.end());
    return out;
}

void WriteSeeds(const std::filesystem::path& dir) {
    const std::string list = WriteHwCapList(
        {{"", {{"GeForce", {{"9", "", "1"}}}}},
         {"NVIDIA",
          {{"GeForce", {{"8800", "GTX", "8"}, {"8800", "", "7"}, {"-1#", "", "3"}, {"", "", ""}}}}},
         {"ATI", {{"Radeon", {{"X1", "", "4"}}}, {"FireGL", {}}}}});
    ZelFuzz::SaveSeed(dir, "match", Seed("NVIDIA GeForce 8800 GTX", list));
    ZelFuzz::SaveSeed(dir, "default", Seed("nvidia geforce 7600", list));
    ZelFuzz::SaveSeed(dir, "no_series", Seed("ATI Rage", list));
    ZelFuzz::SaveSeed(dir, "empty", Seed("", WriteHwCapList({})));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t length = std::min<std::size_t>(data[0], size - 1);
    const std::string description(reinterpret_cast<const char*>(data + 1), length);
    ZelFuzz::WriteScratchFile("hwcap.xml", data + 1 + length, size - 1 - length);
    Zel::HardwareCapsList list;
    list.Load(ZelFuzz::ScratchPath("hwcap.xml").c_str());
    volatile std::uint32_t performance = list.LookUp(description);
    (void)performance;
    return 0;
}
