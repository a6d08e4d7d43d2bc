// Golden-image comparison for the rasteriser tests (see RasterFixture.h).
#include "support/GoldenImage.h"
#include "tests/Platform/RasterFixture.h"

void RasterFixture::ExpectGolden(const std::string& name) {
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ZelTest::ExpectGoldenFrame(*Window(), name, kGoldenTolerance);
}
