#include <gtest/gtest.h>

#include "Core/EnginePaths.h"

namespace {

TEST(DefaultAssets, BodyPartTable) {
    struct Case {
        bool newLayout;
        int figure;
        int slot;
        const char* want;
    };
    const Case cases[] = {
        {false, 0, 0, "../resources/media/shaders/role/output/100000000.BP3"},
        {false, 1, 0, "../resources/media/shaders/role/output/110000000.BP3"},
        {false, 0, 2, "../resources/media/shaders/role/output/102001001.BP3"},
        {false, 1, 8, "../resources/media/shaders/role/output/118000000.BP3"},
        {true, 0, 0, "../resources/media/shaders/role/NewOutput/600000001/600000001.bp4"},
        {true, 1, 4, "../resources/media/shaders/role/NewOutput/614000001/614000001.bp4"},
        {true, 0, 8, "../resources/media/shaders/role/NewOutput/608000001/608000001.bp4"},
        {false, 0, 9, nullptr},
        {true, 1, 9, nullptr},
        {true, 0, -1, nullptr},
        {false, 2, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.newLayout) + " " + std::to_string(c.figure) + " " +
                     std::to_string(c.slot));
        const char* got = Zel::GetDefaultBodyPartPath(c.newLayout, c.figure, c.slot);
        if (c.want)
            EXPECT_STREQ(got, c.want);
        else
            EXPECT_EQ(got, nullptr);
    }
    EXPECT_STREQ(Zel::GetDefaultActionName(), "tank_idle");
}

}  // namespace
