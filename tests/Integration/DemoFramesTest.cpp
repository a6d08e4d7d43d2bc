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
    for (const char* frame :
         {"demo_start", "demo_physics", "demo_soft", "demo_fog", "demo_blur", "demo_motion",
          "demo_end", "demo_snapshot"}) {
        const std::filesystem::path path =
            std::filesystem::path(directory) / (std::string(frame) + ".png");
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        ZelTest::ExpectGoldenPng(path.string(), frame, 3);
    }
}

}  // namespace
