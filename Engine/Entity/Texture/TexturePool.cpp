#include "Entity/Texture/TexturePool.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/XmlElements.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureScale.h"

namespace Zel {
namespace {

// The attribute as a decimal integer (0 when missing, empty or not a number), held to the int
// range.
std::int32_t IntAttribute(const XmlNode* node, const char* name) {
    const char* text = XmlAttributeValue(node, name);
    if (!text)
        return 0;
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

TexturePool::~TexturePool() {
    Clear();
}

std::int32_t TexturePool::FormatFromName(const char* text) {
    return text && std::strcmp(text, "PF_DXT5") == 0 ? std::int32_t(PF_DXT5)
                                                     : std::int32_t(PF_A8R8G8B8);
}

void TexturePool::LoadConfig() {
    // The pool's references must not be lost with the old levels.
    Clear();
    levels_.clear();
    TiXmlDocument document;
    const XmlNode* root = document.LoadFile("LodConfig.xml")
                              ? XmlChildElementByName(&document, "LodConfig")
                              : nullptr;
    const XmlNode* pool = XmlChildElementByName(root, "TexturePool");
    if (!pool) {
        levels_.resize(std::size_t(lodNumber_));
        return;
    }
    lodNumber_ = std::clamp(IntAttribute(pool, "LodNumber"), 0, kMaxLodNumber);
    levels_.resize(std::size_t(lodNumber_));
    maxSize_ = static_cast<std::uint32_t>(IntAttribute(pool, "MaxSize")) << 20;
    const int scale = GetTextureScaleLevel();
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    const bool toDds = config && config->CompressToDDS();
    std::int32_t k = 0;
    for (const XmlNode* element = XmlChildElementByName(pool, "TexturePoolElement");
         element && k < lodNumber_;
         element = XmlNextElementByName(element, "TexturePoolElement"), ++k) {
        TexturePoolElement& level = levels_[std::size_t(k)];
        level.MaxNumber = IntAttribute(element, "MaxNumber");
        level.TextureFormat = FormatFromName(XmlAttributeValue(element, "TextureFormat"));
        level.TexWidth = IntAttribute(element, "TexWidth");
        level.TexHeight = IntAttribute(element, "TexHeight");
        if (scale > 0 && scale < 31) {
            level.TexWidth >>= scale;
            level.TexHeight >>= scale;
        }
        if (toDds)
            level.TextureFormat = PF_DXT5;
    }
}

std::uint32_t TexturePool::AccountedSize(const TextureBase* texture) {
    const auto area = std::uint32_t(texture->GetWidth()) * std::uint32_t(texture->GetHeight());
    return texture->GetFormat() == int(PF_DXT5) ? area : area * 4;
}

TextureBase* TexturePool::Take(std::int32_t level) {
    if (levels_.empty())
        return nullptr;
    const std::size_t index =
        std::min<std::size_t>(std::size_t(std::max(level, 0)), levels_.size() - 1);
    std::list<TextureBase*>& list = levels_[index].textures;
    if (list.empty())
        return nullptr;
    TextureBase* texture = list.front();
    list.pop_front();
    texture->DecRef();
    pooledBytes_ -= std::min(pooledBytes_, AccountedSize(texture));
    return texture;
}

bool TexturePool::Return(TextureBase* texture) {
    if (!texture)
        return false;
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        TexturePoolElement& level = levels_[i];
        if (level.TexWidth != texture->GetWidth() || level.TexHeight != texture->GetHeight() ||
            level.TextureFormat != texture->GetFormat())
            continue;
        if (std::int64_t(level.textures.size()) >= std::int64_t(level.MaxNumber))
            return false;
        texture->AddRef();
        level.textures.push_back(texture);
        pooledBytes_ += AccountedSize(texture);
        texture->SetPoolLevel(std::uint32_t(i));
        return true;
    }
    return false;
}

bool TexturePool::GetLevel(std::int32_t* level, std::int32_t* format, std::int32_t* width,
                           std::int32_t* height) const {
    if (levels_.empty()) {
        *format = *width = *height = 0;
        return false;
    }
    const std::int32_t last = std::int32_t(levels_.size()) - 1;
    *level = std::clamp(*level, 0, last);
    const TexturePoolElement& element = levels_[std::size_t(*level)];
    *format = element.TextureFormat;
    *width = element.TexWidth;
    *height = element.TexHeight;
    return true;
}

void TexturePool::Clear() {
    for (TexturePoolElement& level : levels_) {
        for (TextureBase* texture : level.textures) texture->DecRef();
        level.textures.clear();
    }
    pooledBytes_ = 0;
}

}  // namespace Zel
