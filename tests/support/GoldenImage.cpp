#include "support/GoldenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// Compares a frame of w x h pixels, read as 0x00RRGGBB words, with the golden image of the name;
// a mismatch writes the frame with save and names the file.
template <class PixelAt, class Save>
void CompareWithGolden(int frameWidth, int frameHeight, PixelAt pixel, Save save,
                       const std::string& name, int tolerance) {
    std::filesystem::path golden = GoldenDir() / (name + ".png");
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> image(
        stbi_load(golden.string().c_str(), &w, &h, &channels, 3), &stbi_image_free);
    ASSERT_TRUE(image) << "missing golden image " << golden
                       << " (regenerate with ZEL_UPDATE_GOLDEN=1)";
    ASSERT_EQ(w, frameWidth);
    ASSERT_EQ(h, frameHeight);
    int worst = 0, wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t frame = pixel(x, y);
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
        save(actual);
        ADD_FAILURE() << name << ": " << wrong << " pixels differ by more than " << tolerance
                      << " (worst " << worst << "); frame saved as " << actual;
    }
}

}  // namespace

void ExpectGoldenFrame(const Win32Window& window, const std::string& name, int tolerance) {
    std::filesystem::path golden = GoldenDir() / (name + ".png");
    if (Updating()) {
        ASSERT_TRUE(window.SavePng(golden.string().c_str())) << golden;
        return;
    }
    CompareWithGolden(
        static_cast<int>(window.ClientWidth()), static_cast<int>(window.ClientHeight()),
        [&](int x, int y) {
            return static_cast<std::uint32_t>(
                window.Pixel(static_cast<UINT>(x), static_cast<UINT>(y)));
        },
        [&](const std::filesystem::path& to) { window.SavePng(to.string().c_str()); }, name,
        tolerance);
}

void ExpectGoldenPng(const std::string& path, const std::string& name, int tolerance) {
    std::filesystem::path golden = GoldenDir() / (name + ".png");
    if (Updating()) {
        std::error_code ec;
        std::filesystem::copy_file(path, golden, std::filesystem::copy_options::overwrite_existing,
                                   ec);
        ASSERT_FALSE(ec) << golden << ": " << ec.message();
        return;
    }
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> image(stbi_load(path.c_str(), &w, &h, &channels, 3),
                                                    &stbi_image_free);
    ASSERT_TRUE(image) << "cannot read " << path;
    CompareWithGolden(
        w, h,
        [&](int x, int y) {
            const stbi_uc* p = image.get() + (static_cast<std::size_t>(y) * w + x) * 3;
            return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
        },
        [&](const std::filesystem::path& to) {
            std::error_code ec;
            std::filesystem::copy_file(path, to, std::filesystem::copy_options::overwrite_existing,
                                       ec);
        },
        name, tolerance);
}

}  // namespace ZelTest
