// The D3DX loaders hand a JPEG file to the system's stb_image only after the file's Huffman table
// segments were checked: stb_image's header reader already writes past its tables on a segment
// that lies about its size, before any later check could refuse the file.
#include <gtest/gtest.h>

#include "Platform/D3DX9/D3DX9ImageFile.h"
#include "fixtures/ImageFixtures.h"
#include "support/JpegDhtFaults.h"
#include "support/StbCallCount.h"

namespace {

TEST(D3DXJpegStbGuard, LyingHuffmanTablesNeverReachStbImage) {
    const auto good = ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(16, 16), 90);
    D3DXImageFile decoded;
    ZelTest::StbCalls() = 0;
    EXPECT_EQ(D3DXReadImageFile(good.data(), good.size(), &decoded), nullptr);
    EXPECT_GT(ZelTest::StbCalls().load(), 0) << "the counter sees the loader's calls";
    for (const auto& [name, file] : ZelTest::JpegDhtFaults(good)) {
        ZelTest::StbCalls() = 0;
        D3DXImageFile refused;
        EXPECT_STREQ(D3DXReadImageFile(file.data(), file.size(), &refused),
                     "JPEG scan uses a Huffman table the file does not define")
            << name;
        EXPECT_EQ(ZelTest::StbCalls().load(), 0) << name;
    }
}

}  // namespace
