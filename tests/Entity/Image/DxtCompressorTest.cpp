#include <gtest/gtest.h>

#include <vector>

#include "Entity/Image/DxtCompressor.h"
#include "Entity/Image/MyOutPutHandler.h"
#include "Entity/Image/PixelFormat.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;

Bytes Bgra(std::uint32_t w, std::uint32_t h) {
    Bytes out = ZelFixtures::MakeSmoothImage(w, h).rgba;
    for (std::size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
    return out;
}

TEST(DxtCompressor, SizesOfWholeMipChains) {
    struct Case {
        std::uint32_t w, h;
        bool mips;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {256, 256, true, 87408},  // 65536+16384+4096+1024+256+64+16+16+16
        {256, 64, true, 21904},   // 16384+4096+1024+256+64+32+16+16+16
        {256, 256, false, 65536}, {6, 5, true, 64 + 16 + 16}, {1, 1, true, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " mips " << c.mips);
        EXPECT_EQ(Zel::Dxt5CompressedSize(c.w, c.h, c.mips), c.bytes);
        const Bytes source = Bgra(c.w, c.h);
        std::vector<std::uint8_t> out(c.bytes + 64, 0);
        std::uint32_t written = 0;
        EXPECT_TRUE(Zel::CompressDxt5(source.data(), static_cast<std::uint32_t>(out.size()),
                                      Zel::PF_DXT5, c.w, c.h, out.data(), c.mips, written));
        EXPECT_EQ(written, c.bytes);
    }
}

TEST(DxtCompressor, TopLevelDecodesCloseToTheSource) {
    const auto image = ZelFixtures::MakeSmoothImage(64, 64);
    const Bytes source = Bgra(64, 64);
    std::vector<std::uint8_t> out(4096);
    std::uint32_t written = 0;
    ASSERT_TRUE(
        Zel::CompressDxt5(source.data(), 4096, Zel::PF_DXT5, 64, 64, out.data(), false, written));
    const auto decoded = ZelFixtures::DecodeDxtImage(5, out.data(), 64, 64);
    EXPECT_LT(ZelFixtures::RgbaRmse(decoded, image, true), 4.0);
}

TEST(DxtCompressor, RefusesBadArgumentsAndTooSmallDestinations) {
    const Bytes source = Bgra(16, 16);
    std::vector<std::uint8_t> out(1024);
    std::uint32_t written = 99;
    EXPECT_FALSE(Zel::CompressDxt5(nullptr, 1024, Zel::PF_DXT5, 16, 16, out.data(), true, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(
        Zel::CompressDxt5(source.data(), 0, Zel::PF_DXT5, 16, 16, out.data(), true, written));
    EXPECT_FALSE(
        Zel::CompressDxt5(source.data(), 1024, Zel::PF_DXT1, 16, 16, out.data(), true, written));
    EXPECT_FALSE(
        Zel::CompressDxt5(source.data(), 1024, Zel::PF_DXT5, 16, 16, nullptr, true, written));
    // 16x16 with mips needs 256 + 64 + 16 + 16 + 16 = 368 bytes.
    EXPECT_FALSE(
        Zel::CompressDxt5(source.data(), 300, Zel::PF_DXT5, 16, 16, out.data(), true, written));
    EXPECT_LE(written, 300u);
    EXPECT_TRUE(
        Zel::CompressDxt5(source.data(), 368, Zel::PF_DXT5, 16, 16, out.data(), true, written));
    EXPECT_EQ(written, 368u);
}

TEST(MyOutPutHandler, WritesAppendUpToTheCapacity) {
    Zel::MyOutPutHandler handler;
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(handler.writeData(bytes, 4)) << "no destination";
    std::uint8_t out[6] = {};
    handler.SetDestination(out, 6);
    EXPECT_TRUE(handler.writeData(bytes, 4));
    EXPECT_FALSE(handler.writeData(bytes, 4));
    EXPECT_TRUE(handler.writeData(bytes + 2, 2));
    EXPECT_EQ(handler.BytesWritten(), 6u);
    EXPECT_EQ(out[4], 3);
    handler.Reset();
    EXPECT_EQ(handler.BytesWritten(), 0u);
    EXPECT_FALSE(handler.writeData(bytes, 1));
}

}  // namespace
