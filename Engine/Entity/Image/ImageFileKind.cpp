#include "Entity/Image/ImageFileKind.h"

#include <cctype>
#include <string>

namespace Zel {

ImageFileKind GetImageFileKind(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return IMAGE_KIND_NONE;
    std::string extension(name.substr(dot));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static constexpr std::pair<const char*, ImageFileKind> kOrder[] = {{".dds", IMAGE_KIND_DDS},
                                                                       {".tga", IMAGE_KIND_TGA},
                                                                       {".png", IMAGE_KIND_PNG},
                                                                       {".bmp", IMAGE_KIND_BMP},
                                                                       {".jpg", IMAGE_KIND_JPEG}};
    for (const auto& [text, kind] : kOrder)
        if (extension.find(text) != std::string::npos)
            return kind;
    return IMAGE_KIND_NONE;
}

bool ImageKindHasRgbOrder(int kind) {
    return kind == IMAGE_KIND_PNG || kind == IMAGE_KIND_JPEG;
}

}  // namespace Zel
