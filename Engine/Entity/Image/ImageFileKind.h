// Image file kinds by name, and which of them deliver pixels in R, G, B order.
#pragma once

#include <string_view>

namespace Zel {

enum ImageFileKind : int {
    IMAGE_KIND_BMP = 0,
    IMAGE_KIND_JPEG = 1,
    IMAGE_KIND_TGA = 2,
    IMAGE_KIND_PNG = 3,
    IMAGE_KIND_DDS = 4,
    IMAGE_KIND_NONE = 6,
};

// The kind from the text after the name's last '.', lower-cased, tested in the order ".dds",
// ".tga", ".png", ".bmp", ".jpg" as substrings; no '.' or no match gives IMAGE_KIND_NONE (so
// ".JPG" is JPEG and ".jpeg" is none).
ImageFileKind GetImageFileKind(std::string_view name);

// PNG and JPEG decoders deliver R, G, B (, A); BMP, TGA and DDS deliver B, G, R (, A).
bool ImageKindHasRgbOrder(int kind);

}  // namespace Zel
