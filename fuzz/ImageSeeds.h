// The seed files of the image decoders: one file of every kind the engine's decoders accept,
// made by the fixture writers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>

#include "fixtures/ImageFixtures.h"
#include "fuzz/FuzzSeeds.h"

namespace ZelFuzz {

inline void WriteImageSeeds(const std::filesystem::path& dir) {
    using ZelFixtures::Bytes;
    const auto image = ZelFixtures::MakePatternImage(7, 5);
    const auto indexed = ZelFixtures::MakeIndexedImage(9, 5, 12);
    for (int bits : {24, 32})
        for (bool topDown : {false, true})
            SaveSeed(dir, "bmp" + std::to_string(bits) + (topDown ? "td" : ""),
                     ZelFixtures::WriteBmpTrueColour(image, bits, topDown));
    for (int bits : {4, 8})
        for (std::uint32_t header : {40u, 108u, 124u})
            SaveSeed(
                dir,
                "bmp" + std::to_string(bits) + (header == 40 ? "" : "v" + std::to_string(header)),
                ZelFixtures::WriteBmpIndexed(indexed, bits, true, header));
    for (bool topDown : {false, true}) {
        const std::string suffix = topDown ? "td" : "";
        SaveSeed(dir, "tga24" + suffix, ZelFixtures::WriteTgaTrueColour(image, 24, topDown, "id"));
        SaveSeed(dir, "tga32" + suffix, ZelFixtures::WriteTgaTrueColour(image, 32, topDown));
        SaveSeed(dir, "tgagrey" + suffix, ZelFixtures::WriteTgaGrey(indexed, topDown));
        SaveSeed(dir, "tgamap" + suffix, ZelFixtures::WriteTgaColourMapped(indexed, 3, topDown));
    }
    for (bool alpha : {false, true}) {
        for (bool interlaced : {false, true}) {
            auto spec = ZelFixtures::PngFromRgba(image, alpha);
            spec.interlaced = interlaced;
            spec.idatPieces = 2;
            SaveSeed(dir, std::string("png") + (alpha ? "6" : "2") + (interlaced ? "i" : ""),
                     ZelFixtures::WritePng(spec));
        }
    }
    for (int depth : {1, 2, 4, 8}) {
        auto small = ZelFixtures::MakeIndexedImage(11, 6, 1u << std::min(depth, 4));
        auto spec = ZelFixtures::PngFromIndexed(small, depth);
        spec.transparency = {0, 100};
        SaveSeed(dir, "png3d" + std::to_string(depth), ZelFixtures::WritePng(spec));
    }
    auto interlacedPalette = ZelFixtures::PngFromIndexed(indexed, 8);
    interlacedPalette.interlaced = true;
    SaveSeed(dir, "png3i", ZelFixtures::WritePng(interlacedPalette));
    for (int version = 1; version <= 5; ++version) {
        const std::string code = "DXT" + std::to_string(version);
        SaveSeed(dir, "dds" + code,
                 ZelFixtures::WriteDdsBlocks(code, 8, 4, Bytes(version == 1 ? 16 : 32, 0x5A)));
    }
    SaveSeed(dir, "dds24", ZelFixtures::WriteDdsRgb(image, 24, false, 0, false));
    SaveSeed(dir, "dds24pitch", ZelFixtures::WriteDdsRgb(image, 24, false, 24, true));
    SaveSeed(dir, "dds32", ZelFixtures::WriteDdsRgb(image, 32, false, 0, false));
    SaveSeed(dir, "ddsargb", ZelFixtures::WriteDdsRgb(image, 32, true, 0, false));
    SaveSeed(dir, "jpeg", ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(16, 16), 80));
    SaveSeed(dir, "jpeggrey", ZelFixtures::WriteGreyJpeg(16, 8));
    // Found by fuzzing: a second Huffman table segment cut short by the end of the file, whose
    // code counts stb_image's header reader took from the scan header that follows.
    const char* dhtCut =
        "ffd8ffdb0043000101010101010101010101010101010101010101aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
        "aaaaaaaaaaaaaaaaaaaaaa0101010101011100ffc40014000100000000000000000000000000000000ff"
        "c40014000000ffda0008010100003f000fffd9";
    Bytes cut;
    for (const char* p = dhtCut; p[0] && p[1]; p += 2)
        cut.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    SaveSeed(dir, "jpegdhtcut", cut);
}

}  // namespace ZelFuzz
