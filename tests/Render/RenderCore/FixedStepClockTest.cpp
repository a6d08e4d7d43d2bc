// The fixed-step clock a host selects with "ZEL_FIXED_STEP_MS": the renderer moves it by one step
// per frame, and the time between two frames is the same on every run. The clock is chosen when
// the process first reads it, so this runs as its own CTest entry with the variable set; in a run
// without it the test is skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Core/FrameStats.h"
#include "Platform/Win32/Win32Time.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "tests/Core/CoreRootFixture.h"

namespace ZelTest {
namespace {

class FixedStepClockTest : public CoreRootTest {};

TEST_F(FixedStepClockTest, EachFrameMovesTheClockByOneStep) {
    const char* step = std::getenv("ZEL_FIXED_STEP_MS");
    if (!step || std::atoi(step) != 16)
        GTEST_SKIP() << "runs with ZEL_FIXED_STEP_MS=16";
    ASSERT_EQ(GetFixedClockStepMs(), 16u);

    Zel::IRenderImpl* render = G()->GetRenderInterface();
    std::uint32_t& sum = G()->GetFrameStats()->words[Zel::FRAME_TIME_MS];
    // A first frame puts the frame counter's reading just after a step, as every later frame's
    // is; the setup's own readings before it would shorten the first measured frame.
    render->FrameBegin();
    render->FrameEnd();
    sum = 0;
    for (int frame = 0; frame < 10; ++frame) {
        render->FrameBegin();
        render->FrameEnd();
    }
    // Ten steps of 16 ms, each frame reading the clock as often as the one before.
    EXPECT_EQ(sum, 160u);

    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    QueryPerformanceCounter(&b);
    EXPECT_GT(b.QuadPart, a.QuadPart);  // a loop waiting for time to pass still ends
}

}  // namespace
}  // namespace ZelTest
