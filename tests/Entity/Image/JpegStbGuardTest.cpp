// The engine's JPEG decoder hands a file to the system's stb_image only after the file's Huffman
// table segments were checked: stb_image's header reader already writes past its tables on a
// segment that lies about its size, before any later check could refuse the file.
#include <gtest/gtest.h>

#include "Entity/Image/JpegDecoder.h"
#include "fixtures/ImageFixtures.h"
#include "support/JpegDhtFaults.h"
#include "support/StbCallCount.h"

namespace {

TEST(JpegStbGuard, LyingHuffmanTablesNeverReachStbImage) {
    const auto good = ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(16, 16), 90);
    ZelTest::StbCalls() = 0;
    EXPECT_FALSE(Zel::DecodeJpegImage(good.data(), good.size()).IsEmpty());
    EXPECT_GT(ZelTest::StbCalls().load(), 0) << "the counter sees the decoder's calls";
    for (const auto& [name, file] : ZelTest::JpegDhtFaults(good)) {
        ZelTest::StbCalls() = 0;
        EXPECT_TRUE(Zel::DecodeJpegImage(file.data(), file.size()).IsEmpty()) << name;
        EXPECT_EQ(ZelTest::StbCalls().load(), 0) << name;
    }
}

}  // namespace
