// The demo's saved frames against their golden images. The demo CTest runs this after the demo
// with DEMO_FRAMES naming the frames directory of a run; alone it has nothing to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/GoldenImage.h"

namespace {

TEST(DemoFramesTest, TheSavedFramesEqualTheirGoldenImages) {
    const char* directory = std::getenv("DEMO_FRAMES");
    if (!directory || !*directory)
        GTEST_SKIP() << "DEMO_FRAMES names no demo run";
    for (const char* frame : {"frame_001", "frame_030", "frame_060"}) {
        const std::filesystem::path path =
            std::filesystem::path(directory) / (std::string(frame) + ".png");
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        ZelTest::ExpectGoldenPng(path.string(), std::string("demo_") + frame, 3);
    }
}

}  // namespace
