#include "support/GoldenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>

#include "Platform/Win32/Win32Window.h"

namespace ZelTest {

namespace {

std::filesystem::path GoldenDir() {
    // The source tree's path comes from the build, so a compiler cache that rewrites __FILE__ to a
    // relative path doesn't move the golden folder.
    return std::filesystem::path(ZEL_TESTS_SOURCE_DIR) / "golden";
}

bool Updating() {
    const char* v = std::getenv("ZEL_UPDATE_GOLDEN");
    return v && v[0] == '1';
}

}  // namespace

void ExpectGoldenFrame(const Win32Window& window, const std::string& name, int tolerance) {
    std::filesystem::path golden = GoldenDir() / (name + ".png");
    if (Updating()) {
        ASSERT_TRUE(window.SavePng(golden.string().c_str())) << golden;
        return;
    }
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> image(
        stbi_load(golden.string().c_str(), &w, &h, &channels, 3), &stbi_image_free);
    ASSERT_TRUE(image) << "missing golden image " << golden
                       << " (regenerate with ZEL_UPDATE_GOLDEN=1)";
    ASSERT_EQ(static_cast<UINT>(w), window.ClientWidth());
    ASSERT_EQ(static_cast<UINT>(h), window.ClientHeight());
    int worst = 0, wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            DWORD frame = window.Pixel(static_cast<UINT>(x), static_cast<UINT>(y));
            const stbi_uc* g = image.get() + (static_cast<std::size_t>(y) * w + x) * 3;
            int d = std::max({std::abs(static_cast<int>((frame >> 16) & 0xFF) - g[0]),
                              std::abs(static_cast<int>((frame >> 8) & 0xFF) - g[1]),
                              std::abs(static_cast<int>(frame & 0xFF) - g[2])});
            worst = std::max(worst, d);
            wrong += d > tolerance;
        }
    }
    if (wrong) {
        std::filesystem::path actual =
            std::filesystem::temp_directory_path() / ("zel_" + name + "_actual.png");
        window.SavePng(actual.string().c_str());
        ADD_FAILURE() << name << ": " << wrong << " pixels differ by more than " << tolerance
                      << " (worst " << worst << "); frame saved as " << actual;
    }
}

}  // namespace ZelTest
