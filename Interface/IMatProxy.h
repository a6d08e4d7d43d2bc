// A tool's handle on one material, kept inside a material proxy table: it keeps the material
// alive, and edits go through the rules of the object the material belongs to (a character's
// materials keep their own stage settings and their actor rebuilds its materials afterwards).
// Owned by its table. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

// The states of one pass (IMatProxy::GetPassDescription).
struct PassDescription {
    // Each 0 or 1.
    std::uint8_t blending = 0;
    std::uint8_t alphaTest = 0;
    std::uint8_t depthTest = 0;
    std::uint8_t depthWrite = 0;
    std::uint32_t cullMode = 0;  // the device's cull code minus 1
    std::uint32_t sourceBlend = 0;
    std::uint32_t destinationBlend = 0;
    std::uint32_t depthCompare = 0;
    std::uint32_t alphaCompare = 0;
    float alphaReference = 0.0f;  // 0..1
};
static_assert(sizeof(PassDescription) == 28);

class IMatProxy {
public:
    virtual const char* GetName() = 0;
    // The name the material's manager knows it by.
    virtual const char* GetResourceName() = 0;
    virtual std::int32_t GetRefCount() = 0;
    // This material takes the definition of the other proxy's material.
    virtual std::int32_t CopyFrom(IMatProxy* source) = 0;
    // This material takes the definition given as XML text; 0 when it cannot be read.
    virtual std::int32_t ApplyXmlText(const char* text) = 0;
    // The editor colour (0..1 each) with its switch.
    virtual std::int32_t SetEditorColor(std::int32_t flag, float red, float green, float blue) = 0;
    // Pass i's vertex-flag word and the word after it; 0 without pass i.
    virtual std::uint32_t GetPassVertexFlags(std::int32_t pass) = 0;
    virtual std::uint32_t GetPassVertexWord(std::int32_t pass) = 0;
    virtual std::uint32_t GetPassCount() = 0;
    // Fills out for pass i (negative: the last pass); 0 when i is not below the pass count.
    virtual std::int32_t GetPassDescription(std::int32_t pass, PassDescription* out) = 0;
    // Reloads every distinct texture that has a source file; answers the number of distinct
    // textures.
    virtual std::uint32_t ReloadTextures() = 0;
    // Stage textures of pass i (negative: the last pass); 0 past the end.
    virtual std::uint32_t GetPassTextureCount(std::int32_t pass) = 0;
    // The name of the texture in stage j of pass i; null when absent or past the end.
    virtual const char* GetStageTextureName(std::int32_t pass, std::int32_t stage) = 0;

protected:
    virtual ~IMatProxy() = default;
};

}  // namespace ZelI
